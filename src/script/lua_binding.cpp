#include "script/lua_binding.h"

#include <cmath>
#include <limits>

void pushNumberTable(lua_State* L, const double* values, int count) {
    lua_createtable(L, count, 0);
    for (int i = 0; i < count; ++i) {
        lua_pushnumber(L, values[i]);
        lua_rawseti(L, -2, i + 1);
    }
}

double checkSaturatedNumber(lua_State* L, int arg) {
    double v = luaL_checknumber(L, arg);
    if (std::isnan(v))
        luaL_argerror(L, arg, "finite number expected");
    if (std::isinf(v))
        return v > 0 ? std::numeric_limits<double>::max() : std::numeric_limits<double>::lowest();
    return v;
}

double checkFiniteNumber(lua_State* L, int arg) {
    double v = luaL_checknumber(L, arg);
    if (!std::isfinite(v))
        luaL_argerror(L, arg, "finite number expected");
    return v;
}

float checkFiniteFloat(lua_State* L, int arg) {
    const double v = checkFiniteNumber(L, arg);
    if (!std::isfinite(static_cast<float>(v)))
        luaL_argerror(L, arg, "finite number expected");
    return static_cast<float>(v);
}

Ogre::Vector3 checkVector(lua_State* L, int firstArg) {
    Ogre::Vector3 v;
    for (int i = 0; i < 3; ++i)
        v[i] = checkFiniteFloat(L, firstArg + i);
    return v;
}

void pushVector(lua_State* L, const Ogre::Vector3& v) {
    const double values[3] = {v.x, v.y, v.z};
    pushNumberTable(L, values, 3);
}

std::int32_t truncateToInt32(double v) {
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::string checkName(lua_State* L, int arg) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, arg, &length);
    return std::string(text, length);
}

std::string checkStoredName(lua_State* L, int arg) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, arg, &length);
    if (length > kMaxNameBytes) {
        const std::string why = "name longer than " + std::to_string(kMaxNameBytes) + " bytes";
        luaL_argerror(L, arg, why.c_str());
    }
    return std::string(text, length);
}

void pushName(lua_State* L, std::string name) {
    lua_pushlstring(L, name.data(), name.size());
}

void raiseNamed(lua_State* L, const char* before, const std::string& name, const char* after) {
    luaL_where(L, 1);
    lua_pushstring(L, before);
    pushName(L, name);
    lua_pushstring(L, after);
    lua_concat(L, 4);
    lua_error(L);
    std::abort(); // lua_error does not return
}
