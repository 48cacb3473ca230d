// The script host through a real Lua state: loading the script folder,
// compiling once, args, the three error messages, and a bounded stack.
#include "script/script_host.h"
#include "script/script_require.h"
#include "script/script_watch.h"
#include "support/headless.h"
#include "util/globals.h"

#include <lua.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

class ScriptHostTest : public nbtest::HeadlessTest {
protected:
    // The value of global name, described.
    std::string global(const char* name) {
        lua_getglobal(scriptState, name);
        std::string text = nbtest::describeLuaValue(scriptState, -1);
        lua_pop(scriptState, 1);
        return text;
    }
    std::string raise(const char* name) {
        return captureStderr([&] { runScript(name, nullptr); });
    }
};

// Runs fn with standard error sent to /dev/null (for very many messages).
template <class Fn> void quietly(Fn&& fn) {
    std::fflush(stderr);
    int saved = dup(2);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    fn();
    std::fflush(stderr);
    dup2(saved, 2);
    close(null);
    close(saved);
}

TEST_F(ScriptHostTest, RegistersOnlyFilesEndingInDotLua) {
    startScripts({{"a", "ran = 'a'"}, {"", "ran = 'dot'"}});
    // b.txt and X.LUA sit beside them; only "a" counts.
    std::FILE* f = std::fopen("Resources/Scripts/b.txt", "w");
    std::fclose(f);
    f = std::fopen("Resources/Scripts/X.LUA", "w");
    std::fclose(f);
    std::filesystem::create_directory("Resources/Scripts/folder.lua");
    shutdownScriptHost();
    initScriptHost();
    EXPECT_EQ(scriptCount(), 1);
    EXPECT_EQ(raise("a"), "");
    EXPECT_EQ(global("ran"), "\"a\"");
    EXPECT_EQ(raise(""), "Couldn't execute script : script not found\n");
    EXPECT_EQ(raise("X"), "Couldn't execute script X: script not found\n");
    EXPECT_EQ(raise("folder"), "Couldn't execute script folder: script not found\n");
}

TEST_F(ScriptHostTest, StandardLibrariesFunctionsAndGameTable) {
    startScripts();
    EXPECT_EQ(show("type(debug)"), "\"nil\"");
    EXPECT_EQ(show("type(package)"), "\"nil\"");
    for (const char* lib : {"coroutine", "table", "io", "os", "string", "math"})
        EXPECT_EQ(show(std::string("type(") + lib + ")"), "\"table\"") << lib;
    EXPECT_EQ(show("next(game)"), "nil");
    EXPECT_EQ(show("type(game)"), "\"table\"");
    EXPECT_EQ(show("type(get_time_since_last_frame)"), "\"function\"");
}

TEST_F(ScriptHostTest, TheThreeMessagesWordForWord) {
    startScripts({{"broken", "x = = 1"}, {"fails", "error('boom')"}});
    EXPECT_EQ(raise("missing"), "Couldn't execute script missing: script not found\n");
    EXPECT_EQ(raise("broken"), "Couldn't execute script broken: script compilation error: "
                               "[string \"line\"]:1: unexpected symbol near '='\n");
    EXPECT_EQ(raise("fails"), "error running script fails: [string \"line\"]:1: boom\n");
}

TEST_F(ScriptHostTest, CompiledOnceAndRetriedUntilItCompiles) {
    startScripts({{"count", "runs = (runs or 0) + 1"}, {"broken", "x = = 1"}});
    EXPECT_FALSE(scriptIsCompiled("count"));
    raise("count");
    EXPECT_TRUE(scriptIsCompiled("count"));
    raise("count");
    EXPECT_EQ(global("runs"), "2");
    // A failed compile is tried, and reported, on every run.
    EXPECT_NE(raise("broken"), "");
    EXPECT_NE(raise("broken"), "");
    EXPECT_FALSE(scriptIsCompiled("broken"));
}

TEST_F(ScriptHostTest, ArgsAreFreshForEveryRunEvenWhenCompilingFails) {
    startScripts({{"trigger_script", "seen = args.trigger"},
                  {"save_game", "file, trigger = args.file, args.trigger"},
                  {"broken", "x = = 1"}});
    runScript("trigger_script", "trigger", "T1", nullptr);
    EXPECT_EQ(global("seen"), "\"T1\"");
    runScript("save_game", "file", "test", nullptr);
    EXPECT_EQ(global("file"), "\"test\"");
    EXPECT_EQ(global("trigger"), "nil");
    // A later pair of the same key overwrites an earlier one.
    runScript("save_game", "file", "a", "file", "b", nullptr);
    EXPECT_EQ(global("file"), "\"b\"");
    captureStderr([] { runScript("broken", "k", "v", nullptr); });
    EXPECT_EQ(show("args.k"), "nil") << "show() runs a script itself, so look directly:";
    // show() replaced args; check the failed run's table through a fresh run.
    captureStderr([] { runScript("broken", "k", "v", nullptr); });
    EXPECT_EQ(global("args"), "{k=\"v\"}");
    // A missing script leaves args alone.
    captureStderr([] { runScript("missing", "other", "x", nullptr); });
    EXPECT_EQ(global("args"), "{k=\"v\"}");
}

TEST_F(ScriptHostTest, GlobalsSetBeforeARunTimeErrorStay) {
    startScripts({{"half", "before = 1; error('stop'); after = 2"}});
    raise("half");
    EXPECT_EQ(global("before"), "1");
    EXPECT_EQ(global("after"), "nil");
}

TEST_F(ScriptHostTest, StackStaysAsItWasOverAMillionFailingFrames) {
    startScripts({{"frame_started", "error('every frame')"}, {"broken", "x = = 1"}});
    const int top = lua_gettop(scriptState);
    quietly([] {
        for (int i = 0; i < 1000000; ++i)
            runScript("frame_started", nullptr);
        for (int i = 0; i < 10000; ++i)
            runScript("broken", nullptr);
        for (int i = 0; i < 10000; ++i)
            runScript("missing", nullptr);
    });
    EXPECT_EQ(lua_gettop(scriptState), top);
}

TEST_F(ScriptHostTest, TimeSinceLastFrameIsTheStoredFrameTime) {
    startScripts({{"new_game", "t = get_time_since_last_frame(1, 2, 3)"}});
    raise("new_game");
    EXPECT_EQ(global("t"), "0");
    frameTime = 0.25;
    raise("new_game");
    EXPECT_EQ(global("t"), "0.25");
    EXPECT_EQ(countResults("get_time_since_last_frame()"), 1);
}

TEST_F(ScriptHostTest, OnlyTheFirstBlockOfALongFileIsRead) {
    // Exactly 131,072 bytes of script, then a line that must not be seen.
    std::string text = "x = 1\n--";
    text += std::string(kMaxScriptBytes - text.size() - 1, 'a');
    text += "\n";
    ASSERT_EQ(text.size(), kMaxScriptBytes);
    text += "y = 2\n";
    startScripts({{"long", text}});
    EXPECT_EQ(raise("long"), "");
    EXPECT_EQ(global("x"), "1");
    EXPECT_EQ(global("y"), "nil");
}

TEST_F(ScriptHostTest, EmptyBinaryAndNulBearingFilesCrashNothing) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += char(1 + (i * 7919) % 255); // no NUL: the whole block is read
    startScripts({{"empty", ""},
                  {"nul", std::string("x = 1\0y = 2", 11)},
                  {"binary", binary},
                  {"precompiled", std::string("\x1bLua\x51", 5)}});
    EXPECT_EQ(scriptCount(), 4);
    EXPECT_EQ(raise("empty"), "");
    // The text ends at the NUL byte.
    EXPECT_EQ(raise("nul"), "");
    EXPECT_EQ(global("x"), "1");
    EXPECT_EQ(global("y"), "nil");
    EXPECT_EQ(raise("binary").rfind("Couldn't execute script binary: script compilation error:", 0),
              0u);
    EXPECT_NE(raise("precompiled"), "");
}

TEST_F(ScriptHostTest, A513thScriptIsNotRegisteredAndNamed) {
    std::map<std::string, std::string> files;
    for (int i = 0; i < kScriptSlots + 1; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "s%03d", i);
        files[name] = std::string("last = '") + name + "'";
    }
    std::string errors = captureStderr([&] { startScripts(files); });
    EXPECT_EQ(scriptCount(), kScriptSlots);
    // Registration follows the sorted names, so the last one is left out.
    EXPECT_EQ(errors, "Script s512 not registered: the script table is full\n");
    EXPECT_EQ(raise("s511"), "");
    EXPECT_EQ(raise("s512"), "Couldn't execute script s512: script not found\n");
}

TEST_F(ScriptHostTest, ReRegisteringANameReplacesItsText) {
    startScripts({{"s", "v = 1"}});
    raise("s");
    registerScript("s", "v = 2", 5);
    raise("s");
    EXPECT_EQ(global("v"), "2");
    removeScript("s");
    EXPECT_EQ(raise("s"), "Couldn't execute script s: script not found\n");
}

TEST_F(ScriptHostTest, AScriptMayRemoveItselfWhileRunning) {
    startScripts({{"self", "remove_me = true; error('after')"}});
    lua_register(scriptState, "remove_self", [](lua_State*) {
        removeScript("self");
        return 0;
    });
    const std::string text = "remove_self(); error('after')";
    registerScript("self", text.c_str(), text.size());
    EXPECT_EQ(raise("self"), "error running script self: [string \"line\"]:1: after\n");
}

// require: a module of the script folder runs once and its result is kept; a
// failing or refused module is an error of the requiring script, and a
// module that failed is tried again at the next require.
TEST_F(ScriptHostTest, RequireRunsAModuleOnceAndKeepsItsResult) {
    std::string beyondTheLimit = "return 'head' --";
    beyondTheLimit += std::string(kMaxScriptBytes - beyondTheLimit.size(), 'a');
    beyondTheLimit += "\nerror('read past the limit')";
    startScripts({{"counter", "loads = (loads or 0) + 1 return {n = loads, name = ...}"},
                  {"plain", "plain_ran = true"},
                  {"falsy", "falsy_runs = (falsy_runs or 0) + 1 return false"},
                  {"loop_a", "return require 'loop_b'"},
                  {"loop_b", "return require 'loop_a'"},
                  {"broken", "x = = 1"},
                  {"once", "if not game.failed then game.failed = true error('first') end "
                           "return 'second'"},
                  {"long", beyondTheLimit},
                  {"a..b", "return 'dots'"}});
    const std::string error = "error: error running script __test: ";
    const std::string here = error + "[string \"line\"]:1: ";
    const std::string refused = "' refused: modules are the scripts of Resources/Scripts itself, "
                                "named without folders\n";
    const struct {
        std::string expression, shown;
    } cases[] = {
        {"require('counter').n", "1"},
        {"require('counter').n + loads", "2"},
        {"require('counter').name", "\"counter\""},
        {"require 'plain'", "true"},
        {"plain_ran", "true"},
        {"require('falsy') or falsy_runs", "1"},
        {"require('falsy') or falsy_runs", "2"},
        {"require 'long'", "\"head\""},
        {"require 'missing'",
         here + "module 'missing' not found: Resources/Scripts holds no script missing.lua\n"},
        {"require 'broken'", here + "error loading module 'broken': "
                                    "Resources/Scripts/broken.lua:1: unexpected symbol near '='\n"},
        {"require 'once'", error + "Resources/Scripts/once.lua:1: first\n"},
        {"require 'once'", "\"second\""},
        {"require 'loop_a'", error + "Resources/Scripts/loop_b.lua:1: loop of require calls: "
                                     "module 'loop_a' is still being loaded\n"},
        {"require 'loop_b'", error + "Resources/Scripts/loop_a.lua:1: loop of require calls: "
                                     "module 'loop_b' is still being loaded\n"},
        {"require 'a/b'", here + "module name 'a/b" + refused},
        {"require '../counter'", here + "module name '../counter" + refused},
        {"require 'a\\\\b'", here + "module name 'a\\b" + refused},
        {"require 'a..b'", here + "module name 'a..b' refused: it holds \"..\"\n"},
        {"require ''", here + "module name '' refused: it is empty\n"},
        {"require 'counter\\0'", here + "module name 'counter' refused: it holds a zero byte\n"},
        {"require()", here + "bad argument #1 to 'require' (string expected, got no value)\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(show(c.expression), c.shown) << c.expression;

    // A changed script runs afresh once its module is forgotten, not before,
    // as a script taken in while the game runs is; a removed one is gone.
    registerScript("counter", "return {n = 'new'}", 18);
    EXPECT_EQ(show("require('counter').n"), "1");
    const auto apply = [&](ScriptChangeKind kind, const char* text) {
        return captureStderr([&] { applyScriptChange({"counter", kind, text}); });
    };
    EXPECT_EQ(apply(ScriptChangeKind::Changed, "return {n = 'newer'}"),
              "Reloaded script counter\n");
    EXPECT_EQ(show("require('counter').n"), "\"newer\"");
    EXPECT_EQ(apply(ScriptChangeKind::Removed, ""), "Removed script counter\n");
    EXPECT_EQ(show("require 'counter'"),
              here + "module 'counter' not found: Resources/Scripts holds no script counter.lua\n");
}

TEST(ScriptHostBeforeStart, RaisingAnEventBeforeTheHostStartsReportsNotFound) {
    ::testing::internal::CaptureStderr();
    runScript("save_game", "file", "test", nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Couldn't execute script save_game: script not found\n");
}

} // namespace
