// The parts of set-up that build the scene, kept apart so they can be run on
// a headless engine.
#pragma once

namespace Ogre {
class Camera;
class RenderTarget;
class SceneManager;
class Viewport;
} // namespace Ogre

// A viewport over the whole target, opaque black, with the camera's aspect
// ratio taken from the viewport's size in pixels.
Ogre::Viewport* setupViewport(Ogre::RenderTarget* target, Ogre::Camera* camera);

// The sun light "SunLight" and the cloudy sky dome.
void buildScene(Ogre::SceneManager* scene);
