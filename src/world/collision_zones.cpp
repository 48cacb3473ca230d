#include "world/collision_zones.h"

#include "script/lua_binding.h"
#include "world/world_script.h"
#include "world/zone_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace {

struct CollisionZone {
    std::string name;
    ZoneBox box;
};

std::array<std::unique_ptr<CollisionZone>, kCollisionZoneSlots> collisionZones;
// Mirrors the geometry of collisionZones slot for slot, with what makes the
// per-frame push-out fast.
ZoneIndex zoneIndex;

std::array<LandingZone, kLandingZoneSlots> landingZones;

constexpr float kGroundExtent = 10000000.0f;

int findCollisionZone(const std::string& name) {
    for (int i = 0; i < kCollisionZoneSlots; ++i)
        if (collisionZones[i] && collisionZones[i]->name == name)
            return i;
    return -1;
}

void setGroundPlane() {
    LandingZone& ground = landingZones[0];
    ground.inUse = true;
    ground.min[0] = -kGroundExtent;
    ground.min[1] = 0;
    ground.min[2] = -kGroundExtent;
    ground.max[0] = kGroundExtent;
    ground.max[1] = 0;
    ground.max[2] = kGroundExtent;
}

} // namespace

void resetZones() {
    for (auto& zone : collisionZones)
        zone.reset();
    zoneIndex.clearAll();
    for (LandingZone& zone : landingZones)
        zone = LandingZone{};
    setGroundPlane();
}

bool resolveZoneCollisions(const Ogre::Vector3& position, Ogre::Vector3& corrected, bool& onTop) {
    const float in[3] = {position.x, position.y, position.z};
    float out[3];
    if (!zoneIndex.resolve(in, out, onTop))
        return false;
    corrected = Ogre::Vector3(out[0], out[1], out[2]);
    return true;
}

float firstZoneOnSegment(const Ogre::Vector3& a, const Ogre::Vector3& b) {
    const float from[3] = {a.x, a.y, a.z}, to[3] = {b.x, b.y, b.z};
    double first = 1;
    for (int slot = 0; slot < kCollisionZoneSlots; ++slot)
        if (zoneIndex.used(slot))
            first = std::min(first, segmentEntry(zoneIndex.box(slot), from, to));
    return static_cast<float>(first);
}

bool addCollisionZone(const std::string& name, const Ogre::Vector3& origin,
                      const Ogre::Vector3& size, double angle) {
    removeCollisionZone(name);
    for (int slot = 0; slot < kCollisionZoneSlots; ++slot) {
        if (collisionZones[slot])
            continue;
        auto zone = std::make_unique<CollisionZone>();
        zone->name = name;
        for (int i = 0; i < 3; ++i) {
            zone->box.origin[i] = origin[i];
            zone->box.size[i] = size[i];
        }
        zone->box.angle = angle;
        zoneIndex.set(slot, zone->box);
        collisionZones[slot] = std::move(zone);
        return true;
    }
    return false;
}

void removeCollisionZone(const std::string& name) {
    const int slot = findCollisionZone(name);
    if (slot < 0)
        return;
    collisionZones[slot].reset();
    zoneIndex.clear(slot);
}

int collisionZoneCount() {
    int n = 0;
    for (const auto& zone : collisionZones)
        n += zone != nullptr;
    return n;
}

const LandingZone& landingZone(int id) {
    return landingZones.at(id);
}

// ---- Script functions ------------------------------------------------------

namespace {

// Answers nothing at all: a script that assigns the call gets nil.
int getCollisionZones(lua_State*) {
    return 0;
}

// Numbers are stored as given, NaN and infinities included: such a zone can
// only contain nothing or an unbounded region, and the push-out never turns
// a finite position into a NaN.
int addCollisionZoneScript(lua_State* L) {
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

int removeCollisionZoneScript(lua_State* L) {
    removeCollisionZone(checkName(L, 1));
    return 0;
}

int createLandingZone(lua_State* L) {
    // The reading order decides which bad argument is reported first.
    // create_landing_zone(height, x1, z1, x2, z2); the height is read twice.
    const double x1 = luaL_checknumber(L, 2);
    const double height = luaL_checknumber(L, 1);
    const double z1 = luaL_checknumber(L, 3);
    const double x2 = luaL_checknumber(L, 4);
    luaL_checknumber(L, 1);
    const double z2 = luaL_checknumber(L, 5);
    int id = 1;
    while (id < kLandingZoneSlots && landingZones[id].inUse)
        ++id;
    if (id == kLandingZoneSlots)
        return luaL_error(L, "Too many landing zones already");
    LandingZone& zone = landingZones[id];
    zone.min[0] = float(x1);
    zone.min[1] = float(height);
    zone.min[2] = float(z1);
    zone.max[0] = float(x2);
    zone.max[1] = float(height);
    zone.max[2] = float(z2);
    zone.inUse = true;
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

int destroyLandingZone(lua_State* L) {
    const double id = std::trunc(luaL_checknumber(L, 1));
    char text[400];
    if (!(id >= 1 && id < kLandingZoneSlots)) {
        formatId(text, sizeof text, id);
        return luaL_error(L, "Invalid landing zone id %s specified", text);
    }
    LandingZone& zone = landingZones[int(id)];
    if (!zone.inUse)
        return luaL_error(L, "Landing zone %d not in use", int(id));
    zone.inUse = false;
    return 0;
}

} // namespace

extern const luaL_Reg zoneFunctions[] = {
    {"get_collision_zones", getCollisionZones},
    {"add_collision_zone", addCollisionZoneScript},
    {"remove_collision_zone", removeCollisionZoneScript},
    {"create_landing_zone", createLandingZone},
    {"destroy_landing_zone", destroyLandingZone},
    {nullptr, nullptr},
};
