// Full screen on and off for the game's window, at the screen's own size
// (no change of video mode). A window manager that offers full screen does
// it; without one (a bare X server), the window is moved to the corner and
// sized to the screen instead. Main thread only.
#pragma once

namespace Ogre {
class RenderWindow;
}

// Returns whether the window is now full screen.
bool setFullScreen(Ogre::RenderWindow* window, bool on);
