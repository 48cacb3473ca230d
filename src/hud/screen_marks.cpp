#include "hud/screen_marks.h"

#include <algorithm>
#include <cmath>

ScreenPoint projectToScreen(const Ogre::Matrix4& viewProjection, const Ogre::Vector3& p,
                            float width, float height) {
    const Ogre::Vector4 clip = viewProjection * Ogre::Vector4(p.x, p.y, p.z, 1.0f);
    ScreenPoint s;
    // Too close to the eye's plane to divide by: counts as behind.
    s.inFront = clip.w > 1e-3f;
    const float w = std::fabs(clip.w) > 1e-6f ? clip.w : 1e-6f;
    s.x = (clip.x / w * 0.5f + 0.5f) * width;
    s.y = (0.5f - clip.y / w * 0.5f) * height;
    return s;
}

int arrowDirection(float dx, float dy) {
    const float turn = std::atan2(dy, dx) / (2.0f * Ogre::Math::PI); // -0.5..0.5
    return (static_cast<int>(std::lround(turn * 16.0f)) + 16) % 16;
}

EdgeArrow edgeArrow(const ScreenPoint& point, const ArrowBounds& b) {
    EdgeArrow arrow;
    const float cx = 0.5f * (b.left + b.right), cy = 0.5f * (b.top + b.bottom);
    if (point.inFront && point.x >= b.left && point.x <= b.right && point.y >= b.top &&
        point.y <= b.bottom) {
        arrow.onScreen = true;
        arrow.x = point.x;
        arrow.y = point.y;
        arrow.direction = 4; // straight down onto it
        return arrow;
    }
    // Behind the camera the projection comes out mirrored through the centre.
    float dx = point.x - cx, dy = point.y - cy;
    if (!point.inFront) {
        dx = -dx;
        dy = -dy;
    }
    if (!std::isfinite(dx) || !std::isfinite(dy) || (dx == 0 && dy == 0)) {
        dx = 0;
        dy = 1; // nothing to go by: point down, behind the insect
    }
    // Scale the direction to the first border it meets.
    const float hx = 0.5f * (b.right - b.left), hy = 0.5f * (b.bottom - b.top);
    const float sx = dx != 0 ? hx / std::fabs(dx) : INFINITY;
    const float sy = dy != 0 ? hy / std::fabs(dy) : INFINITY;
    const float k = std::min(sx, sy);
    arrow.x = std::clamp(cx + dx * k, b.left, b.right);
    arrow.y = std::clamp(cy + dy * k, b.top, b.bottom);
    arrow.direction = arrowDirection(dx, dy);
    return arrow;
}
