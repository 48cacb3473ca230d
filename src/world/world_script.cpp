// The world's script functions, each named as the Lua function it is: world
// objects, collision and landing zones, triggers. The tables at the end list
// them in their fixed registration order.
#include "script/lua_binding.h"
#include "world/collision_zones.h"
#include "world/triggers.h"
#include "world/world_bounds.h"
#include "world/world_objects.h"
#include "world/world_script.h"

#include <Ogre.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

// ---- World objects -----------------------------------------------------------

WorldObject* checkObject(lua_State* L, int arg) {
    return findWorldObject(checkName(L, arg));
}

int create_world_object(lua_State* L) {
    const std::string name = checkStoredName(L, 1);
    const std::string mesh = checkStoredName(L, 2);
    if (worldObjectCount() >= kWorldObjectSlots)
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

int destroy_world_object(lua_State* L) {
    const std::string name = checkName(L, 1);
    return guardedCall(L, [&] {
        destroyWorldObject(name);
        return 0;
    });
}

// The setters read every number even when the name matches nothing, so a bad
// argument is reported either way.
int set_world_object_position(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    const Ogre::Vector3 position = checkVector(L, 2);
    if (object)
        object->node->setPosition(clampToWorld(position));
    return 0;
}

int set_world_object_orientation(lua_State* L) {
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

int set_world_object_scale(lua_State* L) {
    WorldObject* object = checkObject(L, 1);
    const Ogre::Vector3 scale = checkVector(L, 2);
    if (object)
        object->node->setScale(limitScaleToWorld(scale, object->entity->getBoundingBox()));
    return 0;
}

int set_world_object_scale_bbox(lua_State* L) {
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

int get_all_world_objects(lua_State* L) {
    lua_createtable(L, worldObjectCount(), 0);
    int key = 1;
    for (int slot = 0; slot < kWorldObjectSlots; ++slot) {
        if (const WorldObject* object = worldObjectInSlot(slot)) {
            pushName(L, object->name);
            lua_rawseti(L, -2, key++);
        }
    }
    return 1;
}

int get_world_object_mesh(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushName(L, object->meshName);
    else
        lua_pushnil(L);
    return 1;
}

int get_world_object_orientation(lua_State* L) {
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

int get_world_object_scale(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushVector(L, object->node->getScale());
    else
        lua_pushnil(L);
    return 1;
}

int get_world_object_position(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushVector(L, object->node->getPosition());
    else
        lua_pushnil(L);
    return 1;
}

int get_world_object_bbox(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        pushVector(L, object->entity->getBoundingBox().getSize());
    else
        lua_pushnil(L);
    return 1;
}

int get_world_object_bbox_collisions(lua_State* L) {
    if (WorldObject* object = checkObject(L, 1))
        lua_pushboolean(L, object->bboxCollisions);
    else
        lua_pushnil(L);
    return 1;
}

int set_world_object_bbox_collisions(lua_State* L) {
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

int yaw_world_object(lua_State* L) {
    return turnWorldObject<&Ogre::Node::yaw>(L);
}

int roll_world_object(lua_State* L) {
    return turnWorldObject<&Ogre::Node::roll>(L);
}

int pitch_world_object(lua_State* L) {
    return turnWorldObject<&Ogre::Node::pitch>(L);
}

// ---- Collision and landing zones ---------------------------------------------

// Answers nothing at all: a script that assigns the call gets nil.
int get_collision_zones(lua_State*) {
    return 0;
}

// Numbers are stored as given, NaN and infinities included: such a zone can
// only contain nothing or an unbounded region, and the push-out never turns
// a finite position into a NaN.
int add_collision_zone(lua_State* L) {
    const std::string name = checkStoredName(L, 1);
    double n[7];
    for (int i = 0; i < 7; ++i)
        n[i] = luaL_checknumber(L, i + 2);
    const Ogre::Vector3 origin{float(n[0]), float(n[1]), float(n[2])};
    const Ogre::Vector3 size{float(n[3]), float(n[4]), float(n[5])};
    if (!addCollisionZone(name, origin, size, n[6])) {
        // The script goes on as if the zone were there, so at least say so.
        std::fprintf(stderr, "Too many collision zones: zone %s not added\n", name.c_str());
    }
    return 0;
}

int remove_collision_zone(lua_State* L) {
    removeCollisionZone(checkName(L, 1));
    return 0;
}

int create_landing_zone(lua_State* L) {
    // The reading order decides which bad argument is reported first.
    // create_landing_zone(height, x1, z1, x2, z2); the height is read twice.
    const double x1 = luaL_checknumber(L, 2);
    const double height = luaL_checknumber(L, 1);
    const double z1 = luaL_checknumber(L, 3);
    const double x2 = luaL_checknumber(L, 4);
    luaL_checknumber(L, 1);
    const double z2 = luaL_checknumber(L, 5);
    const float min[3] = {float(x1), float(height), float(z1)};
    const float max[3] = {float(x2), float(height), float(z2)};
    const int id = addLandingZone(min, max);
    if (id < 0)
        return luaL_error(L, "Too many landing zones already");
    lua_pushnumber(L, id);
    return 1;
}

// Writes the id as the decimal integer it truncates to; ids outside the int
// range (and NaN) cannot be cast, so they are printed from the double.
void formatId(char* out, std::size_t size, double truncated) {
    if (std::isnan(truncated))
        std::snprintf(out, size, "nan");
    else if (truncated >= std::numeric_limits<int>::min() &&
             truncated <= std::numeric_limits<int>::max())
        std::snprintf(out, size, "%d", int(truncated));
    else
        std::snprintf(out, size, "%.0f", truncated);
}

int destroy_landing_zone(lua_State* L) {
    const double id = std::trunc(luaL_checknumber(L, 1));
    char text[400];
    if (!(id >= 1 && id < kLandingZoneSlots)) {
        formatId(text, sizeof text, id);
        return luaL_error(L, "Invalid landing zone id %s specified", text);
    }
    if (!landingZone(int(id)).inUse)
        return luaL_error(L, "Landing zone %d not in use", int(id));
    removeLandingZone(int(id));
    return 0;
}

// ---- Triggers ----------------------------------------------------------------

Trigger* checkExistingTrigger(lua_State* L, int arg) {
    const std::string name = checkName(L, arg);
    Trigger* t = findTrigger(name);
    if (!t)
        raiseNamed(L, "Trigger by name ", name, " not found");
    return t;
}

// Reads its arguments from the last to the first. The corners are stored as
// given, NaN and infinities included: a comparison with NaN is false, so such
// a box holds no position, and nothing from a trigger reaches the scene.
int create_trigger(lua_State* L) {
    const std::string script = checkStoredName(L, 8);
    double corners[6];
    for (int arg = 7; arg >= 2; --arg)
        corners[arg - 2] = luaL_checknumber(L, arg);
    const std::string name = checkStoredName(L, 1);
    const float min[3] = {float(corners[0]), float(corners[1]), float(corners[2])};
    const float max[3] = {float(corners[3]), float(corners[4]), float(corners[5])};
    if (!createTrigger(name, min, max, script))
        return luaL_error(L, "Too many triggers");
    return 0;
}

int destroy_trigger(lua_State* L) {
    destroyTrigger(checkName(L, 1));
    return 0;
}

int trigger_exists(lua_State* L) {
    lua_pushboolean(L, findTrigger(checkName(L, 1)) != nullptr);
    return 1;
}

int get_all_triggers(lua_State* L) {
    lua_newtable(L);
    int key = 1;
    for (int slot = 0; slot < triggerCount(); ++slot) {
        if (const Trigger* t = triggerInSlot(slot)) {
            pushName(L, t->name);
            lua_rawseti(L, -2, key++);
        }
    }
    return 1;
}

int get_trigger_bbox(lua_State* L) {
    const Trigger* t = findTrigger(checkName(L, 1));
    if (!t) {
        lua_pushnil(L);
        return 1;
    }
    const double box[6] = {t->min[0], t->min[1], t->min[2], t->max[0], t->max[1], t->max[2]};
    pushNumberTable(L, box, 6);
    return 1;
}

int get_trigger_script(lua_State* L) {
    pushName(L, checkExistingTrigger(L, 1)->script);
    return 1;
}

int get_trigger_autorepeat(lua_State* L) {
    lua_pushboolean(L, checkExistingTrigger(L, 1)->autorepeat);
    return 1;
}

int set_trigger_autorepeat(lua_State* L) {
    Trigger* t = checkExistingTrigger(L, 1);
    t->autorepeat = lua_toboolean(L, 2);
    return 0;
}

} // namespace

extern const luaL_Reg worldObjectFunctions[] = {
    {"create_world_object", create_world_object},
    {"destroy_world_object", destroy_world_object},
    {"set_world_object_position", set_world_object_position},
    {"set_world_object_orientation", set_world_object_orientation},
    {"set_world_object_scale", set_world_object_scale},
    {"set_world_object_scale_bbox", set_world_object_scale_bbox},
    {"get_all_world_objects", get_all_world_objects},
    {"get_world_object_mesh", get_world_object_mesh},
    {"get_world_object_orientation", get_world_object_orientation},
    {"get_world_object_scale", get_world_object_scale},
    {"get_world_object_position", get_world_object_position},
    {"get_world_object_bbox", get_world_object_bbox},
    {"get_world_object_bbox_collisions", get_world_object_bbox_collisions},
    {"set_world_object_bbox_collisions", set_world_object_bbox_collisions},
    {nullptr, nullptr},
};

// One function a line, as in the other tables.
// clang-format off
extern const luaL_Reg zoneFunctions[] = {
    {"get_collision_zones", get_collision_zones},
    {"add_collision_zone", add_collision_zone},
    {"remove_collision_zone", remove_collision_zone},
    {"create_landing_zone", create_landing_zone},
    {"destroy_landing_zone", destroy_landing_zone},
    {nullptr, nullptr},
};
// clang-format on

extern const luaL_Reg worldObjectTurnFunctions[] = {
    {"yaw_world_object", yaw_world_object},
    {"roll_world_object", roll_world_object},
    {"pitch_world_object", pitch_world_object},
    {nullptr, nullptr},
};

extern const luaL_Reg triggerFunctions[] = {
    {"create_trigger", create_trigger},
    {"destroy_trigger", destroy_trigger},
    {"trigger_exists", trigger_exists},
    {"get_all_triggers", get_all_triggers},
    {"get_trigger_bbox", get_trigger_bbox},
    {"get_trigger_script", get_trigger_script},
    {"get_trigger_autorepeat", get_trigger_autorepeat},
    {"set_trigger_autorepeat", set_trigger_autorepeat},
    {nullptr, nullptr},
};
