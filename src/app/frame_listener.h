// The game's one frame listener and window-event listener: it owns the input
// devices and drives every frame of the game.
#pragma once
#include <Bites/OgreWindowEventUtilities.h>
#include <OgreFrameListener.h>

#include "app/frame_driver.h"
#include "app/key_presses.h"
#include "player/flight.h"
#include "player/held_climb.h"

#include <cstddef>

namespace OIS {
class InputManager;
class Mouse;
class Keyboard;
} // namespace OIS

class NBFrameListener : public Ogre::FrameListener, public OgreBites::WindowEventListener {
public:
    // Listens to root's frames and the window's events, reads the window's
    // devices and moves camera along with the insect.
    NBFrameListener(Ogre::Root& root, Ogre::RenderWindow* window, PlayerCamera* camera);

    bool frameStarted(const Ogre::FrameEvent& evt) override;
    void windowResized(Ogre::RenderWindow* rw) override;
    void windowClosed(Ogre::RenderWindow* rw) override;

    OIS::Mouse* getMouse() const { return mouse; }
    OIS::Keyboard* getKeyboard() const { return keyboard; }

private:
    // Captures the devices and reads this frame's controls.
    FrameInput readControls(double frameSeconds);
    // The one record of this frame's controls for the player's step; the
    // devices have been captured.
    flight::PlayerInput gatherInput(double frameSeconds);
    // Puts the cursor, and the X pointer where X allows it, at the window's
    // centre, so that the insect starts level and holds its heading.
    void centreCursor();

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
    KeyPresses presses;
};
