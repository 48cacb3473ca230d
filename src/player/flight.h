// The insect's flight rules as plain functions over plain data: state and
// input go in, the new state and what to do to the scene nodes come out, and
// the collision test is passed in. PlayerCharacter applies the result to its
// nodes and animation states; the tests run the rules without an engine.
#pragma once
// The hanging height and the take-off lift are set against a person's reach.
#include "npc/reach.h"

#include <OgreVector.h>

namespace flight {

constexpr double kThrustPerLevel = 0.125;
constexpr double kMaxTilt = 0.7853981633974483; // pi/4, at the window edges
constexpr double kForwardPush = 0.2;
constexpr float kSoftForwardFactor = 0.16666667f; // 1/6: push fades out at forward speed 6
constexpr double kLift = 10.0;
constexpr double kBloodWeightDivisor = 150.0;
constexpr double kIntegration = 20.0;
constexpr double kCeiling = 1700.0;
constexpr float kMinForward = -2.0f;
constexpr float kMaxForward = 6.0f;
constexpr double kTravel = 50.0;
constexpr double kWingBeatRate = 20.0;
constexpr float kLandingPose = 0.2f;
constexpr float kTakeOffLift = 90.0f;
constexpr float kHangHeight = 40.0f;

// The heaviest blood load that a thrust still lifts, flying level. The
// vertical acceleration of accelerate() is
//   kLift * (thrust * cos(pitch) - 0.5 * (weight + load / kBloodWeightDivisor)),
// which at pitch 0 is above zero only while
//   load < kBloodWeightDivisor * (2 * thrust - weight).
// At full thrust (1) and the insect's own weight (1) that is 150: a heavier
// insect cannot climb at all, and at exactly 150 full thrust only hovers.
// Every tilt lowers it further (cos(pitch) < 1).
constexpr double heaviestClimbingLoad(double thrust = 1.0, double weight = 1.0) {
    return kBloodWeightDivisor * (2.0 * thrust - weight);
}

// What the flight rules read and write of the player, besides the nodes.
struct FlightState {
    float pitch = 0;    // applied to the main node about its local X axis
    float yaw = 0;      // accumulated heading about world Y
    float roll = 0;     // bank applied to the body node about its local Z axis
    double thrust = 0;  // lift command, normally 0..1
    Ogre::Vector3 speed = Ogre::Vector3::ZERO; // forward, vertical, side
    double weight = 1.0;
    double bloodLevel = 0; // the Player's; adds weight
    bool sitting = false;  // the "sedi" pose is on (landed)
};

// The mouse as updateFlight sees it.
struct MouseInput {
    int x = 0, y = 0;          // absolute cursor position
    int width = 1, height = 1; // mouse area (the window size)
    bool rightButton = false;
};

// The keys and level as updateFromKeyboard sees them.
struct KeyInput {
    float level = 0; // microphone level, 0..8
    bool f1 = false, f2 = false, space = false;
};

// The controls as the player's step sees them in one frame, gathered in one
// place by the frame loop: the keys and the lift level, and the mouse. A
// device that is missing (after the window closed) leaves its part unused.
struct PlayerInput {
    KeyInput keys; // level: the larger of the microphone's and the held control's
    MouseInput mouse;
    bool hasKeyboard = false;
    bool hasMouse = false;
};

// Turns and moves to apply to the scene, in this order: pitch the main node
// (local), roll the body node (local), yaw the main node (world); then, when
// landed, the levelling roll and pitch; then move the main node to position.
struct FlightStep {
    float pitchTurn = 0;
    float rollTurn = 0;
    float yawTurn = 0;
    float levelRoll = 0;  // non-zero only when landed with a bank
    float levelPitch = 0; // non-zero only when landed with a pitch
    bool landed = false;
    float sitAdvance = 0; // "sedi" to advance (only on touching down)
    float flyAdvance = 0; // "let" to advance while flying
    Ogre::Vector3 position = Ogre::Vector3::ZERO;
};

// resolveZoneCollisions' shape: point in; hit, corrected point, onTop out.
using ZoneCollider = bool (*)(const Ogre::Vector3&, Ogre::Vector3&, bool&);

// One flight update of a free insect at position, in named steps: steer,
// accelerate, under the ceiling, move and collide, land. Attaching (and
// hanging on a person) is the caller's, since it needs people.
FlightStep stepFlight(FlightState& s, const MouseInput& mouse, float dt,
                      const Ogre::Vector3& position, ZoneCollider collide);

// Levels the bank and pitch out, as on landing or attaching: the turns to
// apply are written to step.levelRoll / step.levelPitch.
void levelOut(FlightState& s, FlightStep& step);

// Mouse position mapped to -1..1 across the mouse area (0 for an empty area).
double mouseAxis(int position, int extent);

} // namespace flight
