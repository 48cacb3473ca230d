// The console's line, history and answers, with a stand-in for the Lua
// state that echoes each line, so that what is typed is what is seen.
#include "app/console.h"

#include <OISKeyboard.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

class ConsoleTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nb_console_XXXXXX";
        folder = mkdtemp(pattern);
        path = folder + "/console_history";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // "ran: LINE" as a result; "error" lines fail, over two lines.
    static std::vector<ConsoleOutput> echo(const std::string& line) {
        if (line == "error")
            return {{ConsoleOutput::Kind::Error, "first\nsecond"}};
        return {{ConsoleOutput::Kind::Result, "ran: " + line}};
    }
    Console make() { return Console(path, echo); }
    static void type(Console& console, const std::u32string& text) {
        for (char32_t c : text)
            console.key(OIS::KC_UNASSIGNED, c);
    }
    static void enter(Console& console, const std::u32string& text) {
        type(console, text);
        console.key(OIS::KC_RETURN, '\r');
    }
    std::string file() const {
        std::stringstream s;
        s << std::ifstream(path).rdbuf();
        return s.str();
    }

    std::string folder, path;
};

TEST_F(ConsoleTest, EditsTheLineByCharacters) {
    const struct {
        std::u32string typed;
        std::vector<OIS::KeyCode> keys; // after the typing
        std::u32string more;            // typed after the keys
        std::string line;
    } cases[] = {
        {U"aä€😀", {OIS::KC_BACK, OIS::KC_BACK}, U"", "aä"},
        {U"ab", {OIS::KC_LEFT}, U"é", "aéb"},
        {U"ä€b", {OIS::KC_HOME, OIS::KC_DELETE, OIS::KC_RIGHT}, U"x", "€xb"},
        {U"ab", {OIS::KC_HOME, OIS::KC_END}, U"c", "abc"},
        {U"a\x1b\x7f\x08\x85\tb", {}, U"", "ab"}, // control characters are not typed
    };
    for (const auto& c : cases) {
        Console console = make();
        type(console, c.typed);
        for (OIS::KeyCode k : c.keys)
            console.key(k, 0);
        type(console, c.more);
        EXPECT_EQ(console.input(), c.line);
    }
}

TEST_F(ConsoleTest, RunsLinesAndShowsTheAnswers) {
    Console console = make();
    console.setOpen(true);
    enter(console, U"x = 1");
    enter(console, U"   ");
    enter(console, U"error");
    std::vector<std::string> shown;
    for (const ConsoleViewLine& l : console.output())
        shown.push_back(std::to_string(int(l.kind)) + " " + l.text);
    const std::vector<std::string> expected = {
        "4 Lua console: Return runs the line, =expr shows a value, Up/Down recall, ` closes",
        "0 > x = 1",
        "2 ran: x = 1",
        "0 > error",
        "3 first",
        "3 second"};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(console.input(), "");
}

TEST_F(ConsoleTest, HistoryIsRecalledKeptAndReadAgain) {
    {
        Console console = make();
        for (int i = 1; i <= 205; ++i)
            enter(console, U"line " + std::u32string(1, U'0' + i % 10));
        enter(console, U"same");
        enter(console, U"same");
        type(console, U"draft");
        console.key(OIS::KC_UP, 0);
        EXPECT_EQ(console.input(), "same");
        console.key(OIS::KC_UP, 0);
        EXPECT_EQ(console.input(), "line 5");
        console.key(OIS::KC_DOWN, 0);
        console.key(OIS::KC_DOWN, 0);
        EXPECT_EQ(console.input(), "draft");
        console.key(OIS::KC_DOWN, 0);
        EXPECT_EQ(console.input(), "draft");
    }
    // 200 lines, the newest last, in the file and in a console made later.
    Console later = make();
    ASSERT_EQ(later.history().size(), Console::kHistoryLines);
    EXPECT_EQ(later.history().front(), "line 7");
    EXPECT_EQ(later.history().back(), "same");
    EXPECT_EQ(file().substr(0, 7), "line 7\n");
    for (std::size_t i = 0; i < Console::kHistoryLines; ++i)
        later.key(OIS::KC_UP, 0);
    EXPECT_EQ(later.input(), "line 7");
    later.key(OIS::KC_UP, 0);
    EXPECT_EQ(later.input(), "line 7");
}

} // namespace
