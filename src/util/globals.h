// The engine's objects and the script host's state, program-wide. Start-up
// creates each once, in the order given in nb_application.cpp; nothing
// replaces them while the game runs. The game's own objects are declared
// beside their classes: `player` (player/player.h), `hud` (hud/hud.h),
// `soundManager` (audio/sound_manager.h), `soundOutput`
// (audio/sound_output.h).
#pragma once

namespace Ogre {
class Root;
class SceneManager;
} // namespace Ogre
struct lua_State;

extern Ogre::Root* root;
extern Ogre::SceneManager* sceneManager;
extern lua_State* scriptState;

// Seconds since the previous frame; 0 before the first frame.
extern double frameTime;
