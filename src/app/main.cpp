#include "app/command_line.h"
#include "app/nb_application.h"
#include "app/quit_signals.h"
#include "audio/wave_in_device.h"

#include <SDL.h>
#include <csignal>
#include <cstdio>

namespace {

// Needs SDL's audio only: no engine, no display.
int listMicrophones() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "Cannot list microphones: %s\n", SDL_GetError());
        return 1;
    }
    for (const std::string& name : MyAudio::captureDeviceNames())
        std::printf("%s\n", name.c_str());
    SDL_Quit();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that
    // nothing here reads; the game's own handlers (quit_signals.h) take them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Past a file-size limit a write should fail (and the save script say
    // so), not kill the game.
    std::signal(SIGXFSZ, SIG_IGN);
    CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(usageText().c_str(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("nightbite %s\n", NB_VERSION);
        return 0;
    case CommandLine::Action::ListMicrophones:
        return listMicrophones();
    case CommandLine::Action::Invalid:
        std::fprintf(stderr, "nightbite: %s\n%s", line.problem.c_str(), usageText().c_str());
        return 2;
    case CommandLine::Action::Play:
        break;
    }
    installQuitSignalHandlers();
    return runGame(line.microphone, line.watchScripts);
}
