#include "script/script_limits.h"

#include <lua.hpp>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

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
    // table, compiling a script of at most 128 KiB, an error message), and
    // some happen outside any protected call, where a refusal would end the
    // program. They still count.
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

int panic(lua_State* L) {
    const char* message = lua_tostring(L, -1);
    std::fprintf(stderr, "Script host failed outside any script: %s\n",
                 message ? message : "(no message)");
    return 0; // Lua then ends the program
}

} // namespace

void setScriptTimeLimit(double seconds) {
    if (seconds > 0 && std::isfinite(seconds))
        timeLimit = seconds;
}

double scriptTimeLimit() { return timeLimit; }

void setScriptMemoryLimit(std::size_t bytes) {
    memoryLimit = bytes < kMinScriptBytes ? kMinScriptBytes : bytes;
}

std::size_t scriptMemoryLimit() { return memoryLimit; }

std::size_t scriptMemoryInUse() { return bytesInUse; }

void applyScriptLimitsFromEnvironment() {
    if (const char* text = std::getenv(kScriptSecondsVariable); text && *text) {
        char* end = nullptr;
        const double seconds = std::strtod(text, &end);
        if (*end == '\0' && seconds > 0 && std::isfinite(seconds))
            setScriptTimeLimit(seconds);
        else
            std::fprintf(stderr, "Ignored %s=%s: a number of seconds above 0 expected\n",
                         kScriptSecondsVariable, text);
    }
    if (const char* text = std::getenv(kScriptMegabytesVariable); text && *text) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long megabytes = std::strtoull(text, &end, 10);
        const bool fits = megabytes <= (std::numeric_limits<std::size_t>::max() >> 21);
        if (*end == '\0' && errno == 0 && megabytes > 0 && text[0] != '-' && fits)
            setScriptMemoryLimit(std::size_t(megabytes) << 20);
        else
            std::fprintf(stderr, "Ignored %s=%s: a whole number of megabytes above 0 expected\n",
                         kScriptMegabytesVariable, text);
    }
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

ScriptEvent::ScriptEvent(lua_State* L, const char* name)
    : L_(L), outerScriptCode_(scriptCodeRunning) {
    scriptCodeRunning = false;
    if (eventDepth++ == 0) {
        timeUp = false;
        const Clock::time_point now = Clock::now();
        deadline = now + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double>(timeLimit));
        std::lock_guard<std::mutex> guard(runningLock);
        running.running = true;
        std::snprintf(running.name, sizeof running.name, "%s", name ? name : "(unnamed)");
        runningSince = now;
    }
}

ScriptEvent::~ScriptEvent() {
    scriptCodeRunning = outerScriptCode_;
    if (--eventDepth > 0)
        return;
    {
        std::lock_guard<std::mutex> guard(runningLock);
        running.running = false;
    }
    timeUp = false;
    // Lua 5.1 does not collect before it gives up on an allocation, and its
    // collector may not be due for a long while: what a script left behind
    // when it ran out (even if it caught the error) goes now, before the next
    // event needs the room.
    if (allocationRefused) {
        allocationRefused = false;
        lua_gc(L_, LUA_GCCOLLECT, 0);
    }
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
