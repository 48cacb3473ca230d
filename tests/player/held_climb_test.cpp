// The held climb control moves the level by the microphone's rule, one step
// per buffer's worth of frame time, however the frames happen to fall.
#include "player/held_climb.h"

#include <gtest/gtest.h>

#include <limits>

TEST(HeldClimb, StepsOncePerBufferOfFrameTimeAcrossFramesOfAnyLength) {
    HeldClimb climb;
    // Two seconds at 60 frames a second hold 10 whole buffers (10.77): the
    // rule's tenth rise is 7.5. The part buffer is kept, not lost.
    for (int i = 0; i < 120; ++i)
        climb.advance(1.0 / 60, true);
    EXPECT_FLOAT_EQ(climb.level(), 7.5f);
    // One stalled frame of 1 s, released: the kept 0.77 buffer and 5.38 new
    // ones make six whole buffers, six falls of 0.15.
    EXPECT_NEAR(climb.advance(1.0, false), 6.6f, 1e-5);

    // At 2000 frames a second a second holds five buffers.
    HeldClimb fast;
    for (int i = 0; i < 2000; ++i)
        fast.advance(0.0005, true);
    EXPECT_FLOAT_EQ(fast.level(), 2.5f);
    // Less than one buffer in all: no step.
    HeldClimb slow;
    EXPECT_EQ(slow.advance(HeldClimb::kStepSeconds * 0.99, true), 0.0f);
    EXPECT_EQ(slow.advance(HeldClimb::kStepSeconds * 0.02, true), 0.5f);
}

TEST(HeldClimb, StallsAndBadFrameTimesEndInsideTheRange) {
    HeldClimb climb;
    EXPECT_EQ(climb.advance(std::numeric_limits<double>::quiet_NaN(), true), 0.0f);
    EXPECT_EQ(climb.advance(-5.0, true), 0.0f);
    EXPECT_EQ(climb.advance(1e12, true), 8.0f); // returns: no loop of 5e12 steps
    EXPECT_EQ(climb.advance(std::numeric_limits<double>::infinity(), true), 8.0f);
    EXPECT_EQ(climb.advance(1e12, false), 0.0f);
    // The next frame steps normally again.
    EXPECT_EQ(climb.advance(HeldClimb::kStepSeconds, true), 0.5f);
}
