// Helpers shared by the script functions of every subsystem.
#pragma once
#include <OgreVector.h>
#include <lua.hpp>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <vector>

// Pushes a new table {x, y, z} at keys 1..n.
void pushNumberTable(lua_State* L, const double* values, int count);

// Pushes a new table of strings at keys 1..n. The names are copied first:
// pushing may run the collector, and a finalizer may destroy what they
// belong to.
template <class Names> void pushNameTable(lua_State* L, const Names& names) {
    const std::vector<std::string> copies(std::begin(names), std::end(names));
    lua_createtable(L, static_cast<int>(copies.size()), 0);
    int i = 1;
    for (const std::string& n : copies) {
        lua_pushlstring(L, n.data(), n.size());
        lua_rawseti(L, -2, i++);
    }
}

// Reads a number argument as luaL_checknumber does, and refuses a NaN or an
// infinity with a script error: such a value would poison the scene.
double checkFiniteNumber(lua_State* L, int arg);

// A number that reaches the engine as a float: NaN and the infinities are
// refused (the engine asserts on NaN and ends the game), and so are doubles
// too large for a float, which would turn into infinities on the way.
float checkFiniteFloat(lua_State* L, int arg);

// Three such numbers from firstArg on, as a vector.
Ogre::Vector3 checkVector(lua_State* L, int firstArg);

// Pushes a new table {x, y, z}.
void pushVector(lua_State* L, const Ogre::Vector3& v);

// For values that the callee limits anyway (a clamp, a saturating
// conversion): the infinities stand for the largest and the lowest double, so
// that math.huge means "as much as allowed". A NaN is still refused.
double checkSaturatedNumber(lua_State* L, int arg);

// Truncates toward zero to an int32; values beyond its range saturate (a
// plain conversion would be undefined there).
std::int32_t truncateToInt32(double v);

// A name argument with all its bytes: names are compared exactly, including
// any zero bytes inside them.
std::string checkName(lua_State* L, int arg);

// The longest name a table keeps (an object, its mesh, a trigger, its script,
// a zone, a person, a powerup). What the tables hold lives outside the Lua
// heap and its memory limit; with this bound, all of them together stay
// within a few MiB.
constexpr std::size_t kMaxNameBytes = 1024;

// A name that a table will keep: as checkName, and at most kMaxNameBytes
// (longer is an argument error).
std::string checkStoredName(lua_State* L, int arg);

// Takes its own copy of the name before pushing it: pushing may run the
// collector, and a finalizer may destroy the record the name came from.
void pushName(lua_State* L, std::string name);

// Raises before + name + after as a script error with the script position in
// front, keeping every byte of the name (luaL_error's %s stops at a zero byte).
[[noreturn]] void raiseNamed(lua_State* L, const char* before, const std::string& name,
                             const char* after);

// Runs body; an engine or standard exception thrown inside it becomes a Lua
// error carrying the exception's text, and a failed allocation Lua's own
// "not enough memory". Lua built as C++ would otherwise turn it into a
// status without a message, or the exception would end the game. Lua's own
// errors pass through untouched. Only call lua_error outside the try block
// so that no C++ object is left half-destroyed by the unwinding.
template <class Body> int guardedCall(lua_State* L, Body&& body) {
    bool outOfMemory = false;
    std::string error;
    try {
        return body();
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    } catch (const std::exception& e) {
        try {
            error = e.what();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    }
    if (outOfMemory)
        lua_pushliteral(L, "not enough memory");
    else
        lua_pushlstring(L, error.data(), error.size());
    return lua_error(L);
}
