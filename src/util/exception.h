// The program's own failure record for the audio side: thrown by value, caught
// by the sound manager and shown as "<message>, Error <code in hex>".
#pragma once
#include <cstdint>

namespace MyUtils {

struct Exception {
    // The platform's last error (errno here) when the failure was raised.
    uint32_t code;
    // Static text; never freed.
    const char* message;
};

} // namespace MyUtils
