#include "util/globals.h"

Ogre::Root* root = nullptr;
Ogre::SceneManager* sceneManager = nullptr;
lua_State* scriptState = nullptr;
double frameTime = 0.0;
