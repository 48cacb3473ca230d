#include "app/player_camera.h"

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

namespace {
// The product with the double tightness is rounded back to single precision.
Ogre::Vector3 step(const Ogre::Vector3& goal, const Ogre::Vector3& from, double tightness) {
    Ogre::Vector3 gap = goal - from;
    return {float(gap.x * tightness), float(gap.y * tightness), float(gap.z * tightness)};
}
} // namespace

PlayerCamera::PlayerCamera(Ogre::SceneManager* scene) {
    Ogre::SceneNode* world = scene->getRootSceneNode();
    cameraNode = world->createChildSceneNode("PlayerCamera", Ogre::Vector3::ZERO,
                                             Ogre::Quaternion::IDENTITY);
    targetNode = world->createChildSceneNode("PlayerCamera_target", Ogre::Vector3::ZERO,
                                             Ogre::Quaternion::IDENTITY);
    cameraNode->setAutoTracking(true, targetNode, Ogre::Vector3::NEGATIVE_UNIT_Z,
                                Ogre::Vector3::ZERO);
    cameraNode->setFixedYawAxis(true, Ogre::Vector3::UNIT_Y);

    camera = scene->createCamera("PlayerCamera");
    camera->setNearClipDistance(5);
    // The camera looks at (0, 0, -300) from its node's origin: along -Z, which
    // is the camera's own default facing, so it needs no turn of its own. Its
    // node turns it from then on, through the auto-tracking above.
    cameraNode->attachObject(camera);
    tightness = 0.5;
}

void PlayerCamera::updatePlayerCamera(const Ogre::Vector3& cameraGoal,
                                      const Ogre::Vector3& lookAtGoal) {
    cameraNode->translate(step(cameraGoal, cameraNode->getPosition(), tightness),
                          Ogre::Node::TS_PARENT);
    targetNode->translate(step(lookAtGoal, targetNode->getPosition(), tightness),
                          Ogre::Node::TS_PARENT);
}
