// The host's own work on the script state: building args, compiling, looking
// up a chunk, collecting garbage, reporting. Any Lua call may raise: a
// finalizer that fails can run inside whatever call happens to step the
// collector, a script's metamethod inside a table access, and a C++
// exception may leave the work. Outside a protected call such an error would
// reach Lua's panic function and end the game, so all of it runs through
// runHostWork. Main thread only.
#pragma once
#include <cstddef>
#include <type_traits>

struct lua_State;

struct HostWork {
    void (*call)(void* context, lua_State* L);
    void* context;
};

// Runs work under lua_cpcall. An error inside it ends the work there and is
// printed in the script host's format, "error running script EVENT:
// MESSAGE"; the result is then false. The stack is as it was afterwards
// either way: the work cannot hand back values on it.
bool runHostWork(lua_State* L, const char* event, HostWork work);

// The same for any callable taking the state: runHostWork(L, name, [&](lua_State* L) {...}).
template <class Fn> bool runHostWork(lua_State* L, const char* event, Fn&& fn) {
    using Callable = std::remove_reference_t<Fn>;
    HostWork work{
        [](void* context, lua_State* state) { (*static_cast<Callable*>(context))(state); },
        const_cast<void*>(static_cast<const void*>(&fn))};
    return runHostWork(L, event, work);
}

// Every script error the host prints goes through the functions below: one
// line on standard error, and a note in scriptErrors() (script_errors.h),
// which the display reads.
enum class ScriptErrorKind {
    Runtime, // "error running script EVENT: MESSAGE"
    Compile, // "Couldn't execute script EVENT: script compilation error: MESSAGE"
};

// Prints the line of that kind with the value at index as MESSAGE, written
// as writeScriptMessage does, and notes it.
void reportScriptError(lua_State* L, const char* event, int index = -1,
                       ScriptErrorKind kind = ScriptErrorKind::Runtime);

// "Couldn't execute script EVENT: script not found", printed and noted.
void reportScriptNotFound(const char* event);

// "Script NAME not registered: the script table is full", printed and noted
// (as NAME's error), so that a mod's 513th file is seen on the screen too.
void reportScriptTableFull(const char* name);

// Writes the error value at index to standard error: every byte of a string
// (a zero byte shows as \0), a number as Lua writes it, anything else as
// "(error object is not a string)". Asks nothing of Lua that could allocate
// or run a script, so it works when memory is short.
void writeScriptMessage(lua_State* L, int index);

// The same text as bytes, again without asking Lua for anything: a string's
// own bytes, a number written into buffer, or the fixed text.
const char* scriptMessageText(lua_State* L, int index, char* buffer, std::size_t size,
                              std::size_t& length);
