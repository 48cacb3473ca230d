// The game's application object: engine root, set-up and the rendering loop.
#pragma once
#include <memory>
#include <optional>
#include <string>

namespace Ogre {
class OverlaySystem;
class RenderWindow;
} // namespace Ogre
class NBFrameListener;
class PlayerCamera;

class NBApplication {
public:
    // Creates the engine root from the files in the resource folder.
    NBApplication();
    ~NBApplication();

    // Runs set-up and, unless the player cancelled the configuration dialog,
    // the start steps and the rendering loop.
    void run();

    // True when the game is ready to render; false when the configuration
    // dialog was cancelled.
    bool setup();

    // The microphone asked for on the command line, if any; otherwise the
    // one remembered in the settings file is used.
    std::optional<std::string> microphone;

    // From the command line: take in the scripts saved while the game runs,
    // as the watch_scripts setting does.
    bool watchScripts = false;

private:
    void addResourceLocations();
    bool configureRendering();
    void createWindowAndScene();
    void createPlayerAndDisplay();
    void startMicrophone();
    void startAmbience();

    std::string resourcePath;
    Ogre::RenderWindow* window = nullptr; // the engine root owns it
    std::unique_ptr<Ogre::OverlaySystem> overlays;
    std::unique_ptr<PlayerCamera> camera;
    NBFrameListener* listener = nullptr; // the engine root holds it
};

// The entry function's body: returns the program's exit status.
int runGame(const std::optional<std::string>& microphone = std::nullopt, bool watchScripts = false);
