// Where marks tied to the world go on the screen: the projection of a point
// through the camera, and the place and direction of an arrow at the screen's
// border for a point that is off the screen or behind the camera. Plain
// arithmetic, without an overlay.
#pragma once
#include <OgreMatrix4.h>
#include <OgreVector.h>

struct ScreenPoint {
    float x = 0, y = 0;   // pixels from the top left corner
    bool inFront = false; // false: behind the camera, x and y meaningless
};

// Projects p with the camera's projection * view matrix onto a screen of
// width x height pixels.
ScreenPoint projectToScreen(const Ogre::Matrix4& viewProjection, const Ogre::Vector3& p,
                            float width, float height);

// The rectangle that an edge arrow keeps to, in pixels.
struct ArrowBounds {
    float left = 0, top = 0, right = 0, bottom = 0;
};

struct EdgeArrow {
    bool onScreen = false; // the point shows inside the bounds: no edge arrow needed
    float x = 0, y = 0;    // where the arrow goes (the point itself when onScreen)
    int direction = 0;     // 0..15, sixteenths of a turn clockwise from pointing right
};

// The arrow that leads to a projected point: inside the bounds, the point
// itself; otherwise on the bounds' border, on the line from their centre
// towards the point (away from it when the point is behind the camera).
EdgeArrow edgeArrow(const ScreenPoint& point, const ArrowBounds& bounds);

// The sixteenth of a turn nearest to the screen direction (dx, dy), y down.
int arrowDirection(float dx, float dy);
