#include "npc/blood_type.h"

#include <cstring>

namespace {
const char* const kNames[] = {"0", "A", "B", "AB"};
}

bool parseBloodType(const char* text, std::size_t length, BloodType& type) {
    for (BloodType t = 0; t < 4; ++t) {
        if (length == std::strlen(kNames[t]) && std::memcmp(text, kNames[t], length) == 0) {
            type = t;
            return true;
        }
    }
    return false;
}

BloodType parseBloodTypeLenient(const char* text, std::size_t length) {
    BloodType t = 0;
    return parseBloodType(text, length, t) ? t : 0;
}

const char* bloodTypeName(BloodType type) {
    return type >= 0 && type < 4 ? kNames[type] : nullptr;
}
