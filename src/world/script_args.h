// Argument helpers shared by the world's script functions.
#pragma once
#include "script/lua_binding.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace world_script {

// A name argument with all its bytes: names are compared exactly, including
// any zero bytes inside them.
inline std::string checkName(lua_State* L, int arg) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, arg, &length);
    return std::string(text, length);
}

inline void pushName(lua_State* L, const std::string& name) {
    lua_pushlstring(L, name.data(), name.size());
}

// A number that reaches the engine as a float: NaN and infinities are refused
// (the engine asserts on them and ends the game), and so are doubles too large
// for a float, which would become infinities on the way.
inline float checkFiniteFloat(lua_State* L, int arg) {
    const double v = checkFiniteNumber(L, arg);
    if (!std::isfinite(static_cast<float>(v)))
        luaL_argerror(L, arg, "finite number expected");
    return static_cast<float>(v);
}

// Raises before + name + after as a script error with the script position in
// front, keeping every byte of the name (luaL_error's %s stops at a zero byte).
[[noreturn]] inline void raiseNamed(lua_State* L, const char* before, const std::string& name,
                                    const char* after) {
    luaL_where(L, 1);
    lua_pushstring(L, before);
    pushName(L, name);
    lua_pushstring(L, after);
    lua_concat(L, 4);
    lua_error(L);
    std::abort(); // lua_error does not return
}

} // namespace world_script
