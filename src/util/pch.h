// Precompiled for nb_game: the engine headers nearly every subsystem needs.
#pragma once
#include <Ogre.h>
