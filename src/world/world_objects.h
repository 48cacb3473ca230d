// World objects: the props that scripts place in the street, each a named
// entity on a scene node of its own directly under the root node. Main thread
// only; the engine's scene manager owns the entities and nodes, the table owns
// the records.
#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <string>

namespace Ogre {
class Entity;
class SceneManager;
class SceneNode;
} // namespace Ogre

constexpr int kWorldObjectSlots = 512;

struct WorldObject {
    std::string name;     // also the name of its entity and of its node
    std::string meshName; // as given at creation
    Ogre::Entity* entity = nullptr;
    Ogre::SceneNode* node = nullptr;
    Ogre::SceneManager* scene = nullptr; // the one holding the entity and node
    bool bboxCollisions = false; // kept for the scripts; the program never reads it

    // Kept by the batch of still objects (world_batch.h): the node's
    // transform when last looked at, for how many frames it has kept it, and
    // whether the batch draws the object (its entity is hidden then).
    Ogre::Vector3 seenPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion seenOrientation = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 seenScale = Ogre::Vector3::UNIT_SCALE;
    int stillFrames = 0;
    bool batched = false;
};

// The first object, in slot order, of exactly that name, or null.
WorldObject* findWorldObject(const std::string& name);
// The object in that slot (0 to kWorldObjectSlots - 1), or null.
WorldObject* worldObjectAt(int slot);

// Makes the entity and the node in scene and takes the lowest free slot.
// Throws the engine's exception (name in use, unknown mesh) or
// std::length_error when the table is full; nothing is left behind in either
// case.
WorldObject& createWorldObject(Ogre::SceneManager& scene, const std::string& name,
                               const std::string& meshName);
// The same in the game's scene; std::logic_error when there is none yet.
WorldObject& createWorldObject(const std::string& name, const std::string& meshName);
void destroyWorldObject(const std::string& name);

// Destroys every object in its scene. The game never calls it
// (objects live until a script destroys them); tests do, before the scene
// manager goes away.
void destroyAllWorldObjects();
int worldObjectCount();
// The object in a slot (0 to kWorldObjectSlots - 1), or null when it is free.
const WorldObject* worldObjectInSlot(int slot);
