// nightbite_setup: shows the engine's rendering configuration dialog and lets
// the engine store the choice in Resources/ogre.cfg for the game.
#include <Bites/OgreBitesConfigDialog.h>
#include <OgreException.h>
#include <OgreLogManager.h>
#include <OgreRoot.h>

#include <SDL.h>

#include <cstdio>
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

} // namespace

int main() {
    const std::string prefix = "Resources/";
    const std::string pluginList = "plugins.win.cfg";
    try {
        // The engine's log goes to its own file, not to standard output.
        auto* logs = new Ogre::LogManager();
        logs->createLog(prefix + "ogresetup.log", true, false, false);
        auto* engine = new Ogre::Root(prefix + pluginList, prefix + "ogre.cfg",
                                      prefix + "ogresetup.log");
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
