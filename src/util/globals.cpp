#include "util/globals.h"

Ogre::Root* root = nullptr;
Ogre::RenderWindow* renderWindow = nullptr;
Ogre::SceneManager* sceneManager = nullptr;
Ogre::OverlaySystem* overlaySystem = nullptr;
PlayerCamera* playerCamera = nullptr;
Player* player = nullptr;
Hud* hud = nullptr;
SoundManager* soundManager = nullptr;
SoundOutput* soundOutput = nullptr;
lua_State* scriptState = nullptr;
double frameTime = 0.0;
