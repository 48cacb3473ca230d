// Drives every registered script function with random argument counts, types
// and values (NaN, infinities, float extremes, huge and NUL-holding strings,
// tables, functions), with frames of random controls run through the frame
// driver in between. Now and then a round attacks the host instead: a
// metatable on _G, finalizers that raise, loop, allocate or destroy the
// records being read, the collector at extreme settings, coroutines left
// suspended from one event to the next. Deterministic for a seed; errors
// raised by the functions are expected and only counted. A crash, an abort, a
// hang or a sanitizer report is a fault in the game.
//
//   script_fuzz [--seconds S] [--seed N] [--rounds R]
#include "player/game_fixture.h"

#include "script/script_api.h"
#include "script/script_host.h"
#include "script/script_limits.h"
#include "util/globals.h"

#include <Ogre.h>
#include <lua.hpp>

#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define NB_FUZZ_SANITIZER_REPORT_FD 1
#endif

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

double fuzzSeconds = 60;
std::uint64_t fuzzSeed = 1;
long fuzzRounds = -1; // a fixed count of rounds instead of a time

// splitmix64: the same sequence for a seed on every platform and library.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
};

struct Fuzzer {
    Random random{1};
    std::vector<const luaL_Reg*> functions;
    std::vector<long> accepted; // calls that returned without an error, per function
    std::vector<std::string> names; // object, trigger, script and mesh names
    std::string huge;
    long calls = 0;
    long errors = 0;
    long attacks = 0;
    int depth = 0;

    void pushNumber(lua_State* L) {
        static const double special[] = {
            std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            3.4e38, -3.4e38, 3.5e38, 1e36, -1e36, 1e308, -1e308, 4.9e-324, -0.0, 0.0,
            2147483647.0, 2147483648.0, -2147483648.0, -2147483649.0, 4294967296.0,
            9.3e18, -9.3e18, 0.5, -1, 1, 2, 3, 4, 7, 8, 31, 32, 33, 63, 64, 255, 256, 511, 512, 100,
        };
        switch (random.below(4)) {
        case 0:
            lua_pushnumber(L, special[random.below(sizeof special / sizeof special[0])]);
            break;
        case 1: // slots, indices and variants
            lua_pushnumber(L, random.below(80) - 10);
            break;
        case 2: // street coordinates
            lua_pushnumber(L, (random.unit() - 0.5) * 2000);
            break;
        default:
            lua_pushnumber(L, (random.unit() - 0.5) * std::pow(10.0, random.below(40)));
            break;
        }
    }

    void pushName(lua_State* L) {
        const std::string& n = names[static_cast<std::size_t>(random.below(int(names.size())))];
        lua_pushlstring(L, n.data(), n.size());
    }

    void pushString(lua_State* L) {
        switch (random.below(6)) {
        case 0:
        case 1:
        case 2:
            pushName(L);
            break;
        case 3: {
            static const char nul[] = "o1\0box.mesh";
            lua_pushlstring(L, nul, random.chance(50) ? sizeof nul - 1 : 1 + random.below(4));
            break;
        }
        case 4: {
            // A megabyte now and then: often enough to reach every function,
            // rarely enough that copying it does not eat the run.
            std::size_t n = random.below(1000) >= 5 ? static_cast<std::size_t>(random.below(300))
                                                   : huge.size() - static_cast<std::size_t>(random.below(1000));
            lua_pushlstring(L, huge.data(), n);
            break;
        }
        default: {
            char text[32];
            const int n = random.below(int(sizeof text));
            for (int i = 0; i < n; ++i)
                text[i] = static_cast<char>(random.below(256));
            lua_pushlstring(L, text, static_cast<std::size_t>(n));
            break;
        }
        }
    }

    void pushTable(lua_State* L, int level) {
        lua_newtable(L);
        const int n = random.below(5);
        for (int i = 1; i <= n; ++i) {
            if (random.chance(70))
                lua_pushnumber(L, i);
            else
                pushString(L);
            pushValue(L, level + 1);
            lua_settable(L, -3);
        }
    }

    void pushValue(lua_State* L, int level = 0) {
        switch (random.below(level > 1 ? 9 : 12)) {
        case 0:
        case 1:
        case 2:
        case 3:
            pushNumber(L);
            break;
        case 4:
        case 5:
        case 6:
            pushString(L);
            break;
        case 7:
            lua_pushnil(L);
            break;
        case 8:
            lua_pushboolean(L, random.below(2));
            break;
        case 9:
            pushTable(L, level);
            break;
        case 10: // a Lua function
            lua_getglobal(L, "tostring");
            break;
        default: // a C function of the game
            pushScriptFunction(
                L, functions[static_cast<std::size_t>(random.below(int(functions.size())))]);
            break;
        }
    }

    // Calls n random functions with random arguments, each under its own
    // protected call.
    void calls_(lua_State* L, int n) {
        for (int i = 0; i < n; ++i) {
            const std::size_t which = static_cast<std::size_t>(random.below(int(functions.size())));
            pushScriptFunction(L, functions[which]);
            const int argc = random.chance(10) ? random.below(20) : random.below(10);
            if (random.chance(10)) {
                // Axes and unit vectors: -1, 0 and 1 only, which is how a
                // rotation from three axes gets through now and then.
                for (int a = 0; a < argc; ++a)
                    lua_pushnumber(L, random.below(3) - 1);
            } else if (random.chance(50)) {
                // The shape most functions take: a name, numbers, perhaps a
                // name last; without it, calls with many arguments would
                // almost never get past the checks.
                for (int a = 0; a < argc; ++a) {
                    if (a == 0 || (a == argc - 1 && random.chance(50)))
                        pushName(L);
                    else if (random.chance(90))
                        lua_pushnumber(L, (random.unit() - 0.5) * (random.chance(50) ? 4 : 2000));
                    else
                        pushValue(L);
                }
            } else {
                for (int a = 0; a < argc; ++a)
                    pushValue(L);
            }
            ++calls;
            if (lua_pcall(L, argc, 0, 0) != 0) {
                ++errors;
                lua_pop(L, 1);
            } else {
                ++accepted[which];
            }
        }
    }
};

Fuzzer* fuzzer = nullptr;

// The attacks on the host, as Lua: a table of functions, each given a random
// number. They reach the game's functions through locals taken before any
// attack can change _G.
const char* const kHostAttacks = R"lua(
local names = ...
local destroy_trigger, destroy_world_object = destroy_trigger, destroy_world_object
local unregister_player_powerup = unregister_player_powerup
local get_all_triggers, get_all_world_objects = get_all_triggers, get_all_world_objects
local get_player_powerups, get_trigger_script = get_player_powerups, get_trigger_script
local get_world_object_mesh = get_world_object_mesh
local newproxy, getmetatable, setmetatable, collectgarbage = newproxy, getmetatable, setmetatable, collectgarbage
local coroutine, error, rawget, rawset, tostring, pcall, ipairs, type =
    coroutine, error, rawget, rawset, tostring, pcall, ipairs, type
local held, routines = {}, {}
local pauses = {0, 1, 50, 100, 200, 1000, 1e9}
local multipliers = {0, 1, 2, 100, 200, 2^28}

-- A proxy whose finalizer is f; it becomes garbage when a later attack
-- replaces it, or with the args table it is kept in.
local function finalized(r, f)
    local p = newproxy(true)
    getmetatable(p).__gc = f
    local a = rawget(_G, "args")
    if r % 3 == 0 and type(a) == "table" then
        a.keep = p
    else
        held[r % 8] = p
    end
end

-- Everything a name of the pool names, gone: the finalizer runs while a
-- function is reading exactly such a record.
local function destroyAll()
    for _, n in ipairs(names) do
        pcall(destroy_trigger, n)
        pcall(destroy_world_object, n)
        pcall(unregister_player_powerup, n)
    end
end

-- A finalizer that destroys everything and leaves another such garbage
-- behind, a number of times: with the collector at every step, it strikes
-- inside the functions' own pushes.
local function rearm(times)
    if times > 0 then
        local p = newproxy(true)
        getmetatable(p).__gc = function() destroyAll() rearm(times - 1) end
    end
end

local function readAll()
    local t = {pcall(get_all_triggers), pcall(get_all_world_objects), pcall(get_player_powerups)}
    for _, n in ipairs(names) do
        t[#t + 1] = {pcall(get_trigger_script, n)}
        t[#t + 1] = {pcall(get_world_object_mesh, n)}
    end
    return t
end

return {
    -- Strict globals, with args gone first or not.
    function(r)
        if r % 2 == 0 then rawset(_G, "args", nil) end
        setmetatable(_G, {
            __newindex = function(t, k, v)
                if r % 3 ~= 0 then error("undeclared global " .. tostring(k)) end
                rawset(t, k, v)
            end,
            __index = function(t, k)
                if r % 5 == 0 then error("undefined global " .. tostring(k)) end
            end,
        })
    end,
    function() setmetatable(_G, nil) end,
    function(r) finalized(r, function() error("finalizer " .. r) end) end,
    function(r) finalized(r, function() while true do end end) end,
    function(r) finalized(r, function() local t = {} for i = 1, 1e8 do t[i] = {i} end end) end,
    function(r) finalized(r, destroyAll) end,
    function(r) finalized(r, destroyAll) end,
    function(r) finalized(r, function() readAll() destroyAll() readAll() end) end,
    function(r) rearm(r % 64) end,
    function(r)
        collectgarbage("setpause", pauses[r % #pauses + 1])
        collectgarbage("setstepmul", multipliers[r % #multipliers + 1])
    end,
    function(r) collectgarbage(({"collect", "step", "stop", "restart"})[r % 4 + 1]) end,
    -- Back to the usual collector, so that the run gets on.
    function() collectgarbage("setpause", 200) collectgarbage("setstepmul", 200) collectgarbage("restart") end,
    function() collectgarbage("setpause", 200) collectgarbage("setstepmul", 200) collectgarbage("restart") end,
    -- Coroutines left suspended, resumed in a later event.
    function(r)
        local k = r % 4
        if routines[k] and coroutine.status(routines[k]) == "suspended" and r % 2 == 0 then
            coroutine.resume(routines[k])
            return
        end
        routines[k] = coroutine.create(function()
            while true do
                coroutine.yield(readAll())
                if r % 7 == 0 then while true do end end
            end
        end)
        coroutine.resume(routines[k])
    end,
    function() held = {} end,
    function() readAll() end,
}
)lua";

// One level deeper for as long as it lives. A Lua error may leave the
// function that made it (Lua built as C++ unwinds), and the depth must still
// come back.
struct Deeper {
    Deeper() { ++fuzzer->depth; }
    ~Deeper() { --fuzzer->depth; }
    Deeper(const Deeper&) = delete;
    Deeper& operator=(const Deeper&) = delete;
};

// fuzz_host(): one attack on the host, now and then.
int fuzzHost(lua_State* L) {
    if (fuzzer->depth > 1 || !fuzzer->random.chance(30))
        return 0;
    Deeper deeper;
    lua_getfield(L, LUA_REGISTRYINDEX, "nb_fuzz_attacks");
    const int count = static_cast<int>(lua_objlen(L, -1));
    lua_rawgeti(L, -1, 1 + fuzzer->random.below(count));
    lua_pushnumber(L, fuzzer->random.below(1000));
    ++fuzzer->attacks;
    if (lua_pcall(L, 1, 0, 0) != 0)
        lua_pop(L, 1);
    lua_pop(L, 1);
    return 0;
}

// The script-side entry: fuzz_calls(n) from within a script the host runs, so
// every call sees the host as an event would.
int fuzzCalls(lua_State* L) {
    // A trigger running the fuzz script from inside a fuzz round would nest
    // without end.
    if (fuzzer->depth > 1)
        return 0;
    Deeper deeper;
    fuzzer->calls_(L, static_cast<int>(luaL_checknumber(L, 1)));
    return 0;
}

class ScriptFuzz : public nbtest::GameTest {};

TEST_F(ScriptFuzz, EveryScriptFunctionSurvivesRandomArguments) {
    startScripts({
        {"fuzz", "fuzz_host() fuzz_calls(200)"},
        {"touch", "touched = (touched or 0) + 1"},
        {"frame_started", "fuzz_host() fuzz_calls(3)"},
        {"new_game", "fuzz_calls(5)"},
        {"save_game", "fuzz_calls(5)"},
        {"load_game", "this is not lua"},
    });
    // Short limits: an attack that loops or hoards costs a fraction of a
    // second, not the run.
    const double seconds0 = scriptTimeLimit();
    const std::size_t bytes0 = scriptMemoryLimit();
    setScriptTimeLimit(0.25);
    setScriptMemoryLimit(std::size_t(64) << 20);
    Fuzzer f;
    f.random.state = fuzzSeed;
    fuzzer = &f;
    for (const luaL_Reg* const* table = scriptFunctionTables; *table; ++table)
        for (const luaL_Reg* r = *table; r->name; ++r)
            f.functions.push_back(r);
    ASSERT_GT(f.functions.size(), 50u);
    f.accepted.assign(f.functions.size(), 0);
    for (int i = 0; i < 16; ++i)
        f.names.push_back("o" + std::to_string(i));
    for (const char* n : {"fuzz", "touch", "frame_started", "new_game", "save_game", "load_game",
                          "missing", "", "nest", "speed", "wings", "man.mesh", "komar_nic.mesh", "slap",
                          "drink", "bank"})
        f.names.push_back(n);
    Ogre::StringVectorPtr resources =
        Ogre::ResourceGroupManager::getSingleton().findResourceNames("General", "*.mesh");
    std::vector<std::string> meshes(resources->begin(), resources->end());
    std::sort(meshes.begin(), meshes.end());
    for (const std::string& m : meshes)
        f.names.push_back(m);
    f.huge.assign(1 << 20, 'x');
    f.huge[1000] = '\0';
    lua_register(scriptState, "fuzz_calls", fuzzCalls);
    lua_register(scriptState, "fuzz_host", fuzzHost);
    ASSERT_EQ(luaL_loadstring(scriptState, kHostAttacks), 0) << lua_tostring(scriptState, -1);
    lua_createtable(scriptState, int(f.names.size()), 0);
    for (std::size_t i = 0; i < f.names.size(); ++i) {
        lua_pushlstring(scriptState, f.names[i].data(), f.names[i].size());
        lua_rawseti(scriptState, -2, int(i) + 1);
    }
    ASSERT_EQ(lua_pcall(scriptState, 1, 1, 0), 0) << lua_tostring(scriptState, -1);
    lua_setfield(scriptState, LUA_REGISTRYINDEX, "nb_fuzz_attacks");
    std::printf("script fuzz: %zu functions, seed %llu\n", f.functions.size(),
                static_cast<unsigned long long>(fuzzSeed));
    std::fflush(stdout);

    // The game's messages about refused calls go to a file, not the console;
    // a sanitizer's report still goes to the console.
    const int console = dup(2);
    const std::string chatter = (workDir() / "chatter.txt").string();
    const int quiet = open(chatter.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(quiet, 0);
    std::fflush(stderr);
    dup2(quiet, 2);
    close(quiet);
#ifdef NB_FUZZ_SANITIZER_REPORT_FD
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(console)));
#endif

    const auto start = std::chrono::steady_clock::now();
    long rounds = 0, frames = 0;
    HotKeyClock clock;
    clock.wallSeconds = 1700000000;
    for (;; ++rounds) {
        if (fuzzRounds >= 0 ? rounds >= fuzzRounds
                            : (rounds % 16 == 0 &&
                               std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                                       .count() >= fuzzSeconds))
            break;
        runScript("fuzz", nullptr);
        const int n = 1 + f.random.below(3);
        for (int i = 0; i < n; ++i, ++frames) {
            FrameInput input;
            input.player.hasKeyboard = f.random.chance(95);
            input.player.hasMouse = f.random.chance(95);
            input.player.keys.level = static_cast<float>(f.random.below(9) * f.random.unit());
            input.player.keys.f1 = f.random.chance(3);
            input.player.keys.f2 = f.random.chance(3);
            input.player.keys.space = f.random.chance(5);
            input.player.mouse.width = 1 + f.random.below(3000);
            input.player.mouse.height = 1 + f.random.below(2000);
            input.player.mouse.x = f.random.below(input.player.mouse.width + 200) - 100;
            input.player.mouse.y = f.random.below(input.player.mouse.height + 200) - 100;
            input.player.mouse.rightButton = f.random.chance(10);
            input.newGame = f.random.chance(1);
            input.saveGame = f.random.chance(1);
            input.loadGame = f.random.chance(1);
            input.body = f.random.below(8) - 3;
            clock.wallSeconds += f.random.chance(5) ? f.random.below(7) - 3 : 0;
            clock.steadySeconds += 0.25;
            input.clock = clock;
            static const double steps[] = {0, 1.0 / 60, 1.0 / 30, 0.1, 0.5, 2.0};
            gameFrame(static_cast<float>(steps[f.random.below(6)]), input);
            // The nodes' world boxes, as drawing the frame computes them:
            // the engine's box code asserts on what no longer fits a float.
            sceneManager->getRootSceneNode()->_update(true, false);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::fflush(stderr);
    dup2(console, 2);
    close(console);
#ifdef NB_FUZZ_SANITIZER_REPORT_FD
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(2)));
#endif
    long chatterLines = 0;
    std::string firstLine;
    {
        std::ifstream in(chatter);
        for (std::string line; std::getline(in, line); ++chatterLines)
            if (firstLine.empty())
                firstLine = line;
    }
    std::printf("script fuzz: %ld calls (%ld refused), %ld attacks on the host and %ld frames "
                "in %.1f s: %.0f calls/s; %ld lines of messages, the first: %s\n",
                f.calls, f.errors, f.attacks, frames, seconds, f.calls / seconds, chatterLines,
                firstLine.c_str());
    // A function that never once got through reached none of its own code.
    std::string neverAccepted;
    for (std::size_t i = 0; i < f.functions.size(); ++i)
        if (f.accepted[i] == 0)
            neverAccepted += std::string(" ") + f.functions[i]->name;
    if (!neverAccepted.empty())
        std::printf("script fuzz: never accepted:%s\n", neverAccepted.c_str());
    fuzzer = nullptr;
    // The attacks' state goes: globals without a metatable, the usual
    // collector, and the finalizers still waiting run now, under the limits.
    lua_pushnil(scriptState);
    lua_setmetatable(scriptState, LUA_GLOBALSINDEX);
    lua_gc(scriptState, LUA_GCRESTART, 0);
    lua_gc(scriptState, LUA_GCSETPAUSE, 200);
    lua_gc(scriptState, LUA_GCSETSTEPMUL, 200);
    lua_pushnil(scriptState);
    lua_setfield(scriptState, LUA_REGISTRYINDEX, "nb_fuzz_attacks");
    // A finalizer stopped at the time limit stops the collection with it; the
    // next one goes on where it stopped, until one finds nothing to say.
    addScript("collect", "collectgarbage('collect')");
    bool collected = false;
    for (int i = 0; i < 1000 && !collected; ++i)
        collected = captureStderr([] { runScript("collect", nullptr); }).empty();
    EXPECT_TRUE(collected) << "finalizers were still due";
    setScriptTimeLimit(seconds0);
    setScriptMemoryLimit(bytes0);

    // Whatever the run left in the player's state, the game's own save
    // writes what its load reads back: saved, loaded and saved again, the
    // file is the same, and nothing is refused on the way.
    for (const char* script : {"save_game", "load_game"}) {
        std::ifstream in(std::string(NB_SOURCE_DIR "/content/Scripts/") + script + ".lua");
        addScript(std::string("game_") + script,
                  std::string(std::istreambuf_iterator<char>(in), {}));
    }
    const std::filesystem::path saved = workDir() / "Resources" / "fuzzed.sav";
    auto save = [&] {
        const std::string said =
            captureStderr([] { runScript("game_save_game", "file", "fuzzed", nullptr); });
        EXPECT_EQ(said.find("Not saved"), std::string::npos) << said;
        std::ifstream in(saved, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string first = save();
    EXPECT_NE(first, "");
    EXPECT_EQ(captureStderr([] { runScript("game_load_game", "file", "fuzzed", nullptr); }), "");
    EXPECT_EQ(save(), first);
    // A run that called nothing, or where nothing was ever accepted, tested
    // nothing.
    EXPECT_GT(f.calls, 0);
    EXPECT_LT(f.errors, f.calls);
    // The host is still usable after all that.
    EXPECT_EQ(show("1 + 1"), "2");
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds"))
            fuzzSeconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed"))
            fuzzSeed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--rounds"))
            fuzzRounds = std::atol(argv[i + 1]);
    }
    return RUN_ALL_TESTS();
}
