// The console: one line of Lua typed over the paused game and run in the
// game's state (script/script_console.h), its answers above it, and the
// lines typed before, kept in the player's Resources/console_history. This is
// the model: keys in, lines out; hud/console_view.* shows it. Main thread
// only.
#pragma once
#include "hud/console_view.h"
#include "script/script_console.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

constexpr const char* kConsoleHistoryFile = "Resources/console_history";

class Console {
public:
    static constexpr std::size_t kHistoryLines = 200;
    static constexpr std::size_t kMaxLineBytes = 2000;
    // Lines of output kept (the view shows the last few).
    static constexpr std::size_t kKeptOutput = 64;
    // Lines of one answer shown; the rest is cut.
    static constexpr std::size_t kAnswerLines = 12;

    using Runner = std::function<std::vector<ConsoleOutput>(const std::string& line)>;

    // Reads the history (a regular file of at most 1 MiB; the last
    // kHistoryLines lines). run runs a line; runConsoleLine by default.
    explicit Console(std::string historyPath, Runner run = {});

    bool isOpen() const { return open; }
    void setOpen(bool on);

    // A key pressed while the console is open: the input library's key code
    // and the character it gives (UTF-32, 0 for none). Return runs the line;
    // Up and Down go through the history; Left, Right, Home, End, Backspace
    // and Delete edit; any other key with a printable character types it.
    void key(int keyCode, unsigned character);

    const std::string& input() const { return line; }
    std::size_t cursor() const { return caret; }
    const std::deque<ConsoleViewLine>& output() const { return shown; }
    const std::vector<std::string>& history() const { return typed; }
    // Bumped on every change, so that the view redraws only then.
    unsigned version() const { return changes; }

private:
    void submit();
    void recall(int step);
    void insert(unsigned character);
    void add(ConsoleViewLine::Kind kind, const std::string& text);
    void keepHistory();

    std::string historyPath;
    Runner run;
    bool open = false;
    std::string line;
    std::size_t caret = 0;
    std::vector<std::string> typed;
    // Where Up and Down are in the history; typed.size() is the line being
    // written, kept in draft meanwhile.
    std::size_t browsing = 0;
    std::string draft;
    std::deque<ConsoleViewLine> shown;
    unsigned changes = 0;
    bool historyFailed = false;
};
