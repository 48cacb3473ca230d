#include "script/script_api.h"

#include "script/lua_binding.h"

#include <lua.hpp>

namespace {

// Every script function is entered here, its table entry the one upvalue.
// A C++ exception that leaves a function (a failed allocation of a name's
// copy, say) becomes a Lua error with its text, "not enough memory" for want
// of memory; Lua built as C++ would otherwise report a status with whatever
// value happened to be on the stack as its message.
int enterScriptFunction(lua_State* L) {
    const auto* entry = static_cast<const luaL_Reg*>(lua_touserdata(L, lua_upvalueindex(1)));
    return guardedCall(L, [&] { return entry->func(L); });
}

} // namespace

void pushScriptFunction(lua_State* L, const luaL_Reg* entry) {
    lua_pushlightuserdata(L, const_cast<luaL_Reg*>(entry));
    lua_pushcclosure(L, enterScriptFunction, 1);
}

void registerScriptFunctions(lua_State* L, const luaL_Reg* const* tables) {
    for (const luaL_Reg* const* table = tables; *table; ++table) {
        for (const luaL_Reg* f = *table; f->name; ++f) {
            pushScriptFunction(L, f);
            lua_pushstring(L, f->name);
            lua_insert(L, -2);
            lua_settable(L, LUA_GLOBALSINDEX);
        }
    }
}
