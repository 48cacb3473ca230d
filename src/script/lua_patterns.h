// string.find, string.match, string.gmatch and string.gsub with limits.
//
// Lua 5.1's matcher recurses once per pattern item with no bound (a long
// pattern of "a?" overflows the C stack) and may backtrack for longer than the
// universe lasts ("a*a*a*...b"), all inside one C call that no Lua hook can
// interrupt. These are the same functions, built on the same matcher, with a
// recursion limit (kMaxPatternDepth levels: "pattern too complex", as Lua 5.2
// reports it) and a look at the script watchdog's clock every thousand
// steps. For every pattern within those limits the results are those of the
// stock library.
#pragma once

struct lua_State;

constexpr int kMaxPatternDepth = 200;

// Replaces the four functions in the table `string` (which must be open).
void installLimitedPatterns(lua_State* L);
