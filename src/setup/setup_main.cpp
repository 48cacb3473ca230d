// nightbite_setup: shows the engine's rendering configuration dialog and lets
// the engine store the choice in Resources/ogre.cfg for the game.
#include <Bites/OgreBitesConfigDialog.h>
#include <OgreConfigFile.h>
#include <OgreException.h>
#include <OgreLogManager.h>
#include <OgreRoot.h>

#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <exception>

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

} // namespace

int main() {
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
