// Collision zones (named boxes turned about the vertical axis, which push
// movers out) and landing zones (flat rectangles the scripts register by id).
// Main thread only.
#pragma once
#include <OgreVector.h>

#include <string>

constexpr int kCollisionZoneSlots = 1024;
constexpr int kLandingZoneSlots = 128;

// Frees every collision zone and landing-zone id and puts back the ground
// plane as landing zone 0. Start-up calls it once, after the scripts are
// loaded and before "new_game"; tests call it to start clean.
void resetZones();

// Pushes position out of every collision zone that contains it, one pass in
// slot order, each zone seeing the point as corrected by the zones before it.
// Returns true when some zone contained the point; only then are corrected and
// onTop written (onTop: the last such zone was left through its top face).
bool resolveZoneCollisions(const Ogre::Vector3& position, Ogre::Vector3& corrected, bool& onTop);

// How far along the segment from a to b (0..1) it first enters a collision
// zone, or 1 when it enters none; segments that start inside a zone are not
// held by it. The camera keeps out of the walls with it.
float firstZoneOnSegment(const Ogre::Vector3& a, const Ogre::Vector3& b);

// The operations behind the script functions, for code and tests that place
// zones without a script. addCollisionZone replaces a zone of the same name and
// returns false when the table is full (the zone is then not added).
bool addCollisionZone(const std::string& name, const Ogre::Vector3& origin,
                      const Ogre::Vector3& size, double angle);
void removeCollisionZone(const std::string& name);
int collisionZoneCount();

struct LandingZone {
    bool inUse = false;
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
};
const LandingZone& landingZone(int id);
// Takes the lowest free id from 1 up (0 is the ground) for a zone with those
// corners; -1 when all are in use.
int addLandingZone(const float min[3], const float max[3]);
// Frees an id from 1 up; the ground and ids out of range stay.
void removeLandingZone(int id);
