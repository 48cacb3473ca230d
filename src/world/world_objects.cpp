#include "world/world_objects.h"

#include "util/globals.h"
#include "world/world_batch.h"

#include <Ogre.h>
#include <OgreCodec.h>
#include <OgreImageCodec.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <typeinfo>

namespace {

std::array<std::unique_ptr<WorldObject>, kWorldObjectSlots> worldObjects;

int freeWorldObjectSlot() {
    for (int i = 0; i < kWorldObjectSlots; ++i)
        if (!worldObjects[i])
            return i;
    return -1;
}

void releaseEngineObjects(WorldObject& object) {
    if (!object.scene)
        return;
    // Node first, then entity, so the node never points at a dead entity.
    if (object.node)
        object.scene->destroySceneNode(object.node);
    if (object.entity)
        object.scene->destroyEntity(object.entity);
    object.node = nullptr;
    object.entity = nullptr;
}

// The engine picks the reader of a mesh file by the extension of its name;
// an image's reader is handed a mesh to fill and fails with a bare
// std::bad_cast, a name with no reader at all with a list of formats.
bool hasMeshReader(const std::string& meshName) {
    Ogre::String base, extension;
    Ogre::StringUtil::splitBaseFilename(meshName, base, extension);
    Ogre::StringUtil::toLowerCase(extension);
    if (!Ogre::Codec::isCodecRegistered(extension))
        return false;
    return dynamic_cast<Ogre::ImageCodec*>(Ogre::Codec::getCodec(extension)) == nullptr;
}

} // namespace

WorldObject* findWorldObject(const std::string& name) {
    for (const auto& object : worldObjects)
        if (object && object->name == name)
            return object.get();
    return nullptr;
}

WorldObject* worldObjectAt(int slot) {
    return slot >= 0 && slot < kWorldObjectSlots ? worldObjects[slot].get() : nullptr;
}

WorldObject& createWorldObject(const std::string& name, const std::string& meshName) {
    if (freeWorldObjectSlot() < 0)
        throw std::length_error("Too many world objects");
    if (!sceneManager)
        throw std::logic_error("There is no scene to place world objects in");
    return createWorldObject(*sceneManager, name, meshName);
}

WorldObject& createWorldObject(Ogre::SceneManager& scene, const std::string& name,
                               const std::string& meshName) {
    const int slot = freeWorldObjectSlot();
    if (slot < 0)
        throw std::length_error("Too many world objects");
    if (!hasMeshReader(meshName))
        throw std::invalid_argument("\"" + meshName + "\" is not a mesh");
    auto object = std::make_unique<WorldObject>();
    object->name = name;
    object->meshName = meshName;
    object->scene = &scene;
    // The engine refuses a name in use or a mesh it cannot find by throwing;
    // whatever was made before that is taken down again.
    try {
        object->entity = scene.createEntity(name, meshName);
        object->node = scene.getRootSceneNode()->createChildSceneNode(
            name, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
        object->node->attachObject(object->entity);
    } catch (const std::bad_cast&) {
        // Should a reader of another kind still be handed the mesh.
        releaseEngineObjects(*object);
        throw std::invalid_argument("\"" + meshName + "\" is not a mesh");
    } catch (...) {
        releaseEngineObjects(*object);
        throw;
    }
    worldObjects[slot] = std::move(object);
    return *worldObjects[slot];
}

void destroyWorldObject(const std::string& name) {
    for (auto& object : worldObjects) {
        if (object && object->name == name) {
            std::unique_ptr<WorldObject> dying = std::move(object);
            forgetBatchedObject(*dying);
            releaseEngineObjects(*dying);
            return;
        }
    }
}

void destroyAllWorldObjects() {
    releaseWorldBatch();
    for (auto& object : worldObjects) {
        if (object) {
            releaseEngineObjects(*object);
            object.reset();
        }
    }
}

int worldObjectCount() {
    int n = 0;
    for (const auto& object : worldObjects)
        n += object != nullptr;
    return n;
}

const WorldObject* worldObjectInSlot(int slot) {
    return slot >= 0 && slot < kWorldObjectSlots ? worldObjects[slot].get() : nullptr;
}
