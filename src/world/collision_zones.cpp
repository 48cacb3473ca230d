#include "world/collision_zones.h"

#include "world/zone_geometry.h"

#include <algorithm>
#include <array>
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

int addLandingZone(const float min[3], const float max[3]) {
    for (int id = 1; id < kLandingZoneSlots; ++id) {
        LandingZone& zone = landingZones[id];
        if (zone.inUse)
            continue;
        for (int i = 0; i < 3; ++i) {
            zone.min[i] = min[i];
            zone.max[i] = max[i];
        }
        zone.inUse = true;
        return id;
    }
    return -1;
}

void removeLandingZone(int id) {
    if (id >= 1 && id < kLandingZoneSlots)
        landingZones[id].inUse = false;
}
