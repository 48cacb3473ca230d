// require "name": shared code for the scripts. Lua 5.1 keeps require in the
// package library, which the host does not open (it would reach system paths
// and C modules), so the host offers its own: a module is a registered script
// of "Resources/Scripts", run once, inside the event that first requires it
// and under that event's limits, with its result kept in a cache of the
// state's registry. Main thread only.
#pragma once

struct lua_State;

// Makes require a global of L and gives L an empty module cache.
void installRequire(lua_State* L);

// Forgets the result of module name, so that the next require runs the
// script's registered text afresh (the script changed or went away). Nothing
// happens when it was never loaded.
void forgetRequiredModule(lua_State* L, const char* name);
