// The game's only camera: a chase camera on two scene nodes. The camera node
// always faces the target node; each update both close half their gap.
#pragma once
#include <OgreVector.h>

namespace Ogre {
class Camera;
class SceneManager;
class SceneNode;
} // namespace Ogre

class PlayerCamera {
public:
    explicit PlayerCamera(Ogre::SceneManager* scene);

    Ogre::Camera* getCamera() const { return camera; }
    Ogre::SceneNode* getCameraNode() const { return cameraNode; }
    Ogre::SceneNode* getTargetNode() const { return targetNode; }

    void updatePlayerCamera(const Ogre::Vector3& cameraGoal, const Ogre::Vector3& lookAtGoal);

    // Pulls the camera in towards the insect when a collision zone stands
    // between them, and keeps it above the ground, so that it never looks out
    // from inside a wall, a roof or the ground.
    void keepInTheOpen(const Ogre::Vector3& insect);

private:
    Ogre::SceneNode* targetNode;
    Ogre::SceneNode* cameraNode;
    Ogre::Camera* camera;
    double tightness;
};
