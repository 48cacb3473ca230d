#include "player/flight.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace flight {

namespace {
// Narrows to a finite float. Absurd blood levels or positions set by scripts
// make absurd steps; they must saturate rather than turn into inf and NaN.
float narrow(double v) {
    if (std::isnan(v))
        return 0.0f;
    const double m = std::numeric_limits<float>::max();
    return static_cast<float>(v > m ? m : (v < -m ? -m : v));
}
} // namespace

double mouseAxis(int position, int extent) {
    // An empty mouse area would divide by zero and fill the scene with NaN.
    if (extent <= 0)
        return 0.0;
    return 2.0 * position / extent - 1.0;
}

void levelOut(FlightState& s, FlightStep& step) {
    if (s.roll != 0) {
        step.levelRoll = -s.roll;
        s.roll = 0;
    }
    if (s.pitch != 0) {
        step.levelPitch = -s.pitch;
        s.pitch = 0;
    }
}

FlightStep stepFlight(FlightState& s, const MouseInput& mouse, float dt,
                      const Ogre::Vector3& p, ZoneCollider collide) {
    FlightStep step;

    if (mouse.rightButton)
        s.bloodLevel = 0;

    // The cursor's place sets the pitch and bank directly...
    double mx = mouseAxis(mouse.x, mouse.width);
    double my = mouseAxis(mouse.y, mouse.height);
    float targetPitch = static_cast<float>(-my * kMaxTilt);
    float targetRoll = static_cast<float>(mx * kMaxTilt);
    step.pitchTurn = targetPitch - s.pitch;
    step.rollTurn = targetRoll - s.roll;
    s.pitch = targetPitch;
    s.roll = targetRoll;

    // ...and its sideways offset the rate of turn.
    step.yawTurn = static_cast<float>(-dt * mx);
    s.yaw += step.yawTurn;

    double forward = s.speed.x;
    double a = kForwardPush * s.thrust * std::sin(double(s.pitch));
    if ((a > 0 && forward >= 0) || (a < 0 && forward < 0))
        a = a - a * forward * kSoftForwardFactor;
    double g = kLift * (s.thrust * std::cos(double(s.pitch)) -
                        0.5 * (s.weight + s.bloodLevel / kBloodWeightDivisor));

    s.speed.x = narrow(s.speed.x + kIntegration * dt * a);
    s.speed.y = narrow(s.speed.y + kIntegration * dt * g);
    // The insect climbs by this frame's step, not by the accumulated vertical
    // speed, which only scripts read.
    double v = kIntegration * dt * g;

    double y = p.y;
    if (y > 0) {
        double f = (kCeiling - y) / kCeiling;
        if (f >= 0)
            s.speed.y = narrow(s.speed.y * f);
    }
    if (v > 0)
        v *= 1.0 - y / kCeiling;

    s.speed.x = std::min(std::max(s.speed.x, kMinForward), kMaxForward);

    Ogre::Vector3 candidate;
    candidate.x = narrow(p.x + kTravel * dt * s.speed.x * std::sin(double(s.yaw)));
    candidate.z = narrow(p.z + kTravel * dt * s.speed.x * std::cos(double(s.yaw)));
    candidate.y = narrow(p.y + v);

    bool onTop = false;
    Ogre::Vector3 corrected;
    if (collide && collide(candidate, corrected, onTop))
        candidate = corrected;

    if (onTop || candidate.y < 0) {
        if (candidate.y < 0)
            candidate.y = 0;
        step.landed = true;
        s.speed.x = 0;
        s.speed.y = 0;
        levelOut(s, step);
        if (!s.sitting) {
            s.sitting = true;
            step.sitAdvance = kLandingPose;
        }
    } else {
        s.sitting = false;
        step.flyAdvance = static_cast<float>(dt * s.thrust * kWingBeatRate);
    }
    step.position = candidate;
    return step;
}

} // namespace flight
