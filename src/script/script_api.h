// The script functions as the host sees them: tables of luaL_Reg, each ended
// by a {nullptr, nullptr} entry, registered in a fixed order. The host knows
// no subsystem: each subsystem exports its table from its own header, and the
// game's list of them is defined above the subsystems, in
// app/script_tables.cpp, the way Lua's linit.c lists the standard libraries.
#pragma once

struct luaL_Reg;
struct lua_State;

// The host's own table: get_time_since_last_frame.
extern const luaL_Reg hostFunctions[];

// The game's tables in registration order, ended by a null pointer
// (app/script_tables.cpp). createLuaState registers these.
extern const luaL_Reg* const scriptFunctionTables[];

// Registers every function of every table as a global of L, table by table,
// each as pushScriptFunction makes it.
void registerScriptFunctions(lua_State* L, const luaL_Reg* const* tables);

// Pushes the function of a table entry as scripts get it: a C++ exception
// that leaves it becomes a script error with the exception's text. The entry
// must outlive the state (the tables are static).
void pushScriptFunction(lua_State* L, const luaL_Reg* entry);
