// The game's application object: engine root, set-up and the rendering loop.
#pragma once
#include <optional>
#include <string>

class NBApplication {
public:
    // Creates the engine root from the files in the resource folder.
    NBApplication();

    // Runs set-up and, unless the player cancelled the configuration dialog,
    // the start steps and the rendering loop.
    void run();

    // True when the game is ready to render; false when the configuration
    // dialog was cancelled.
    bool setup();

    // The microphone asked for on the command line, if any; otherwise the
    // one remembered in the settings file is used.
    std::optional<std::string> microphone;

private:
    std::string resourcePath;
};

// The entry function's body: returns the program's exit status.
int runGame(const std::optional<std::string>& microphone = std::nullopt);
