// Helpers shared by the script functions of every subsystem.
#pragma once
#include <lua.hpp>

#include <exception>
#include <string>

// Pushes a new table {x, y, z} at keys 1..n.
void pushNumberTable(lua_State* L, const double* values, int count);

// Pushes a new table of strings at keys 1..n.
template <class Names> void pushNameTable(lua_State* L, const Names& names) {
    lua_createtable(L, static_cast<int>(names.size()), 0);
    int i = 1;
    for (const auto& n : names) {
        lua_pushstring(L, n);
        lua_rawseti(L, -2, i++);
    }
}

// Reads a number argument as luaL_checknumber does, and refuses a NaN or an
// infinity with a script error: such a value would poison the scene.
double checkFiniteNumber(lua_State* L, int arg);

// For values that the callee limits anyway (a clamp, a saturating
// conversion): the infinities stand for the largest and the lowest double, so
// that math.huge means "as much as allowed". A NaN is still refused.
double checkSaturatedNumber(lua_State* L, int arg);

// Runs body; an engine or standard exception thrown inside it becomes a Lua
// error carrying the exception's text. Lua built as C++ would otherwise turn
// it into a status without a message, or the exception would end the game.
// Only call lua_error outside the try block so that no C++ object is left
// half-destroyed by the unwinding.
template <class Body> int guardedCall(lua_State* L, Body&& body) {
    std::string error;
    try {
        return body();
    } catch (const std::exception& e) {
        error = e.what();
    }
    lua_pushlstring(L, error.data(), error.size());
    return lua_error(L);
}
