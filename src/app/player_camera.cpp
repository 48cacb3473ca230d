#include "app/player_camera.h"

#include "world/collision_zones.h"

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>

namespace {
// How far the camera stays in front of a wall it was pulled in from, and
// above the ground: more than its near clip distance (5), so that the near
// plane cuts neither.
constexpr float kClearance = 12.0f;
// The ground the street stands on lies a little below y = 0.
constexpr float kLowestEye = 8.0f;

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

void PlayerCamera::keepInTheOpen(const Ogre::Vector3& insect) {
    Ogre::Vector3 eye = cameraNode->getPosition();
    const float along = firstZoneOnSegment(insect, eye);
    if (along < 1.0f) {
        const Ogre::Vector3 span = eye - insect;
        const float length = span.length();
        const float keep = std::max(0.0f, along * length - kClearance);
        eye = insect + span * (length > 0 ? keep / length : 0.0f);
    }
    if (eye.y < kLowestEye)
        eye.y = kLowestEye;
    cameraNode->setPosition(eye);
}
