// The game's program-wide objects. Start-up creates each once, in the order
// given in nb_application.cpp; nothing replaces them while the game runs.
#pragma once

namespace Ogre {
class Root;
class RenderWindow;
class SceneManager;
class OverlaySystem;
} // namespace Ogre
struct lua_State;
class PlayerCamera;
class Player;
class Hud;
class SoundManager;
class SoundOutput;

extern Ogre::Root* root;
extern Ogre::RenderWindow* renderWindow;
extern Ogre::SceneManager* sceneManager;
extern Ogre::OverlaySystem* overlaySystem;
extern PlayerCamera* playerCamera;
extern Player* player;
extern Hud* hud;
extern SoundManager* soundManager;
extern SoundOutput* soundOutput;
extern lua_State* scriptState;

// Seconds since the previous frame; 0 before the first frame.
extern double frameTime;
