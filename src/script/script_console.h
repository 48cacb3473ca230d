// One line of Lua typed by the player, run in the game's state as the script
// event "console": under the same time and memory limits as every event, in
// sight of the stuck-script guard. Main thread only.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

constexpr const char* kConsoleEvent = "console";

struct ConsoleOutput {
    enum class Kind { Printed, Result, Error };
    Kind kind;
    std::string text; // the script's bytes, not yet made fit for the display
};

// Runs line as the stand-alone interpreter of Lua 5.4 does: "=expr" is
// "return expr"; any other line is tried as "return LINE" first and, when
// that does not compile, as a statement. The values it returns come back as
// one Result, tostring'd and separated by tabs, as print writes them (none:
// no Result). What print writes while the line runs comes back as Printed,
// not on standard output. A compile or run-time error is an Error, with
// Lua's message ("console:1: ..."); it is not printed to standard error,
// since it is the line's own answer.
std::vector<ConsoleOutput> runConsoleLine(const char* line, std::size_t length);
