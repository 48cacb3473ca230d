#include "util/globals.h"

Ogre::Root* root = nullptr;
Ogre::SceneManager* sceneManager = nullptr;
Player* player = nullptr;
Hud* hud = nullptr;
SoundManager* soundManager = nullptr;
SoundOutput* soundOutput = nullptr;
lua_State* scriptState = nullptr;
double frameTime = 0.0;
