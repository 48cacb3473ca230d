#include "script/script_api.h"

#include "world/world_script.h"

#include <lua.hpp>

extern const luaL_Reg playerFunctions[];
extern const luaL_Reg npcFunctions[];

// The fixed registration order of the script functions, the way linit.c lists
// the standard libraries: each subsystem's table in turn.
const luaL_Reg* const scriptFunctionTables[] = {
    worldObjectFunctions,
    zoneFunctions,
    worldObjectTurnFunctions,
    triggerFunctions,
    hostFunctions,
    playerFunctions,
    npcFunctions,
    nullptr,
};

void registerScriptFunctions(lua_State* L) {
    for (const luaL_Reg* const* table = scriptFunctionTables; *table; ++table) {
        for (const luaL_Reg* f = *table; f->name; ++f) {
            lua_pushcclosure(L, f->func, 0);
            lua_pushstring(L, f->name);
            lua_insert(L, -2);
            lua_settable(L, LUA_GLOBALSINDEX);
        }
    }
}
