// The trigger box: open on every face, edge and corner except that its two
// corner points count as inside.
#include "world/triggers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

Trigger box(float x0, float y0, float z0, float x1, float y1, float z1) {
    Trigger t;
    t.min[0] = x0;
    t.min[1] = y0;
    t.min[2] = z0;
    t.max[0] = x1;
    t.max[1] = y1;
    t.max[2] = z1;
    return t;
}

TEST(TriggerBox, InsideStrictlyAndAtItsTwoCornersOnly) {
    const Trigger t = box(0, 0, 0, 2, 3, 4);
    EXPECT_TRUE(isInsideTrigger(t, {1, 1, 1}));
    EXPECT_TRUE(isInsideTrigger(t, {0, 0, 0})) << "min corner";
    EXPECT_TRUE(isInsideTrigger(t, {2, 3, 4})) << "max corner";
    // Faces, edges and the other six corners are outside.
    const Ogre::Vector3 outside[] = {{0, 1, 1}, {2, 1, 1},  {1, 0, 1}, {1, 3, 1}, {1, 1, 0},
                                     {1, 1, 4}, {0, 0, 1},  {2, 3, 1}, {2, 0, 0}, {0, 3, 4},
                                     {2, 0, 4}, {-1, 1, 1}, {1, 1, 5}};
    for (const Ogre::Vector3& p : outside)
        EXPECT_FALSE(isInsideTrigger(t, p)) << p;
}

TEST(TriggerBox, ReversedOrFlatBoxesHoldOnlyTheirCorners) {
    const Trigger reversed = box(2, 2, 2, 0, 0, 0);
    EXPECT_FALSE(isInsideTrigger(reversed, {1, 1, 1}));
    // The min corner passes the first test, but not the second: (2,2,2) is
    // not below the max corner (0,0,0) and is not that corner.
    EXPECT_FALSE(isInsideTrigger(reversed, {2, 2, 2}));
    const Trigger point = box(1, 1, 1, 1, 1, 1);
    EXPECT_TRUE(isInsideTrigger(point, {1, 1, 1}));
    const Trigger flat = box(0, 0, 0, 2, 0, 2);
    EXPECT_FALSE(isInsideTrigger(flat, {1, 0, 1}));
}

TEST(TriggerBox, NaNCornersHoldNoPosition) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(isInsideTrigger(box(nan, 0, 0, 2, 2, 2), {1, 1, 1}));
    EXPECT_FALSE(isInsideTrigger(box(0, 0, 0, 2, 2, 2), {nan, 1, 1}));
    EXPECT_TRUE(isInsideTrigger(box(-inf, -inf, -inf, inf, inf, inf), {1, 1, 1}));
}

} // namespace
