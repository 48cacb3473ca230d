// Blood types and their script strings "0", "A", "B", "AB".
#pragma once
#include <cstddef>
#include <cstdint>

using BloodType = std::int32_t;

// Strict: true and the type only for an exact string (length included, so
// "A\0B" or "ab" is no blood type).
bool parseBloodType(const char* text, std::size_t length, BloodType& type);

// Lenient, as for people: anything that is not a blood type gives 0.
BloodType parseBloodTypeLenient(const char* text, std::size_t length);

// The script string, or null for a value outside 0..3.
const char* bloodTypeName(BloodType type);
