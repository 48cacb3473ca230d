// Scripts that would hang or kill the game: endless loops, patterns that
// backtrack for ever or recurse off the C stack, runaway memory. Each ends as
// one script error and the next event runs as usual.
#include "script/lua_patterns.h"
#include "script/script_host.h"
#include "script/script_limits.h"
#include "support/headless.h"
#include "util/globals.h"

#include <lua.hpp>

#include <chrono>
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

class ScriptLimitsTest : public nbtest::HeadlessTest {
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
        EXPECT_LT(seconds, 5.0) << name;
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
        std::string errors;
        const double seconds = secondsOf(name, errors);
        EXPECT_EQ(errors, "error running script " + std::string(name) + ": " + kStopped) << name;
        EXPECT_LT(seconds, 5.0) << name;
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
    Limits limits(kDefaultScriptSeconds, std::size_t(32) << 20);
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

} // namespace
