#include "app/command_line.h"

#include <cstring>

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool help = false, version = false, list = false;
    auto invalid = [&line](const std::string& problem) {
        line.action = CommandLine::Action::Invalid;
        line.problem = problem;
        return line;
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            help = true;
        } else if (!std::strcmp(arg, "--version")) {
            version = true;
        } else if (!std::strcmp(arg, "--list-microphones")) {
            list = true;
        } else if (!std::strcmp(arg, "--microphone")) {
            if (i + 1 >= argc)
                return invalid("--microphone needs a device name");
            line.microphone = argv[++i];
        } else if (!std::strncmp(arg, "--microphone=", 13)) {
            line.microphone = arg + 13;
        } else if (!std::strcmp(arg, "--watch-scripts")) {
            line.watchScripts = true;
        } else {
            return invalid(std::string("unknown option ") + arg);
        }
    }
    if (help)
        line.action = CommandLine::Action::Help;
    else if (version)
        line.action = CommandLine::Action::Version;
    else if (list)
        line.action = CommandLine::Action::ListMicrophones;
    return line;
}

std::string usageText() {
    return "Usage: nightbite [--microphone NAME] [--watch-scripts] [--list-microphones]\n"
           "                 [--help] [--version]\n"
           "  --microphone NAME    capture from the microphone of that name and remember\n"
           "                       the choice in Resources/nightbite.cfg (\"\" for the\n"
           "                       system's default)\n"
           "  --watch-scripts      take in each script of Resources/Scripts as it is\n"
           "                       saved, while the game runs (watch_scripts=yes in\n"
           "                       Resources/nightbite.cfg does the same)\n"
           "  --list-microphones   print the names of the capture devices, one a line\n"
           "  --help               print this text\n"
           "  --version            print the game's version\n";
}
