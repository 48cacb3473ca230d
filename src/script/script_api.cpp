#include "script/script_api.h"

#include <lua.hpp>

void registerScriptFunctions(lua_State* L, const luaL_Reg* const* tables) {
    for (const luaL_Reg* const* table = tables; *table; ++table) {
        for (const luaL_Reg* f = *table; f->name; ++f) {
            lua_pushcclosure(L, f->func, 0);
            lua_pushstring(L, f->name);
            lua_insert(L, -2);
            lua_settable(L, LUA_GLOBALSINDEX);
        }
    }
}
