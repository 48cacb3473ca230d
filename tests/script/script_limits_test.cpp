// Scripts that would hang or kill the game: endless loops, patterns that
// backtrack for ever or recurse off the C stack, runaway memory, finalizers
// and metatables that strike inside the host's own work. Each ends as one
// script error and the next event runs as usual.
#include "player/game_fixture.h"
#include "script/lua_patterns.h"
#include "script/script_api.h"
#include "script/script_host.h"
#include "script/script_limits.h"
#include "util/globals.h"
#include "world/triggers.h"
#include "world/world_objects.h"

#include <lua.hpp>

#include <chrono>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Sets the limits for one test and puts the previous ones back.
class Limits {
public:
    Limits(double seconds, std::size_t bytes)
        : seconds_(scriptTimeLimit()), bytes_(scriptMemoryLimit()) {
        setScriptTimeLimit(seconds);
        setScriptMemoryLimit(bytes);
    }
    ~Limits() {
        setScriptTimeLimit(seconds_);
        setScriptMemoryLimit(bytes_);
    }

private:
    double seconds_;
    std::size_t bytes_;
};

// With the player (for its powerups) and the people.
class ScriptLimitsTest : public nbtest::GameTest {
protected:
    // The global __cases of L, zero bytes and all.
    static std::string text(lua_State* L) {
        lua_getglobal(L, "__cases");
        std::size_t length = 0;
        const char* bytes = lua_tolstring(L, -1, &length);
        std::string result(bytes ? bytes : "", bytes ? length : 0);
        lua_pop(L, 1);
        return result;
    }
    std::string raise(const char* name) {
        return captureStderr([&] { runScript(name, nullptr); });
    }
    double secondsOf(const char* name, std::string& errors) {
        const auto start = Clock::now();
        errors = raise(name);
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
};

const std::string kStopped = "[string \"line\"]:1: script stopped: it ran longer than the time "
                             "limit of 0.5 seconds\n";

TEST_F(ScriptLimitsTest, EndlessLoopsAreStoppedEvenInsidePcallAndTheGameGoesOn) {
    Limits limits(0.5, kDefaultScriptBytes);
    startScripts({
        {"loop", "while true do end"},
        // pcall and xpcall catch one error each; the next instruction raises again.
        {"caught", "while true do pcall(function() while true do end end) "
                   "xpcall(function() while true do end end, function() while true do end end) "
                   "end"},
        {"in_coroutine", "error(select(2, coroutine.resume(coroutine.create(function() "
                         "while true do end end))), 0)"},
        // An event raised from inside another shares its clock.
        {"outer", "raise_inner() while true do end"},
        {"inner", "inner_ran = true"},
        {"frame_started", "frames = (frames or 0) + 1"},
    });
    lua_register(scriptState, "raise_inner", [](lua_State*) {
        runScript("inner", nullptr);
        return 0;
    });
    for (const char* name : {"loop", "caught", "in_coroutine", "outer"}) {
        std::string errors;
        const double seconds = secondsOf(name, errors);
        EXPECT_EQ(errors, "error running script " + std::string(name) + ": " + kStopped) << name;
        EXPECT_GE(seconds, 0.5) << name;
        EXPECT_EQ(raise("frame_started"), "") << "after " << name;
    }
    EXPECT_EQ(show("frames"), "4");
    EXPECT_EQ(show("inner_ran"), "true");
}

TEST_F(ScriptLimitsTest, PathologicalPatternsEndWithAScriptError) {
    Limits limits(0.5, kDefaultScriptBytes);
    startScripts({
        {"backtracks", "string.find(string.rep('a', 40), string.rep('a*', 20) .. 'b')"},
        {"backtracks_gsub", "local s = string.rep('a', 40) s:gsub(string.rep('a-', 20) .. 'b', '')"},
        {"deep", "deep = {pcall(string.find, string.rep('a', 120000), string.rep('a?', 120000))}\n"
                 "for _ in string.gmatch(string.rep('a', 120000), string.rep('(a?)', 30) .. "
                 "string.rep('a?', 120000)) do end"},
    });
    for (const char* name : {"backtracks", "backtracks_gsub"}) {
        const std::string errors = raise(name);
        EXPECT_EQ(errors, "error running script " + std::string(name) + ": " + kStopped) << name;
    }
    EXPECT_EQ(raise("deep"), "error running script deep: [string \"line\"]:2: pattern too complex\n");
    EXPECT_EQ(show("deep"), "{false, \"pattern too complex\"}");
}

// The four functions give what the stock library gives, errors included: the
// same cases run in the host's state and in a plain state with Lua's own
// library.
TEST_F(ScriptLimitsTest, OrdinaryPatternsMatchAsTheStockLibraryDoes) {
    const std::string cases = R"lua(
local cases = {
  {"hello world", "o w"}, {"hello world", "(h)(e)(l+)"}, {"hello", "()ll()"},
  {"  trim me  ", "^%s*(.-)%s*$"}, {"key = value", "(%w+)%s*=%s*(%w+)"},
  {"THE (quick) fox", "%((%a+)%)"}, {"f(a(b)c)d", "%b()"}, {"THE (quick) fox", "%f[%a]%a+"},
  {"abc1", "[^%a]"}, {"a.b.c", "%."}, {"a+b", "a+b", 1, true}, {"a+b", "+", 1},
  {"hello", "l+"}, {"hello", "l-o"}, {"hello", "x*"}, {"", ""}, {"abc", "", 10},
  {"abc", "b", -1}, {"abc", "b", -10}, {"abcabc", "b", 3}, {"x = 10, y = 20", "(%a)%s*=%s*(%d+)"},
  {"aaa", "a-b"}, {"hello hello", "(h%a+) %1"}, {"2024-01-02", "(%d+)-(%d+)-(%d+)"},
  {"abc$", "c$"}, {"a$c", "$c"}, {"^abc", "^^a"}, {"[x]", "[]]"}, {"a-z", "[a%-z]+"},
  {"caf\195\169", "[\128-\255]+"}, {"one two  three", "%S+"}, {"abc", ".-b"}, {"aXbY", "%u"},
  {"a\0b", "%z"}, {"a\0b", "a%zb"}, {"x", "[%a_][%w_]*"}, {"0x1F", "^0[xX](%x+)$"},
  {"aaa", "^a"}, {"aaa", "a?a?a?a?"}, {"abab", "(ab)*"}, {"The Cat", "%l+"}, {"tab\there", "%c"},
  {"p.u,n!", "%p"}, {"  ", "%s+"}, {"1e10", "^%d+[eE]%d+$"}, {"abc", "((a)(b))"},
  {"abc", "%"}, {"abc", "[a"}, {"abc", "(a"}, {"abc", "a)"}, {"abc", "%1"}, {"abc", "%b"},
  {"abc", "%fa"}, {"abc", "(()"}, {"aaa", "(a)(a)(a)%4"},
}
local function ser(...)
  local t = {}
  for i = 1, select("#", ...) do
    local v = select(i, ...)
    t[#t + 1] = type(v) .. ":" .. tostring(v)
  end
  return table.concat(t, ",")
end
local out = {}
for _, c in ipairs(cases) do
  local s, p, init, plain = c[1], c[2], c[3], c[4]
  out[#out + 1] = ser(pcall(string.find, s, p, init, plain))
  out[#out + 1] = ser(pcall(string.match, s, p, init))
  out[#out + 1] = ser(pcall(function()
    local r = {}
    for a, b in string.gmatch(s, p) do r[#r + 1] = tostring(a) .. "|" .. tostring(b) end
    return table.concat(r, ";")
  end))
  out[#out + 1] = ser(pcall(string.gsub, s, p, "<%0%1>"))
  out[#out + 1] = ser(pcall(string.gsub, s, p, "[%%]", 1))
  out[#out + 1] = ser(pcall(string.gsub, s, p, function(a) return a and a:upper() end))
  out[#out + 1] = ser(pcall(string.gsub, s, p, {a = "A", hello = false}))
  out[#out + 1] = ser(pcall(string.gsub, s, p, {a = {}}))
  out[#out + 1] = ser(pcall(string.gsub, s, p, true))
end
__cases = table.concat(out, "\n")
)lua";
    addScript("cases", cases);
    ASSERT_EQ(raise("cases"), "");
    const std::string ours = text(scriptState);

    lua_State* stock = luaL_newstate();
    luaL_openlibs(stock);
    ASSERT_EQ(luaL_loadbuffer(stock, cases.data(), cases.size(), "line"), 0);
    ASSERT_EQ(lua_pcall(stock, 0, 0, 0), 0) << lua_tostring(stock, -1);
    const std::string theirs = text(stock);
    lua_close(stock);

    EXPECT_GT(theirs.size(), 5000u);
    EXPECT_EQ(ours, theirs);
}

TEST_F(ScriptLimitsTest, RunawayMemoryIsAScriptErrorUnderTheCap) {
    // Only the memory limit may end these, however slow the machine.
    Limits limits(kMaxScriptSeconds, std::size_t(32) << 20);
    startScripts({
        {"hoard", "local hoard = {} for i = 1, 1e8 do hoard[i] = {i} end"},
        // Caught by pcall: the garbage stays until the host collects it.
        {"caught", "caught = false caught = select(2, pcall(function() local t = {} "
                   "while true do t[#t + 1] = string.rep('x', 1000) .. #t end end))"},
        {"frame_started", "frames = (frames or 0) + 1; text = string.rep('y', 1e6)"},
    });
    EXPECT_EQ(raise("hoard"), "error running script hoard: not enough memory\n");
    EXPECT_EQ(raise("frame_started"), "") << "the failed script's table is garbage";
    EXPECT_LE(scriptMemoryInUse(), scriptMemoryLimit());
    // A script that keeps what it got holds on to it; only new growth fails.
    EXPECT_EQ(raise("caught"), "");
    EXPECT_EQ(show("caught"), "\"not enough memory\"");
    EXPECT_EQ(raise("frame_started"), "");
    EXPECT_EQ(show("frames"), "2");
}

// A module runs inside the event that requires it: it shares the event's
// clock and the scripts' memory, and a module stopped by either is not kept.
TEST_F(ScriptLimitsTest, ModulesRunUnderTheLimitsOfTheRequiringEvent) {
    startScripts({{"endless", "while true do end"},
                  {"hoard", "local hoard = {} for i = 1, 1e8 do hoard[i] = {i} end"},
                  {"uses_endless", "require 'endless'"},
                  {"uses_hoard", "require 'hoard'"}});
    const struct {
        const char* script;
        double seconds;
        std::size_t bytes;
        std::string errors;
    } cases[] = {
        {"uses_endless", 0.5, kDefaultScriptBytes,
         "error running script uses_endless: Resources/Scripts/endless.lua:1: "
         "script stopped: it ran longer than the time limit of 0.5 seconds\n"},
        // Time enough that only the memory can stop it, even on a loaded machine.
        {"uses_hoard", 600, std::size_t(32) << 20,
         "error running script uses_hoard: not enough memory\n"},
    };
    for (int round = 0; round < 2; ++round)
        for (const auto& c : cases) {
            Limits limits(c.seconds, c.bytes);
            EXPECT_EQ(raise(c.script), c.errors) << c.script << ", round " << round;
        }
}

// Finalizers, metatables and the collector reach the host's own work (args,
// the chunk, the collection after a refused allocation) and the script
// functions' own; none of it may end the game, and a finalizer that destroys
// what a function is reading must not leave it reading freed memory (the
// sanitized build checks that). After each row another event must run, with
// its args.
TEST_F(ScriptLimitsTest, FinalizersAndMetatablesNeverEndTheGame) {
    Limits limits(kMaxScriptSeconds, std::size_t(16) << 20);
    startScripts({
        {"after", "assert(type(args) == 'table') game.after = (game.after or 0) + 1\n"
                  "collectgarbage('restart') collectgarbage('setpause', 200) "
                  "collectgarbage('setstepmul', 200)"},
        // The collector at every step, doing a whole cycle each time.
        {"helpers", "function gc_every_step() collectgarbage('setpause', 1) "
                    "collectgarbage('setstepmul', 2^28) collectgarbage('collect') end\n"
                    // f runs at the collector's next step, or the step after.
                    "function at_next_step(f, later) local p = newproxy(true) "
                    "getmetatable(p).__gc = later and function() at_next_step(f) end or f end"},
    });
    lua_State* L = scriptState;
    static const luaL_Reg failing[] = {
        {"throws_bad_alloc", [](lua_State*) -> int { throw std::bad_alloc(); }},
        {"throws_runtime_error", [](lua_State*) -> int { throw std::runtime_error("it broke"); }},
    };
    for (const luaL_Reg& entry : failing) {
        pushScriptFunction(L, &entry);
        lua_setglobal(L, entry.name);
    }
    ASSERT_EQ(raise("helpers"), "");
    const std::string where = "[string \"line\"]:1: ";
    struct Row {
        const char* name;
        std::string script;
        std::string said;       // by the event itself
        std::string afterwards; // by the next event
        const char* check = "true";
        const char* checked = "true";
    };
    const Row rows[] = {
        {"finalizer_raises",
         "local p = newproxy(true) getmetatable(p).__gc = function() error('finalizer boom') end "
         "p = nil pcall(function() local t = {} for i = 1, 1e8 do t[i] = i end end)",
         "error running script finalizer_raises: " + where + "finalizer boom\n", ""},
        {"strict",
         "args = nil setmetatable(_G, {__newindex = function(t, k) "
         "error('undeclared global ' .. tostring(k)) end})",
         "", ""},
        {"undeclared", "never_declared = 1",
         "error running script undeclared: " + where + "undeclared global never_declared\n", ""},
        {"lenient", "setmetatable(_G, nil)", "", ""},
        {"kept_in_args",
         "collectgarbage('setpause', 1) collectgarbage('setstepmul', 2^28) "
         "collectgarbage('collect') "
         "local p = newproxy(true) getmetatable(p).__gc = function() error('boom') end args.keep = "
         "p",
         "", "error running script after: " + where + "boom\n"},
        {"read_trigger_script",
         "create_trigger('t', 0, 0, 0, 1, 1, 1, 'the_script') gc_every_step() "
         "at_next_step(function() destroy_trigger('t') end) read = get_trigger_script('t')",
         "", "", "{read, trigger_exists('t')}", "{\"the_script\", false}"},
        {"read_mesh",
         "create_world_object('w', 'box.mesh') gc_every_step() "
         "at_next_step(function() destroy_world_object('w') end) read = get_world_object_mesh('w')",
         "", "", "{read, get_all_world_objects()}", "{\"box.mesh\", {}}"},
        {"list_triggers",
         "create_trigger('t', 0, 0, 0, 1, 1, 1, 's') gc_every_step() "
         "at_next_step(function() destroy_trigger('t') end, true) read = get_all_triggers()",
         "", "", "{read, trigger_exists('t')}", "{{\"t\"}, false}"},
        {"list_objects",
         "create_world_object('w', 'box.mesh') gc_every_step() "
         "at_next_step(function() destroy_world_object('w') end, true) read = "
         "get_all_world_objects()",
         "", "", "{read, get_all_world_objects()}", "{{\"w\"}, {}}"},
        {"list_powerups",
         "register_player_powerup('wings') gc_every_step() "
         "at_next_step(function() unregister_player_powerup('wings') end, true) "
         "read = get_player_powerups()",
         "", "", "{read, get_player_powerups()}", "{{\"wings\"}, {}}"},
        {"long_name", "create_trigger(string.rep('n', 1025), 0, 0, 0, 1, 1, 1, 's')",
         "error running script long_name: " + where +
             "bad argument #1 to 'create_trigger' (name longer than 1024 bytes)\n",
         "", "#get_all_triggers()", "0"},
        {"longest_name", "create_world_object(string.rep('n', 1024), 'box.mesh')", "", "",
         "#get_all_world_objects()[1]", "1024"},
        {"cpp_out_of_memory", "throws_bad_alloc()",
         "error running script cpp_out_of_memory: not enough memory\n", ""},
        {"cpp_exception", "throws_runtime_error()",
         "error running script cpp_exception: it broke\n", ""},
        {"zero_in_a_name", "play_sound('slap\\0x')",
         "error running script zero_in_a_name: " + where +
             "Invalid sound (slap\\0x) specified for play_sound\n",
         ""},
    };
    int afterRuns = 0;
    for (const Row& row : rows) {
        addScript(row.name, row.script);
        EXPECT_EQ(raise(row.name), row.said) << row.name;
        EXPECT_EQ(raise("after"), row.afterwards) << "after " << row.name;
        EXPECT_EQ(show("game.after"), std::to_string(++afterRuns)) << "after " << row.name;
        EXPECT_EQ(show(row.check), row.checked) << row.name;
        destroyAllWorldObjects();
        clearTriggers();
    }
}

// A finalizer runs with Lua's hooks off; it is still stopped at the time
// limit, in a script and in the collection that follows a refused
// allocation (which once hung the game for good). Nothing here has to finish
// before the limit: the only work of each event is the loop the limit stops.
TEST_F(ScriptLimitsTest, FinalizersThatLoopAreStoppedAtTheTimeLimit) {
    Limits limits(0.5, kDefaultScriptBytes);
    startScripts({
        {"loop_in_script", "local p = newproxy(true) getmetatable(p).__gc = function() while "
                           "true do end end p = nil collectgarbage()"},
        // Garbage that waits for a collection: the collector is stopped.
        {"arm", "collectgarbage('stop') ballast = string.rep('x', 2^21) "
                "local p = newproxy(true) getmetatable(p).__gc = function() while true do end end"},
        {"starve", "local t = {}"},
        {"frame_started", "collectgarbage('restart') frames = (frames or 0) + 1"},
    });
    EXPECT_EQ(raise("loop_in_script"), "error running script loop_in_script: " + kStopped);
    EXPECT_EQ(raise("frame_started"), "");

    EXPECT_EQ(raise("arm"), "");
    // Less than the scripts already hold: the first allocation of "starve"
    // is refused, and the host's collection meets the finalizer.
    setScriptMemoryLimit(kMinScriptBytes);
    EXPECT_EQ(raise("starve"), "error running script starve: not enough memory\n"
                               "error running script starve: " +
                                   kStopped);
    setScriptMemoryLimit(kDefaultScriptBytes);
    EXPECT_EQ(raise("frame_started"), "");
    EXPECT_EQ(show("frames"), "2");
}

// The limits from the environment: out of range is brought into range with a
// line, not a number is ignored with a line. A huge time limit once
// overflowed the clock and stopped every event at once.
TEST_F(ScriptLimitsTest, LimitsFromTheEnvironmentAreBroughtIntoRange) {
    Limits limits(kDefaultScriptSeconds, kDefaultScriptBytes);
    startScripts({{"frame_started", "frames = (frames or 0) + 1"}});
    struct Row {
        const char* seconds;
        const char* megabytes;
        double limit;
        std::size_t bytes;
        std::string said;
    };
    const std::string seconds = "NIGHTBITE_SCRIPT_SECONDS=",
                      megabytes = "NIGHTBITE_SCRIPT_MEGABYTES=";
    const Row rows[] = {
        {"1e10", "0", kMaxScriptSeconds, kMinScriptBytes,
         seconds + "1e10 is out of range (0.01 to 3600 seconds); the limit is 3600 seconds\n" +
             megabytes + "0 is out of range (1 to 65536); the limit is 1 megabytes\n"},
        {"0.25", "99999999999999999999999", 0.25, kMaxScriptMemoryBytes,
         megabytes + "99999999999999999999999 is out of range (1 to 65536); the limit is 65536 "
                     "megabytes\n"},
        {"-3", "12", kMinScriptSeconds, std::size_t(12) << 20,
         seconds + "-3 is out of range (0.01 to 3600 seconds); the limit is 0.01 seconds\n"},
        {"nan", "-5", kMinScriptSeconds, std::size_t(12) << 20,
         "Ignored " + seconds + "nan: a number of seconds expected\n" + "Ignored " + megabytes +
             "-5: a whole number of megabytes expected\n"},
        {"7", "64", 7, std::size_t(64) << 20, ""},
    };
    for (const Row& row : rows) {
        setenv(kScriptSecondsVariable, row.seconds, 1);
        setenv(kScriptMegabytesVariable, row.megabytes, 1);
        EXPECT_EQ(captureStderr([] { applyScriptLimitsFromEnvironment(); }), row.said)
            << row.seconds;
        EXPECT_EQ(scriptTimeLimit(), row.limit) << row.seconds;
        EXPECT_EQ(scriptMemoryLimit(), row.bytes) << row.megabytes;
        EXPECT_EQ(raise("frame_started"), "") << row.seconds;
    }
    unsetenv(kScriptSecondsVariable);
    unsetenv(kScriptMegabytesVariable);
    EXPECT_EQ(show("frames"), "5");
}

} // namespace
