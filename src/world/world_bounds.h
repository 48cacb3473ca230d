// The part of space the scene may use. The engine works in 32-bit floats and
// asserts (ending the process) when a box it computes stops being finite: a
// node near the float limit, a camera chasing it from one end of the range to
// the other, or a mesh box scaled past it. Everything the scripts, the flight,
// the people or the zones put into the scene is therefore kept within
// kWorldLimit of the origin on every axis, and every mesh's scaled box within
// kWorldLimit of its node. Sums of a few such values stay far from the float
// limit (3.4e38), and one unit of float resolution is still there at the edge.
#pragma once
#include <OgreAxisAlignedBox.h>
#include <OgreVector.h>

#include <cmath>

constexpr float kWorldLimit = 1e7f;

// A NaN stays a NaN: callers that refuse NaN do so themselves.
inline float clampToWorld(float v) {
    return v < -kWorldLimit ? -kWorldLimit : (v > kWorldLimit ? kWorldLimit : v);
}

inline Ogre::Vector3 clampToWorld(const Ogre::Vector3& p) {
    return {clampToWorld(p.x), clampToWorld(p.y), clampToWorld(p.z)};
}

// The scale nearest to the requested one (same signs) under which the mesh
// box reaches at most kWorldLimit from its node on each axis. An axis on
// which the box has no reach (a flat mesh) or no finite reach keeps its
// scale.
inline Ogre::Vector3 limitScaleToWorld(const Ogre::Vector3& scale, const Ogre::AxisAlignedBox& box) {
    if (!box.isFinite())
        return scale;
    Ogre::Vector3 limited = scale;
    for (int i = 0; i < 3; ++i) {
        const float reach = std::fmax(std::fabs(box.getMinimum()[i]), std::fabs(box.getMaximum()[i]));
        if (!(reach > 0) || !std::isfinite(reach))
            continue;
        const float most = kWorldLimit / reach;
        if (std::fabs(limited[i]) > most)
            limited[i] = std::copysign(most, limited[i]);
    }
    return limited;
}
