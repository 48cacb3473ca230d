#include "world/world_objects.h"

#include "util/globals.h"
#include "script/lua_binding.h"
#include "world/world_batch.h"
#include "world/world_bounds.h"
#include "world/world_script.h"

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

// ---- Script functions ------------------------------------------------------

namespace {

WorldObject* checkObject(lua_State* L, int arg) {
    return findWorldObject(checkName(L, arg));
}

int createWorldObjectScript(lua_State* L) {
    const std::string name = checkStoredName(L, 1);
    const std::string mesh = checkStoredName(L, 2);
    if (freeWorldObjectSlot() < 0)
        return luaL_error(L, "Too many world objects");
    return guardedCall(L, [&] {
        try {
            createWorldObject(name, mesh);
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(std::string("create_world_object: ") + e.what());
        }
        return 0;
    });
}

int destroyWorldObjectScript(lua_State* L) {
    const std::string name = checkName(L, 1);
    return guardedCall(L, [&] {
        destroyWorldObject(name);
        return 0;
    });
}

// The setters read every number even when the name matches nothing, so a bad
// argument is reported either way.
int setWorldObjectPosition(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    const Ogre::Vector3 position = checkVector(L, 2);
    if (object)
        object->node->setPosition(clampToWorld(position));
    return 0;
}

int setWorldObjectOrientation(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    Ogre::Matrix3 axes;
    for (int column = 0; column < 3; ++column)
        axes.SetColumn(column, checkVector(L, 2 + 3 * column));
    if (!object)
        return 0;
    // Finite entries can still make a quaternion that is not finite or has
    // no length (entries near the float limit); the engine would turn either
    // into NaN and assert on it later.
    const Ogre::Quaternion q(axes);
    const float length = q.Norm();
    if (!(length > 0 && std::isfinite(length)))
        return luaL_error(L, "The orientation matrix gives no usable rotation");
    object->node->setOrientation(q);
    return 0;
}

int setWorldObjectScale(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    const Ogre::Vector3 scale = checkVector(L, 2);
    if (object)
        object->node->setScale(limitScaleToWorld(scale, object->entity->getBoundingBox()));
    return 0;
}

int setWorldObjectScaleBbox(lua_State* L) {
    const Ogre::Vector3 target = checkVector(L, 2);
    WorldObject* object = checkObject(L, 1);
    if (!object)
        return 0;
    const Ogre::Vector3 extent = object->entity->getBoundingBox().getSize();
    Ogre::Vector3 factor(1, 1, 1);
    for (int i = 0; i < 3; ++i) {
        // An axis with no extent (a flat mesh) cannot be scaled to a size:
        // leave it as it is rather than divide by zero.
        if (extent[i] > 0 && std::isfinite(extent[i]))
            factor[i] = float(double(target[i]) / double(extent[i]));
    }
    const Ogre::Vector3 scale = object->node->getScale() * factor;
    if (!std::isfinite(scale.x) || !std::isfinite(scale.y) || !std::isfinite(scale.z))
        return luaL_error(L, "The scale needed for that size is too large");
    object->node->setScale(limitScaleToWorld(scale, object->entity->getBoundingBox()));
    return 0;
}

int getAllWorldObjects(lua_State* L) {
    lua_createtable(L, worldObjectCount(), 0);
    int key = 1;
    for (const auto& object : worldObjects) {
        if (object) {
            pushName(L, object->name);
            lua_rawseti(L, -2, key++);
        }
    }
    return 1;
}

int getWorldObjectMesh(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushName(L, object->meshName);
    else
        lua_pushnil(L);
    return 1;
}

int getWorldObjectOrientation(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    if (!object) {
        lua_pushnil(L);
        return 1;
    }
    Ogre::Matrix3 axes;
    object->node->getOrientation().ToRotationMatrix(axes);
    double values[9];
    for (int column = 0; column < 3; ++column) {
        const Ogre::Vector3 axis = axes.GetColumn(column);
        for (int i = 0; i < 3; ++i)
            values[3 * column + i] = axis[i];
    }
    pushNumberTable(L, values, 9);
    return 1;
}

int getWorldObjectScale(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushVector(L, object->node->getScale());
    else
        lua_pushnil(L);
    return 1;
}

int getWorldObjectPosition(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushVector(L, object->node->getPosition());
    else
        lua_pushnil(L);
    return 1;
}

int getWorldObjectBbox(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushVector(L, object->entity->getBoundingBox().getSize());
    else
        lua_pushnil(L);
    return 1;
}

int getWorldObjectBboxCollisions(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        lua_pushboolean(L, object->bboxCollisions);
    else
        lua_pushnil(L);
    return 1;
}

int setWorldObjectBboxCollisions(lua_State* L) {
    const bool flag = lua_toboolean(L, 2);
    if (WorldObject* object = checkObject(L, 1))
        object->bboxCollisions = flag;
    return 0;
}

// The turning functions read the angle only once the object is found.
template <void (Ogre::Node::*turn)(const Ogre::Radian&, Ogre::Node::TransformSpace)>
int turnWorldObject(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    if (!object)
        return 0;
    const float angle = checkFiniteFloat(L, 2);
    (object->node->*turn)(Ogre::Radian(angle), Ogre::Node::TS_LOCAL);
    return 0;
}

} // namespace

extern const luaL_Reg worldObjectFunctions[] = {
    {"create_world_object", createWorldObjectScript},
    {"destroy_world_object", destroyWorldObjectScript},
    {"set_world_object_position", setWorldObjectPosition},
    {"set_world_object_orientation", setWorldObjectOrientation},
    {"set_world_object_scale", setWorldObjectScale},
    {"set_world_object_scale_bbox", setWorldObjectScaleBbox},
    {"get_all_world_objects", getAllWorldObjects},
    {"get_world_object_mesh", getWorldObjectMesh},
    {"get_world_object_orientation", getWorldObjectOrientation},
    {"get_world_object_scale", getWorldObjectScale},
    {"get_world_object_position", getWorldObjectPosition},
    {"get_world_object_bbox", getWorldObjectBbox},
    {"get_world_object_bbox_collisions", getWorldObjectBboxCollisions},
    {"set_world_object_bbox_collisions", setWorldObjectBboxCollisions},
    {nullptr, nullptr},
};

extern const luaL_Reg worldObjectTurnFunctions[] = {
    {"yaw_world_object", turnWorldObject<&Ogre::Node::yaw>},
    {"roll_world_object", turnWorldObject<&Ogre::Node::roll>},
    {"pitch_world_object", turnWorldObject<&Ogre::Node::pitch>},
    {nullptr, nullptr},
};
