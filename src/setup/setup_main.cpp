// nightbite_setup: shows the engine's rendering configuration dialog and lets
// the engine store the choice in Resources/ogre.cfg for the game. From the
// command line it also chooses the game's microphone (Resources/nightbite.cfg).
#include <Bites/OgreBitesConfigDialog.h>
#include <OgreConfigFile.h>
#include <OgreException.h>
#include <OgreLogManager.h>
#include <OgreRoot.h>

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void showError(const char* text) {
    const char* caption = "An exception has occured!";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

// The root is made without the plug-in list and the plug-ins are loaded
// afterwards: a plug-in that fails inside the root's constructor is unloaded
// while its exception is on the way, and the exception's text would point
// into the unloaded library.
void loadPlugins(Ogre::Root& engine, const std::string& pluginList) {
    // The engine's reader never reaches the end of something that is not a
    // regular file (a folder, say) and would read forever.
    std::ifstream probe(pluginList);
    if (!std::filesystem::is_regular_file(pluginList) || !probe)
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND,
                    "The plug-in list " + pluginList + " is missing or cannot be read",
                    "loadPlugins");
    Ogre::ConfigFile list;
    list.load(pluginList);
    std::string folder = list.getSetting("PluginFolder");
    for (const std::string& plugin : list.getMultiSetting("Plugin"))
        engine.loadPlugin(folder.empty() ? plugin : folder + "/" + plugin);
}

const char* const usage =
    "Usage: nightbite_setup [--microphone NAME] [--list-microphones] [--help] [--version]\n"
    "  Without options, shows the rendering settings dialog and stores the choice\n"
    "  in Resources/ogre.cfg.\n"
    "  --microphone NAME    store the game's microphone in Resources/nightbite.cfg\n"
    "                       (\"\" for the system's default) and exit\n"
    "  --list-microphones   print the names of the capture devices, one a line\n"
    "  --help               print this text\n"
    "  --version            print the version\n";

bool microphoneNames(std::vector<std::string>& names) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "Cannot list microphones: %s\n", SDL_GetError());
        return false;
    }
    int count = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 1))
            names.emplace_back(name);
    return true;
}

std::string trimmed(const std::string& s) {
    size_t begin = s.find_first_not_of(" \t"), end = s.find_last_not_of(" \t");
    return begin == std::string::npos ? "" : s.substr(begin, end - begin + 1);
}

// The key of a "key=value" line as the game reads it: blanks around it
// dropped, '#' comments and lines without '=' have none.
std::string keyOf(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    line = trimmed(line);
    size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos)
        return "";
    return trimmed(line.substr(0, equals));
}

// Sets one key of the game's settings file, keeping every other line, through
// a new file renamed over the old one so that the old one is never left half
// written.
bool storeSetting(const std::string& path, const std::string& key, const std::string& value) {
    auto failed = [&path](const char* reason) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), reason);
        return false;
    };
    if (value.find_first_of("\r\n") != std::string::npos || trimmed(value) != value)
        return failed("the name cannot be stored (line break or blanks at its ends)");
    std::string text;
    mode_t mode = 0644;
    struct stat old;
    if (::stat(path.c_str(), &old) == 0) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return failed(std::strerror(errno));
        std::stringstream whole;
        whole << in.rdbuf();
        text = whole.str();
        mode = old.st_mode & 07777;
    }
    std::string out;
    bool stored = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (keyOf(line) != key)
            out += line + "\n";
        else if (!stored)
            out += key + "=" + value + "\n";
        stored = stored || keyOf(line) == key;
    }
    if (!stored)
        out += key + "=" + value + "\n";

    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return failed(std::strerror(errno));
    bool ok = ::write(fd, out.data(), out.size()) == ssize_t(out.size()) &&
              ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return failed(std::strerror(error ? error : EIO));
    }
    return true;
}

// Chooses the game's microphone: a name must be one of the devices found now;
// an empty one brings back the system's default.
int chooseMicrophone(const std::string& settingsFile, const std::string& name) {
    if (!name.empty()) {
        std::vector<std::string> names;
        if (!microphoneNames(names))
            return 1;
        bool known = false;
        std::string found;
        for (const std::string& n : names) {
            known = known || n == name;
            found += (found.empty() ? "\"" : ", \"") + n + "\"";
        }
        if (!known) {
            std::fprintf(stderr, "No microphone named \"%s\"; found: %s\n", name.c_str(),
                         found.empty() ? "none" : found.c_str());
            return 1;
        }
    }
    return storeSetting(settingsFile, "microphone", name) ? 0 : 1;
}

int showDialog();

} // namespace

int main(int argc, char** argv) {
    bool help = false, version = false, list = false, choose = false;
    std::string microphone;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--list-microphones") {
            list = true;
        } else if (arg == "--microphone" && i + 1 < argc) {
            choose = true;
            microphone = argv[++i];
        } else if (arg.rfind("--microphone=", 0) == 0) {
            choose = true;
            microphone = arg.substr(13);
        } else {
            std::fprintf(stderr, "nightbite_setup: %s %s\n%s",
                         arg == "--microphone" ? "a device name is needed after" : "unknown option",
                         arg.c_str(), usage);
            return 2;
        }
    }
    if (help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (version) {
        std::printf("nightbite_setup %s\n", NB_VERSION);
        return 0;
    }
    if (list) {
        std::vector<std::string> names;
        if (!microphoneNames(names))
            return 1;
        for (const std::string& name : names)
            std::printf("%s\n", name.c_str());
        return 0;
    }
    if (choose)
        return chooseMicrophone("Resources/nightbite.cfg", microphone);
    return showDialog();
}

namespace {

int showDialog() {
    const std::string prefix = "Resources/";
    const std::string pluginList = "plugins.win.cfg";
    try {
        // The engine's log goes to its own file, not to standard output.
        auto* logs = new Ogre::LogManager();
        logs->createLog(prefix + "ogresetup.log", true, false, false);
        auto* engine = new Ogre::Root("", prefix + "ogre.cfg", prefix + "ogresetup.log");
        loadPlugins(*engine, prefix + pluginList);
        // With no render system the dialog would have nothing to offer.
        if (engine->getAvailableRenderers().empty())
            OGRE_EXCEPT(Ogre::Exception::ERR_RENDERINGAPI_ERROR,
                        "No render system could be loaded; check the plug-in list " + prefix +
                            pluginList,
                        "nightbite_setup");
        engine->showConfigDialog(OgreBites::getNativeConfigDialog());
    } catch (const Ogre::Exception& e) {
        showError(e.getFullDescription().c_str());
        return 1;
    } catch (const std::exception& e) {
        showError(e.what());
        return 1;
    }
    return 0;
}

} // namespace
