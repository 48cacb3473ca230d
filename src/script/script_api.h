// The table of script functions, in their fixed registration order. Each
// subsystem keeps its own luaL_Reg table next to the code it binds.
#pragma once

struct luaL_Reg;

// The host's own table: get_time_since_last_frame.
extern const luaL_Reg hostFunctions[];

// Tables in registration order, ended by a null pointer; each table ends with
// a {nullptr, nullptr} entry.
extern const luaL_Reg* const scriptFunctionTables[];

// Registers every function of every table as a global of L.
void registerScriptFunctions(struct lua_State* L);
