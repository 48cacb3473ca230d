#include "script/script_limits.h"

#include "script/host_work.h"

#include <lua.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Reading the clock costs about as much as a few dozen Lua instructions;
// every thousand keeps the watchdog's cost out of sight and its reaction
// well under a millisecond.
constexpr int kHookInterval = 1000;

double timeLimit = kDefaultScriptSeconds;
std::size_t memoryLimit = kDefaultScriptBytes;
std::size_t bytesInUse = 0;
// Whether the running code is a script's (the limit holds) or the host's.
bool scriptCodeRunning = false;
// Set when the allocator said no; cleared by a full collection.
bool allocationRefused = false;

int eventDepth = 0;
Clock::time_point deadline;
bool timeUp = false;

// Set, from any thread, by holdScriptEvents.
std::atomic<bool> eventsHeld{false};

void waitIfHeld() {
    while (eventsHeld.load())
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

// The outermost event as other threads see it.
std::mutex runningLock;
RunningScriptEvent running;
Clock::time_point runningSince;

void* countingAlloc(void*, void* block, std::size_t oldSize, std::size_t newSize) {
    if (newSize == 0) {
        std::free(block);
        bytesInUse -= oldSize;
        return nullptr;
    }
    // The host's own allocations are never refused: they are small (an args
    // table, compiling a script of at most 128 KiB), and a limit lowered
    // below what the scripts hold must still let an event start. They still
    // count.
    if (newSize > oldSize && scriptCodeRunning) {
        const std::size_t growth = newSize - oldSize;
        if (bytesInUse > memoryLimit || growth > memoryLimit - bytesInUse) {
            allocationRefused = true;
            return nullptr; // Lua raises "not enough memory"
        }
    }
    void* moved = std::realloc(block, newSize);
    if (!moved) {
        // Lua counts on a block never failing to shrink; keep it as it is.
        if (newSize <= oldSize)
            return block;
        return nullptr;
    }
    bytesInUse = bytesInUse - oldSize + newSize;
    return moved;
}

void watchdogHook(lua_State* L, lua_Debug*) {
    if (!scriptTimeIsUp()) {
        // A coroutine stopped in an earlier event still has the fast count.
        if (lua_gethookcount(L) != kHookInterval)
            lua_sethook(L, watchdogHook, LUA_MASKCOUNT, kHookInterval);
        return;
    }
    // From now on every instruction of this thread fails: a pcall in the
    // script catches one error, but the next instruction raises again.
    lua_sethook(L, watchdogHook, LUA_MASKCOUNT, 1);
    raiseScriptTimeout(L, 0);
}

// The last resort: every Lua call of the host runs protected, so this is
// never meant to be reached. If it is, it says which event was running.
int panic(lua_State* L) {
    char event[sizeof running.name] = "(none)";
    {
        std::lock_guard<std::mutex> guard(runningLock);
        if (running.running)
            std::snprintf(event, sizeof event, "%s", running.name);
    }
    std::fprintf(stderr, "Script host failed outside any script, during the event %s: ", event);
    writeScriptMessage(L, -1);
    std::fputc('\n', stderr);
    std::fflush(nullptr);
    return 0; // Lua then ends the program
}

// ---- Finalizers under the limits --------------------------------------------

// A finalizer stored through a stand-in: upvalue 1 is the script's own. It
// runs in a new coroutine, which inherits the hook and, unlike the thread
// the collector runs on, has hooks allowed. Its error would surface in
// whatever code the collector happened to interrupt, the host's own work
// included; it is printed as the running event's error instead (as Lua 5.4
// does with a warning), and only the time limit's error goes on, to stop
// the event.
int runFinalizer(lua_State* L) {
    lua_State* thread = lua_newthread(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushvalue(L, 1);
    lua_xmove(L, thread, 2);
    const bool outer = scriptCodeRunning;
    scriptCodeRunning = true;
    const int status = lua_resume(thread, 1);
    scriptCodeRunning = outer;
    if (status == 0 || status == LUA_YIELD)
        return 0;
    lua_xmove(thread, L, 1);
    if (scriptTimeIsUp())
        return lua_error(L);
    const RunningScriptEvent event = runningScriptEvent();
    reportScriptError(L, event.running ? event.name : "(no event)");
    return 0;
}

bool isFinalizerKey(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TSTRING)
        return false;
    std::size_t length = 0;
    const char* key = lua_tolstring(L, index, &length);
    return length == 4 && std::memcmp(key, "__gc", 4) == 0;
}

// The stand-in's __index (upvalue 1: the real metatable): the real field, a
// wrapped finalizer read back as the script stored it.
int readThrough(lua_State* L) {
    lua_settop(L, 2);
    lua_pushvalue(L, 2);
    lua_rawget(L, lua_upvalueindex(1));
    if (isFinalizerKey(L, 2) && lua_tocfunction(L, -1) == runFinalizer)
        lua_getupvalue(L, -1, 1);
    return 1;
}

// The stand-in's __newindex (upvalue 1: the real metatable).
int writeThrough(lua_State* L) {
    lua_settop(L, 3);
    if (isFinalizerKey(L, 2) && !lua_isnil(L, 3))
        lua_pushcclosure(L, runFinalizer, 1);
    lua_rawset(L, lua_upvalueindex(1));
    return 0;
}

const char* const kStandIns = "nightbite.metatable stand-ins";

// Leaves the stand-in of the metatable on top of the stack in its place.
void replaceByStandIn(lua_State* L) {
    lua_getfield(L, LUA_REGISTRYINDEX, kStandIns);
    lua_pushvalue(L, -2);
    lua_rawget(L, -2);
    if (lua_istable(L, -1)) {
        lua_replace(L, -3);
        lua_pop(L, 1);
        return;
    }
    lua_pop(L, 1);
    lua_newtable(L); // the stand-in
    lua_createtable(L, 0, 3);
    lua_pushvalue(L, -4);
    lua_pushcclosure(L, readThrough, 1);
    lua_setfield(L, -2, "__index");
    lua_pushvalue(L, -4);
    lua_pushcclosure(L, writeThrough, 1);
    lua_setfield(L, -2, "__newindex");
    lua_pushboolean(L, 0); // the stand-in's own metatable stays out of reach
    lua_setfield(L, -2, "__metatable");
    lua_setmetatable(L, -2);
    lua_pushvalue(L, -3);
    lua_pushvalue(L, -2);
    lua_rawset(L, -4); // remembered while both are alive
    lua_replace(L, -3);
    lua_pop(L, 1);
}

// getmetatable(v): as the base library's (upvalue 1), but a userdata's
// metatable comes as its stand-in.
int limitedGetmetatable(lua_State* L) {
    luaL_checkany(L, 1);
    lua_settop(L, 1);
    if (lua_type(L, 1) != LUA_TUSERDATA) {
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_insert(L, 1);
        lua_call(L, 1, 1);
        return 1;
    }
    if (!lua_getmetatable(L, 1)) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushliteral(L, "__metatable");
    lua_rawget(L, -2);
    if (!lua_isnil(L, -1))
        return 1; // a protected metatable gives its field, as before
    lua_pop(L, 1);
    replaceByStandIn(L);
    return 1;
}

} // namespace

void setScriptTimeLimit(double seconds) {
    if (!std::isnan(seconds))
        timeLimit = std::clamp(seconds, kMinScriptSeconds, kMaxScriptSeconds);
}

double scriptTimeLimit() { return timeLimit; }

void setScriptMemoryLimit(std::size_t bytes) {
    memoryLimit = std::clamp(bytes, kMinScriptBytes, kMaxScriptMemoryBytes);
}

std::size_t scriptMemoryLimit() { return memoryLimit; }

std::size_t scriptMemoryInUse() { return bytesInUse; }

namespace {

void applySeconds(const char* text) {
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || std::isnan(seconds)) {
        std::fprintf(stderr, "Ignored %s=%s: a number of seconds expected\n",
                     kScriptSecondsVariable, text);
        return;
    }
    setScriptTimeLimit(seconds);
    if (timeLimit != seconds)
        std::fprintf(stderr, "%s=%s is out of range (%g to %g seconds); the limit is %g seconds\n",
                     kScriptSecondsVariable, text, kMinScriptSeconds, kMaxScriptSeconds, timeLimit);
}

void applyMegabytes(const char* text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long megabytes = std::strtoull(text, &end, 10);
    if (*end != '\0' || text[0] == '-' || !std::isdigit(static_cast<unsigned char>(text[0]))) {
        std::fprintf(stderr, "Ignored %s=%s: a whole number of megabytes expected\n",
                     kScriptMegabytesVariable, text);
        return;
    }
    const unsigned long long most = kMaxScriptMemoryBytes >> 20, least = kMinScriptBytes >> 20;
    const unsigned long long chosen = errno == ERANGE ? most : std::clamp(megabytes, least, most);
    setScriptMemoryLimit(std::size_t(chosen) << 20);
    if (chosen != megabytes || errno == ERANGE)
        std::fprintf(stderr, "%s=%s is out of range (%llu to %llu); the limit is %llu megabytes\n",
                     kScriptMegabytesVariable, text, least, most, chosen);
}

} // namespace

void applyScriptLimitsFromEnvironment() {
    if (const char* text = std::getenv(kScriptSecondsVariable); text && *text)
        applySeconds(text);
    if (const char* text = std::getenv(kScriptMegabytesVariable); text && *text)
        applyMegabytes(text);
}

lua_State* newLimitedLuaState() {
    // Opening the libraries is the host's work, not a script's.
    const bool outer = scriptCodeRunning;
    scriptCodeRunning = false;
    lua_State* L = lua_newstate(countingAlloc, nullptr);
    scriptCodeRunning = outer;
    if (!L)
        throw std::bad_alloc();
    lua_atpanic(L, panic);
    lua_sethook(L, watchdogHook, LUA_MASKCOUNT, kHookInterval);
    return L;
}

void limitFinalizers(lua_State* L) {
    lua_newtable(L);
    lua_createtable(L, 0, 1);
    lua_pushliteral(L, "kv");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
    lua_setfield(L, LUA_REGISTRYINDEX, kStandIns);
    lua_getglobal(L, "getmetatable");
    lua_pushcclosure(L, limitedGetmetatable, 1);
    lua_setglobal(L, "getmetatable");
}

namespace {

void startClock(const char* name) {
    timeUp = false;
    const Clock::time_point now = Clock::now();
    deadline =
        now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeLimit));
    std::lock_guard<std::mutex> guard(runningLock);
    running.running = true;
    std::snprintf(running.name, sizeof running.name, "%s", name ? name : "(unnamed)");
    runningSince = now;
}

void stopClock() {
    {
        std::lock_guard<std::mutex> guard(runningLock);
        running.running = false;
    }
    timeUp = false;
}

} // namespace

void closeLimitedLuaState(lua_State* L) {
    // The finalizers still due run as an event's would, so one that loops
    // cannot hold the close for ever.
    const bool outer = scriptCodeRunning;
    scriptCodeRunning = false;
    if (eventDepth++ == 0)
        startClock("(closing)");
    lua_close(L);
    if (--eventDepth == 0)
        stopClock();
    scriptCodeRunning = outer;
}

void holdScriptEvents() {
    eventsHeld.store(true);
}

ScriptEvent::ScriptEvent(lua_State* L, const char* name)
    : L_(L), name_(name ? name : "(unnamed)"), outerScriptCode_(scriptCodeRunning) {
    waitIfHeld();
    scriptCodeRunning = false;
    if (eventDepth++ == 0)
        startClock(name_);
}

ScriptEvent::~ScriptEvent() {
    waitIfHeld();
    scriptCodeRunning = outerScriptCode_;
    if (eventDepth > 1) {
        --eventDepth;
        return;
    }
    // Lua 5.1 does not collect before it gives up on an allocation, and its
    // collector may not be due for a long while: what a script left behind
    // when it ran out (even if it caught the error) goes now, before the next
    // event needs the room.
    if (allocationRefused) {
        allocationRefused = false;
        runHostWork(L_, name_, [](lua_State* L) { lua_gc(L, LUA_GCCOLLECT, 0); });
    }
    --eventDepth;
    stopClock();
    // Leave a hook that someone else installed (a test's, say) alone.
    if (lua_gethook(L_) == watchdogHook && lua_gethookcount(L_) != kHookInterval)
        lua_sethook(L_, watchdogHook, LUA_MASKCOUNT, kHookInterval);
}

int ScriptEvent::call() {
    scriptCodeRunning = true;
    const int status = lua_pcall(L_, 0, 0, 0);
    scriptCodeRunning = false;
    return status;
}

RunningScriptEvent runningScriptEvent() {
    std::lock_guard<std::mutex> guard(runningLock);
    RunningScriptEvent now = running;
    if (now.running)
        now.seconds = std::chrono::duration<double>(Clock::now() - runningSince).count();
    return now;
}

bool scriptTimeIsUp() {
    if (eventDepth == 0)
        return false;
    if (!timeUp && Clock::now() >= deadline)
        timeUp = true;
    return timeUp;
}

void raiseScriptTimeout(lua_State* L, int level) {
    // The message is the host's, so that a script that is out of both time
    // and memory still hears about the time.
    const bool outer = scriptCodeRunning;
    scriptCodeRunning = false;
    luaL_where(L, level);
    lua_pushfstring(L, "script stopped: it ran longer than the time limit of %f seconds",
                    lua_Number(timeLimit));
    lua_concat(L, 2);
    scriptCodeRunning = outer;
    lua_error(L);
    std::abort(); // lua_error does not return
}
