#include "script/script_console.h"

#include "script/host_work.h"
#include "script/lua_binding.h"
#include "script/script_limits.h"
#include "util/globals.h"

#include <lua.hpp>

#include <cstdio>

namespace {

// Where print and the line's results go while a line runs; null otherwise.
// A print the line stored away, called later by a script, then writes to
// standard output as Lua's own does.
std::vector<ConsoleOutput>* collecting = nullptr;

class Collecting {
public:
    explicit Collecting(std::vector<ConsoleOutput>& out) { collecting = &out; }
    ~Collecting() { collecting = nullptr; }
    Collecting(const Collecting&) = delete;
    Collecting& operator=(const Collecting&) = delete;
};

// The values at first..last through the global tostring, tab separated, as
// Lua's print writes them.
std::string joinValues(lua_State* L, int first, int last) {
    std::string text;
    lua_getglobal(L, "tostring");
    for (int i = first; i <= last; ++i) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        std::size_t length = 0;
        const char* s = lua_tolstring(L, -1, &length);
        if (!s)
            luaL_error(L, "'tostring' must return a string to 'print'");
        if (i > first)
            text += '\t';
        text.append(s, length);
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return text;
}

int consolePrint(lua_State* L) {
    return guardedCall(L, [&] {
        std::string text = joinValues(L, 1, lua_gettop(L));
        if (collecting) {
            collecting->push_back({ConsoleOutput::Kind::Printed, std::move(text)});
        } else {
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fputc('\n', stdout);
        }
        return 0;
    });
}

// Upvalue 1: the compiled line. Runs it and turns what it returns into one
// Result, inside the event, so that a __tostring is under the limits too.
int callLine(lua_State* L) {
    lua_settop(L, 0);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_call(L, 0, LUA_MULTRET);
    const int results = lua_gettop(L);
    if (results == 0 || !collecting)
        return 0;
    return guardedCall(L, [&] {
        collecting->push_back({ConsoleOutput::Kind::Result, joinValues(L, 1, results)});
        return 0;
    });
}

std::string errorText(lua_State* L) {
    char number[64];
    std::size_t length = 0;
    const char* text = scriptMessageText(L, -1, number, sizeof number, length);
    return std::string(text, length);
}

// Compiles the line onto the stack as Lua 5.4's interpreter reads it, or
// leaves the error message there; true when compiled.
bool loadLine(lua_State* L, const char* line, std::size_t length) {
    const bool expression = length > 0 && line[0] == '=';
    std::string code = "return ";
    code.append(expression ? line + 1 : line, expression ? length - 1 : length);
    if (luaL_loadbuffer(L, code.data(), code.size(), "=console") == 0 || expression)
        return lua_isfunction(L, -1);
    lua_pop(L, 1);
    return luaL_loadbuffer(L, line, length, "=console") == 0;
}

// Sets the global print (rawly: a metatable on the globals is the scripts'
// business) to the value on top of the stack, which it pops.
void setPrint(lua_State* L) {
    lua_pushliteral(L, "print");
    lua_insert(L, -2);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

void runLine(lua_State* L, ScriptEvent& event, const char* line, std::size_t length,
             std::vector<ConsoleOutput>& out) {
    if (!loadLine(L, line, length)) {
        out.push_back({ConsoleOutput::Kind::Error, errorText(L)});
        lua_pop(L, 1);
        return;
    }
    lua_pushcclosure(L, callLine, 1); // 1
    lua_pushliteral(L, "print");
    lua_rawget(L, LUA_GLOBALSINDEX);    // 2: the scripts' print
    lua_pushcfunction(L, consolePrint); // 3
    lua_pushvalue(L, 3);
    setPrint(L);
    lua_pushvalue(L, 1);
    if (event.call() != 0) {
        out.push_back({ConsoleOutput::Kind::Error, errorText(L)});
        lua_pop(L, 1);
    }
    // The scripts' print comes back, unless the line set a print of its own.
    lua_pushliteral(L, "print");
    lua_rawget(L, LUA_GLOBALSINDEX);
    const bool ours = lua_rawequal(L, -1, 3) != 0;
    lua_pop(L, 1);
    if (ours) {
        lua_pushvalue(L, 2);
        setPrint(L);
    }
    lua_pop(L, 3);
}

} // namespace

std::vector<ConsoleOutput> runConsoleLine(const char* line, std::size_t length) {
    std::vector<ConsoleOutput> out;
    lua_State* L = scriptState;
    if (!L) {
        out.push_back({ConsoleOutput::Kind::Error, "the scripts are not running yet"});
        return out;
    }
    Collecting guard(out);
    ScriptEvent event(L, kConsoleEvent);
    if (!runHostWork(L, kConsoleEvent,
                     [&](lua_State* state) { runLine(state, event, line, length, out); }))
        out.push_back({ConsoleOutput::Kind::Error,
                       "the game could not run the line (the error is on the screen)"});
    return out;
}
