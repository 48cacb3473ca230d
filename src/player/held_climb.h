// Climbing without a microphone: while the player holds the climb control
// (left mouse button or Shift), the level moves as if every capture buffer
// were a whistle, by the same rule and in the same steps as the microphone's
// level, so that key and voice lift the insect alike.
#pragma once
#include "audio/level_rule.h"

class HeldClimb {
public:
    // Time covered by one capture buffer: 4096 samples at 22050 per second.
    static constexpr double kStepSeconds = 4096.0 / 22050.0;

    // Adds a frame's time, with the control held or not, and applies one
    // level step for each whole buffer's worth of time gathered so far.
    // Returns the level, 0 to 8.
    float advance(double frameSeconds, bool held);
    float level() const { return state.level; }

private:
    LevelRule rule;
    LevelState state;
    double gathered = 0; // frame time not yet spent on a step
};
