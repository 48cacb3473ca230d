// The game's command line. With no arguments the game starts as it always did.
#pragma once
#include <optional>
#include <string>

struct CommandLine {
    enum class Action { Play, Help, Version, ListMicrophones, Invalid };
    Action action = Action::Play;
    // Given with --microphone; may be empty, which asks for the default device.
    std::optional<std::string> microphone;
    // --watch-scripts: take in the scripts saved while the game runs.
    bool watchScripts = false;
    // For Invalid: what was wrong, one line.
    std::string problem;
};

// argv[0] is the program's name and is skipped.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The text of --help.
std::string usageText();
