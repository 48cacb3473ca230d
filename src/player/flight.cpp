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

namespace {

// The right button lets the blood go; the cursor's place sets the pitch and
// bank directly, and its sideways offset the rate of turn.
void steer(FlightState& s, const MouseInput& mouse, float dt, FlightStep& step) {
    if (mouse.rightButton)
        s.bloodLevel = 0;

    double mx = mouseAxis(mouse.x, mouse.width);
    double my = mouseAxis(mouse.y, mouse.height);
    float targetPitch = static_cast<float>(-my * kMaxTilt);
    float targetRoll = static_cast<float>(mx * kMaxTilt);
    step.pitchTurn = targetPitch - s.pitch;
    step.rollTurn = targetRoll - s.roll;
    s.pitch = targetPitch;
    s.roll = targetRoll;

    step.yawTurn = static_cast<float>(-dt * mx);
    s.yaw += step.yawTurn;
}

// Thrust along the pitch pushes forward (softly once under way) and lifts
// against the weight and the blood. Returns this frame's climb: the insect
// climbs by this step, not by the accumulated vertical speed, which only
// scripts read.
double accelerate(FlightState& s, float dt) {
    double forward = s.speed.x;
    double a = kForwardPush * s.thrust * std::sin(double(s.pitch));
    if ((a > 0 && forward >= 0) || (a < 0 && forward < 0))
        a = a - a * forward * kSoftForwardFactor;
    double g = kLift * (s.thrust * std::cos(double(s.pitch)) -
                        0.5 * (s.weight + s.bloodLevel / kBloodWeightDivisor));

    s.speed.x = narrow(s.speed.x + kIntegration * dt * a);
    s.speed.y = narrow(s.speed.y + kIntegration * dt * g);
    s.speed.x = std::min(std::max(s.speed.x, kMinForward), kMaxForward);
    return kIntegration * dt * g;
}

// The air thins towards the ceiling: vertical speed and any climb shrink with
// the height left below it.
double underCeiling(FlightState& s, double y, double climb) {
    if (y > 0) {
        double f = (kCeiling - y) / kCeiling;
        if (f >= 0)
            s.speed.y = narrow(s.speed.y * f);
    }
    if (climb > 0)
        climb *= 1.0 - y / kCeiling;
    return climb;
}

// Moves along the heading and the climb, then out of any collision zone;
// onTop tells whether the move ended on a zone's top.
Ogre::Vector3 moveAndCollide(const FlightState& s, const Ogre::Vector3& p, double climb, float dt,
                             ZoneCollider collide, bool& onTop) {
    Ogre::Vector3 candidate;
    candidate.x = narrow(p.x + kTravel * dt * s.speed.x * std::sin(double(s.yaw)));
    candidate.z = narrow(p.z + kTravel * dt * s.speed.x * std::cos(double(s.yaw)));
    candidate.y = narrow(p.y + climb);

    onTop = false;
    Ogre::Vector3 corrected;
    if (collide && collide(candidate, corrected, onTop))
        candidate = corrected;
    return candidate;
}

// On a top or on the ground the insect stops, levels out and sits down (the
// pose only on touching down); otherwise its wings beat with the thrust.
void land(FlightState& s, Ogre::Vector3& position, bool onTop, float dt, FlightStep& step) {
    if (onTop || position.y < 0) {
        if (position.y < 0)
            position.y = 0;
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
}

} // namespace

FlightStep stepFlight(FlightState& s, const MouseInput& mouse, float dt,
                      const Ogre::Vector3& p, ZoneCollider collide) {
    FlightStep step;
    steer(s, mouse, dt, step);
    const double climb = underCeiling(s, p.y, accelerate(s, dt));
    bool onTop = false;
    step.position = moveAndCollide(s, p, climb, dt, collide, onTop);
    land(s, step.position, onTop, dt, step);
    return step;
}

} // namespace flight
