// The game's program-wide objects. Start-up creates each once, in the order
// given in nb_application.cpp; nothing replaces them while the game runs.
#pragma once

namespace Ogre {
class Root;
class SceneManager;
} // namespace Ogre
struct lua_State;
class Player;
class Hud;
class SoundManager;
class SoundOutput;

extern Ogre::Root* root;
extern Ogre::SceneManager* sceneManager;
extern Player* player;
extern Hud* hud;
extern SoundManager* soundManager;
extern SoundOutput* soundOutput;
extern lua_State* scriptState;

// Seconds since the previous frame; 0 before the first frame.
extern double frameTime;
