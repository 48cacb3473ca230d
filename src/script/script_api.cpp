#include "script/script_api.h"

#include "world/world_script.h"

#include <lua.hpp>

extern const luaL_Reg playerFunctions[];
extern const luaL_Reg npcFunctions[];
extern const luaL_Reg soundFunctions[];
extern const luaL_Reg hudFunctions[];

// The fixed registration order of the script functions, the way linit.c lists
// the standard libraries: each subsystem's table in turn. Functions added
// later go in tables after the first sixty, which keep their places.
const luaL_Reg* const scriptFunctionTables[] = {
    worldObjectFunctions,
    zoneFunctions,
    worldObjectTurnFunctions,
    triggerFunctions,
    hostFunctions,
    playerFunctions,
    npcFunctions,
    soundFunctions,
    hudFunctions,
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
