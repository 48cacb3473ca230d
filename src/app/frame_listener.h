// The game's one frame listener and window-event listener: it owns the input
// devices and drives every frame of the game.
#pragma once
#include <Bites/OgreWindowEventUtilities.h>
#include <OgreFrameListener.h>

#include "app/frame_driver.h"
#include "app/pause_state.h"
#include "app/key_presses.h"
#include "player/flight.h"
#include "player/held_climb.h"

#include <OISKeyboard.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace OIS {
class InputManager;
class Mouse;
} // namespace OIS
class PauseMenu;
class Console;
class ConsoleView;
class ScriptWatcher;

class NBFrameListener : public Ogre::FrameListener,
                        public OgreBites::WindowEventListener,
                        public OIS::KeyListener {
public:
    // Listens to root's frames and the window's events, reads the window's
    // devices and moves camera along with the insect. The pause screen keeps
    // its settings in settingsFile.
    NBFrameListener(Ogre::Root& root, Ogre::RenderWindow* window, PlayerCamera* camera,
                    const std::string& settingsFile);
    ~NBFrameListener() override;

    bool frameStarted(const Ogre::FrameEvent& evt) override;
    void windowResized(Ogre::RenderWindow* rw) override;
    void windowClosed(Ogre::RenderWindow* rw) override;

    // The keyboard is buffered: P, F11, Alt+Enter, Escape and the pause
    // screen's keys are taken as they are pressed, however short the press.
    bool keyPressed(const OIS::KeyEvent& event) override;
    bool keyReleased(const OIS::KeyEvent&) override { return true; }

    OIS::Mouse* getMouse() const { return mouse; }
    OIS::Keyboard* getKeyboard() const { return keyboard; }

    // Start-up, once the sound is started: the remembered settings.
    void applySettings();

    // Why the game stands still. A reason set or cleared from outside (a
    // console, say) takes effect at the next frame.
    PauseState& pauseState() { return pause; }

    // From now on the scripts of folder saved while the game runs are taken
    // in, once a frame, paused or not. When the folder cannot be watched, a
    // line on standard error says why and nothing changes.
    void watchScripts(const std::string& folder);

private:
    // Makes the input devices: grabbing the keyboard and pointer (with the
    // cursor hidden) for play, or letting them go, without a mouse of the
    // input library, whose start would pull the pointer into the window.
    void createInput(bool grab);
    void destroyInput();
    // Lets go of the grab at once: a message box is about to show.
    static void releaseForBox();
    // Takes the window's focus changes before the message pump eats them.
    void readFocus();
    bool hasFocus() const;
    // Brings the devices and the pause screen in line with the pause state.
    void followPause();
    // Clicks on the paused window, read from the window's own connection.
    void readClicks();
    void handleMenuInput();
    FrameOutcome pausedFrame();
    // Captures the devices and reads this frame's controls.
    FrameInput readControls(double frameSeconds);
    // The one record of this frame's controls for the player's step; the
    // devices have been captured.
    flight::PlayerInput gatherInput(double frameSeconds);
    // Puts the cursor, and the X pointer where X allows it, at the window's
    // centre, so that the insect starts level and holds its heading.
    void centreCursor();
    // Takes in the scripts saved since the last frame.
    void takeChangedScripts();
    // A key for the open console; false when the console does not take it.
    bool consoleKey(const OIS::KeyEvent& event);
    void showConsole();

    OIS::InputManager* inputSystem = nullptr;
    OIS::Mouse* mouse = nullptr;
    OIS::Keyboard* keyboard = nullptr;
    // The window's X display (a Display*), looked up once.
    Ogre::RenderWindow* window;
    void* xDisplay = nullptr;
    std::size_t windowHandle = 0;
    unsigned long deleteWindowAtom = 0;
    bool running = true;
    FrameDriver driver;
    HeldClimb heldClimb;
    // Since a resume: a climb held through the pause is read from the X
    // server until it is let go or the devices see it.
    bool climbCarried = false;
    PlayerCamera* camera;

    PauseState pause;
    bool grabbed = false;
    bool clicksSelected = false;
    bool pauseScreenShown = false;
    std::unique_ptr<PauseMenu> menu;
    // Taken from key presses during a capture, acted on after it.
    bool togglePause = false, toggleFullScreen = false, quitPressed = false;
    std::array<int, 16> menuKeys{};
    std::size_t menuKeyCount = 0;
    std::array<std::array<int, 2>, 8> clicks{};
    std::size_t clickCount = 0;
    static NBFrameListener* current;
    KeyPresses presses;
    // Both null when the media lack the console's overlay.
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleView> consoleView;
    bool consoleShown = false;
    std::unique_ptr<ScriptWatcher> watcher;
};
