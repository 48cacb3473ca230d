// What the pause screen's controls do: the microphone chosen, the
// sensitivity and its room measure, the volumes, full screen and the pause
// on a lost focus. Each change takes effect at once and is remembered in the
// settings file. Main thread only.
#pragma once
#include "app/settings.h"
#include "hud/pause_screen.h"

#include <string>
#include <vector>

namespace Ogre {
class RenderWindow;
}

class PauseMenu {
public:
    PauseMenu(const std::string& settingsFile, Ogre::RenderWindow* window);

    // Brings the remembered settings into the game: the sensitivity, the
    // volumes and full screen. Once the sound is started.
    void applyRemembered();

    void open();  // shows the screen with a fresh device list
    void close(); // hides it
    // Once per paused frame: what the microphone hears, a finished room
    // measure.
    void update();

    enum class Request { None, Resume };
    Request click(int x, int y, int windowWidth, int windowHeight);
    // Up, Down, Left, Right, Return and Space (OIS key codes).
    Request key(int keyCode);

    void toggleFullScreen();
    bool pauseOnFocusLoss() const { return remembered.pauseOnFocusLoss; }

private:
    Request activate(PauseControl control, int step);
    void chooseDevice(int index);
    void rescan();
    void setSensitivity(int dbfs);
    void setVolume(int& volume, const char* key, int percent);
    void remember(const char* key, const std::string& value);

    std::string settingsFile;
    Ogre::RenderWindow* window;
    settings::PlayerSettings remembered;
    PauseScreen screen;
    PauseView view;
    std::vector<std::string> devices;
    std::string chosenName; // "" for the system's default
    uint32_t roomMeasuresSeen = 0;
    bool fullScreen = false;
};
