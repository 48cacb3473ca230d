// Where a person stands and where the insect can reach one. A person's node
// is kFeetOffset above the feet; the insect reaches a person within a window
// centred as far again above the node.
#pragma once
#include <OgreVector.h>

#include <cmath>

constexpr float kFeetOffset = 115.0f;
constexpr float kReachRadius = 40.0f;
constexpr float kReachCentre = kFeetOffset;
constexpr float kReachHalfHeight = 75.0f;

// Whether a person at q is within reach of an insect at p: horizontally
// closer than 40, and p.y strictly between q.y + 40 and q.y + 190.
inline bool inReach(const Ogre::Vector3& p, const Ogre::Vector3& q) {
    float dx = p.x - q.x, dz = p.z - q.z;
    return std::sqrt(dx * dx + dz * dz) < kReachRadius &&
           std::fabs(p.y - kReachCentre - q.y) < kReachHalfHeight;
}
