#include "player/held_climb.h"

#include <cmath>

namespace {
// Enough steps to carry the level from either end to the other; a longer
// stall (a debugger, a hung disk) must not turn into a loop of millions.
constexpr int kMaxStepsPerFrame = 64;
} // namespace

float HeldClimb::advance(double frameSeconds, bool held) {
    if (std::isfinite(frameSeconds) && frameSeconds > 0)
        gathered += frameSeconds;
    int steps = 0;
    while (gathered >= kStepSeconds) {
        if (steps == kMaxStepsPerFrame) {
            gathered = 0;
            break;
        }
        // A held control is a buffer that counts as high.
        applyBuffer(state, held, rule);
        gathered -= kStepSeconds;
        ++steps;
    }
    return state.level;
}
