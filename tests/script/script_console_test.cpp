// Lines typed into the console, run in the game's Lua state: what each
// answers, that print comes back to the scripts afterwards, and that the
// limits of every event hold.
#include "script/script_console.h"
#include "script/script_limits.h"
#include "support/headless.h"

#include <string>
#include <vector>

namespace {

class ScriptConsoleTest : public nbtest::HeadlessTest {};

// "R:text" result, "P:text" printed, "E:text" error, joined by " | ".
std::string answer(const std::string& line) {
    std::string out;
    for (const ConsoleOutput& o : runConsoleLine(line.data(), line.size()))
        out += std::string(out.empty() ? "" : " | ") + "PRE"[int(o.kind)] + ":" + o.text;
    return out;
}

TEST_F(ScriptConsoleTest, LinesAnswerAsTheInterpreterDoes) {
    startScripts();
    ASSERT_EQ(run("x = 41 saved_print = print"), "");
    const struct {
        const char* line;
        std::string answer;
    } cases[] = {
        {"=x + 1", "R:42"},
        {"x + 1", "R:42"},
        {"=1, 'a', nil", "R:1\ta\tnil"},
        {"y = x", ""},
        {"=y", "R:41"},
        {"print('p', 2) return 3", "P:p\t2 | R:3"},
        {"=)", "E:console:1: unexpected symbol near ')'"},
        {"nosuch()", "E:console:1: attempt to call global 'nosuch' (a nil value)"},
        {"error({})", "E:(error object is not a string)"},
        {"=setmetatable({}, {__tostring = function() error('t', 0) end})", "E:t"},
        {"s = string.rep('x', 1e9)", "E:not enough memory"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answer(c.line), c.answer) << c.line;
    // A line's print does not outlive it: the scripts get their own back.
    EXPECT_EQ(show("print == saved_print"), "true");
}

TEST_F(ScriptConsoleTest, AnEndlessLineIsStoppedAndTheGameGoesOn) {
    startScripts({{"frame_started", "frames = (frames or 0) + 1"}});
    const double before = scriptTimeLimit();
    setScriptTimeLimit(0.5);
    EXPECT_EQ(answer("while true do end"),
              "E:console:1: script stopped: it ran longer than the time limit of 0.5 seconds");
    setScriptTimeLimit(before);
    EXPECT_EQ(run("frames = 1"), "");
    EXPECT_EQ(answer("=frames"), "R:1");
}

} // namespace
