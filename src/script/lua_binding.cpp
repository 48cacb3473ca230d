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
