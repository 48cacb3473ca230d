// How much time and memory a script may take. A script is content, written
// by whoever made the mod: an endless loop or a runaway table must cost the
// player one script error, never the game.
//
// Time: every script event (and every event it raises in turn) must end
// within the time limit, counted from the start of the outermost event. A
// count hook on the Lua state looks at the clock every thousand
// instructions; once the limit has passed it raises an error on every
// instruction until the event returns, so no pcall inside the script can keep
// it going. The string library's pattern functions look at the same clock.
//
// Memory: the state's allocator counts its bytes and refuses to grow past the
// memory limit while script code runs; the script then gets Lua's "not enough
// memory" error. The host's own work around a script (the args table,
// compiling, reporting an error) is counted but never refused, so that a limit
// lowered below what the scripts already hold still lets events start.
//
// Finalizers: Lua runs a __gc metamethod with the hooks off, wherever the
// collector happens to step, the host's own work included. The state's
// getmetatable therefore hands out, for a userdata, a stand-in table that
// reads and writes through to the real metatable, except that a __gc stored
// through it is wrapped: the finalizer then runs in a coroutine of its own,
// with the watchdog's hook and under the memory limit, and an event's
// finalizers are stopped with it. The stand-in is not the metatable itself:
// rawset, rawget and next on it do not reach the real one.
//
// Main thread only, like the script state itself.
#pragma once
#include <cstddef>

struct lua_State;

constexpr double kDefaultScriptSeconds = 5.0;
// The time limit's range: less leaves an event no time to run at all, more
// is no limit (an hour of a frozen game) and far more overflows the clock.
constexpr double kMinScriptSeconds = 0.01;
constexpr double kMaxScriptSeconds = 3600.0;
constexpr std::size_t kDefaultScriptBytes = std::size_t(256) << 20;
// Below this the standard libraries would not even open.
constexpr std::size_t kMinScriptBytes = std::size_t(1) << 20;
constexpr std::size_t kMaxScriptMemoryBytes = std::size_t(64) << 30;

// The environment variables read by createLuaState: seconds (a decimal
// number) and mebibytes (a whole number).
constexpr const char* kScriptSecondsVariable = "NIGHTBITE_SCRIPT_SECONDS";
constexpr const char* kScriptMegabytesVariable = "NIGHTBITE_SCRIPT_MEGABYTES";

// A time limit that is not a number is ignored; others are brought into
// kMinScriptSeconds to kMaxScriptSeconds.
void setScriptTimeLimit(double seconds);
double scriptTimeLimit();
// Brought into kMinScriptBytes to kMaxScriptMemoryBytes. Takes effect at
// once, also on a state that already holds more (it then cannot grow until it
// has freed enough).
void setScriptMemoryLimit(std::size_t bytes);
std::size_t scriptMemoryLimit();
// Bytes held by all states made by newLimitedLuaState.
std::size_t scriptMemoryInUse();

// Applies the environment variables above when they are set. A value that is
// not a number is named on standard error and ignored; one out of range is
// brought into it, with a line saying so.
void applyScriptLimitsFromEnvironment();

// A new state with the counting allocator and the watchdog's hook.
lua_State* newLimitedLuaState();

// Replaces the base library's getmetatable of L with the one that keeps
// finalizers under the limits (see above). After luaopen_base.
void limitFinalizers(lua_State* L);

// Closes a state made by newLimitedLuaState, its last finalizers under the
// time limit as an event's would be.
void closeLimitedLuaState(lua_State* L);

// Brackets one script event. The outermost one starts the clock; when it
// ends, a state stopped by the watchdog is made ready for the next event.
// scriptCodeRunning is set while the script's own code runs (the memory limit holds
// then), and cleared around the host's work.
class ScriptEvent {
public:
    // name: the script's, for a report from another thread when the event
    // cannot be stopped (see runningScriptEvent).
    explicit ScriptEvent(lua_State* L, const char* name = nullptr);
    // The outermost event collects what a refused allocation left behind,
    // still as the running event: under its time limit, in sight of the
    // stuck-script guard, and protected (an error is one line).
    ~ScriptEvent();
    ScriptEvent(const ScriptEvent&) = delete;
    ScriptEvent& operator=(const ScriptEvent&) = delete;

    // Calls the function on top of the stack with lua_pcall (no arguments,
    // no results) under the script's memory limit; returns its status.
    int call();

private:
    lua_State* L_;
    const char* name_;
    bool outerScriptCode_;
};

// Any thread: whether an outermost script event is running, and if so since
// when and which script it is. An event that has outlived the time limit by
// far is inside a library function (os.execute, io.read, ...) that the
// watchdog's hook cannot interrupt.
struct RunningScriptEvent {
    bool running = false;
    double seconds = 0; // how long it has run
    char name[64] = "";
};
RunningScriptEvent runningScriptEvent();

// Any thread. From now on no event starts or ends: the main thread, reaching
// the start or the end of one, waits there for good. For a way out that
// cannot be orderly (the stuck-script guard's): once it has ended what a
// stuck script waited on, the script runs on, and must not run into further
// events (a save of a game in mid-frame) before the process ends.
void holdScriptEvents();

// True inside an event whose time is up. Long-running library functions
// written for the host call it now and then.
bool scriptTimeIsUp();

// Raises the watchdog's error ("... ran longer than the time limit of N
// seconds") with the position of the given call level in front.
[[noreturn]] void raiseScriptTimeout(lua_State* L, int level);
