// The script errors kept for the display: what a run of errors and of game
// time leaves in the sink.
#include "script/script_errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Note EVENT MESSAGE, let SECONDS of game time pass, or forget EVENT.
struct Step {
    enum { Note, Pass, Forget } op;
    std::string event, message = {};
    double seconds = 0;
};

Step note(std::string event, std::string message) {
    return {Step::Note, event, message};
}
Step pass(double seconds) {
    return {Step::Pass, "", "", seconds};
}
Step forget(std::string event) {
    return {Step::Forget, event};
}

// "event:line:message xcount" for each entry, oldest first.
std::string describe(const ScriptErrorSink& sink) {
    std::string out;
    for (const ScriptErrorSink::Entry& e : sink.entries())
        out += (out.empty() ? "" : " | ") + e.event + ":" + std::to_string(e.line) + ":" +
               e.message + " x" + std::to_string(e.count);
    return out;
}

struct Case {
    const char* what;
    std::vector<Step> steps;
    std::string kept;
};

const std::string kSyntax = "[string \"line\"]:12: unexpected symbol near '='";

TEST(ScriptErrors, KeepsCountsAndForgets) {
    const std::vector<Case> cases = {
        {"the chunk's name and line are split off",
         {note("a", kSyntax)},
         "a:12:unexpected symbol near '=' x1"},
        {"other messages keep their text, line 0",
         {note("a", "script not found")},
         "a:0:script not found x1"},
        {"a half chunk prefix is no line",
         {note("a", "[string \"line\"]:x: y")},
         "a:0:[string \"line\"]:x: y x1"},
        {"the same error counts up",
         {note("a", kSyntax), note("a", kSyntax), note("a", kSyntax)},
         "a:12:unexpected symbol near '=' x3"},
        {"another script's same message is its own",
         {note("a", kSyntax), note("b", kSyntax), note("a", kSyntax)},
         "a:12:unexpected symbol near '=' x2 | b:12:unexpected symbol near '=' x1"},
        {"ten seconds of game time and it goes", {note("a", "m"), pass(9.9), pass(0.1)}, ""},
        {"a repeat keeps it for ten more",
         {note("a", "m"), pass(9), note("a", "m"), pass(9)},
         "a:0:m x2"},
        {"at most four; the oldest goes",
         {note("a", "1"), note("a", "2"), note("a", "3"), note("a", "4"), note("a", "5")},
         "a:0:2 x1 | a:0:3 x1 | a:0:4 x1 | a:0:5 x1"},
        {"a replaced script's errors go",
         {note("a", "1"), note("b", "2"), forget("a")},
         "b:0:2 x1"},
        {"bytes after a zero byte count",
         {note("a", std::string("x\0y", 3))},
         std::string("a:0:x\0y x1", 10)},
    };
    for (const Case& c : cases) {
        ScriptErrorSink sink;
        unsigned version = sink.version();
        for (const Step& s : c.steps) {
            if (s.op == Step::Note)
                sink.note(s.event.c_str(), s.message.data(), s.message.size());
            else if (s.op == Step::Pass)
                sink.advance(s.seconds);
            else
                sink.forget(s.event);
        }
        EXPECT_EQ(describe(sink), c.kept) << c.what;
        EXPECT_NE(sink.version(), version) << c.what << ": the display would not redraw";
    }
}

} // namespace
