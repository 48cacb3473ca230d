// Number arguments of the player's and the people's script functions.
#pragma once
#include "script/lua_binding.h"

#include <cmath>
#include <cstdint>

namespace script_numbers {

// A number that reaches a scene node or the display as a float: NaN and the
// infinities are refused (the engine asserts on NaN and ends the game), and so
// are doubles too large for a float, which would turn into infinities.
inline float checkFiniteFloat(lua_State* L, int arg) {
    const double v = checkFiniteNumber(L, arg);
    if (!std::isfinite(static_cast<float>(v)))
        luaL_argerror(L, arg, "finite number expected");
    return static_cast<float>(v);
}

// Truncates toward zero to an int32; values beyond its range saturate (a
// plain conversion would be undefined there).
inline std::int32_t truncateToInt32(double v) {
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

} // namespace script_numbers
