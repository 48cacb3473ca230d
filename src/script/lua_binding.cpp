#include "script/lua_binding.h"

#include <cmath>

void pushNumberTable(lua_State* L, const double* values, int count) {
    lua_createtable(L, count, 0);
    for (int i = 0; i < count; ++i) {
        lua_pushnumber(L, values[i]);
        lua_rawseti(L, -2, i + 1);
    }
}

double checkFiniteNumber(lua_State* L, int arg) {
    double v = luaL_checknumber(L, arg);
    if (!std::isfinite(v))
        luaL_argerror(L, arg, "finite number expected");
    return v;
}
