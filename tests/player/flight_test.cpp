// The flight rules alone: plain state, plain input, the real zone table.
#include "player/blood_type.h"
#include "player/flight.h"
#include "world/collision_zones.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace flight;

namespace {

constexpr int kW = 800, kH = 600;

MouseInput centre() {
    MouseInput m;
    m.x = kW / 2;
    m.y = kH / 2;
    m.width = kW;
    m.height = kH;
    return m;
}

MouseInput at(int x, int y) {
    MouseInput m = centre();
    m.x = x;
    m.y = y;
    return m;
}

class FlightTest : public ::testing::Test {
protected:
    void SetUp() override { resetZones(); }
    void TearDown() override { resetZones(); }

    // Runs n frames at centre mouse from p, feeding each result back.
    Ogre::Vector3 fly(FlightState& s, Ogre::Vector3 p, int n, float dt, MouseInput m = centre()) {
        for (int i = 0; i < n; ++i)
            p = stepFlight(s, m, dt, p, resolveZoneCollisions).position;
        return p;
    }
};

TEST_F(FlightTest, HalfThrustHoversAndSilenceFallsAtAHundredPerSecond) {
    FlightState s;
    s.thrust = 0.5;
    Ogre::Vector3 p = fly(s, Ogre::Vector3(0, 300, 0), 100, 0.01f);
    EXPECT_FLOAT_EQ(p.y, 300.0f);
    EXPECT_EQ(s.speed, Ogre::Vector3::ZERO);

    // Silence: g = -5, a step of 100 per second down, at any height (the
    // ceiling factor only scales climbing).
    for (float y : {10.0f, 1000.0f, 1800.0f}) {
        FlightState quiet;
        FlightStep step = stepFlight(quiet, centre(), 0.01f, Ogre::Vector3(0, y, 0), nullptr);
        EXPECT_NEAR(step.position.y, y - 1.0f, 1e-4) << "from " << y;
        EXPECT_FALSE(step.landed);
    }
}

TEST_F(FlightTest, FullThrustClimbsAHundredPerSecondNearTheGround) {
    FlightState s;
    s.thrust = 1.0;
    FlightStep step = stepFlight(s, centre(), 0.01f, Ogre::Vector3(0, 0, 0), nullptr);
    EXPECT_NEAR(step.position.y, 1.0, 1e-6); // 20 * dt * 5
    EXPECT_FALSE(step.landed);
    EXPECT_NEAR(s.speed.y, 1.0, 1e-6);

    // Higher up the climb is scaled by (1 - y / 1700): half at 850.
    FlightState t;
    t.thrust = 1.0;
    step = stepFlight(t, centre(), 0.01f, Ogre::Vector3(0, 850, 0), nullptr);
    EXPECT_NEAR(step.position.y, 850.5, 1e-3);
    // ...and the stored vertical speed is damped by (1700 - y) / 1700.
    EXPECT_NEAR(t.speed.y, 0.5, 1e-6);

    // Above the ceiling an upward step turns into a downward one.
    FlightState u;
    u.thrust = 1.0;
    step = stepFlight(u, centre(), 0.01f, Ogre::Vector3(0, 3400, 0), nullptr);
    EXPECT_NEAR(step.position.y, 3399.0, 1e-3);
}

TEST_F(FlightTest, BloodLevel150BalancesFullThrust) {
    FlightState s;
    s.thrust = 1.0;
    s.bloodLevel = 150;
    Ogre::Vector3 p = fly(s, Ogre::Vector3(0, 200, 0), 50, 0.02f);
    EXPECT_FLOAT_EQ(p.y, 200.0f);
}

TEST_F(FlightTest, RightButtonEmptiesTheBlood) {
    FlightState s;
    s.thrust = 1.0;
    s.bloodLevel = 150;
    MouseInput m = centre();
    m.rightButton = true;
    FlightStep step = stepFlight(s, m, 0.01f, Ogre::Vector3(0, 200, 0), nullptr);
    EXPECT_EQ(s.bloodLevel, 0.0);
    // The blood is gone before the lift is weighed: full thrust climbs.
    EXPECT_GT(step.position.y, 200.0f);
}

TEST_F(FlightTest, CursorSetsPitchBankAndTurnRate) {
    FlightState s;
    s.thrust = 1.0;
    // Top edge: nose down by pi/4, lift forward.
    FlightStep step = stepFlight(s, at(kW / 2, 0), 0.01f, Ogre::Vector3(0, 100, 0), nullptr);
    EXPECT_FLOAT_EQ(s.pitch, static_cast<float>(kMaxTilt));
    EXPECT_FLOAT_EQ(step.pitchTurn, static_cast<float>(kMaxTilt));
    EXPECT_FLOAT_EQ(s.roll, 0.0f);
    EXPECT_FLOAT_EQ(step.yawTurn, 0.0f);
    EXPECT_NEAR(s.speed.x, 20 * 0.01 * 0.2 * std::sin(kMaxTilt), 1e-6);

    // The next frame applies only the difference.
    step = stepFlight(s, at(kW / 2, 0), 0.01f, Ogre::Vector3(0, 100, 0), nullptr);
    EXPECT_FLOAT_EQ(step.pitchTurn, 0.0f);

    // Right edge: bank pi/4 and turn at 1 radian per second, negatively.
    FlightState r;
    step = stepFlight(r, at(kW, kH / 2), 0.5f, Ogre::Vector3(0, 100, 0), nullptr);
    EXPECT_FLOAT_EQ(r.roll, static_cast<float>(kMaxTilt));
    EXPECT_FLOAT_EQ(step.yawTurn, -0.5f);
    EXPECT_FLOAT_EQ(r.yaw, -0.5f);
    EXPECT_FLOAT_EQ(r.pitch, 0.0f);
}

TEST_F(FlightTest, ForwardSpeedStaysWithinMinus2And6) {
    FlightState s;
    s.thrust = 1.0;
    // Nose down at full thrust for a long time: the push fades out at 6.
    fly(s, Ogre::Vector3(0, 500, 0), 2000, 0.05f, at(kW / 2, 0));
    EXPECT_LE(s.speed.x, 6.0f);
    EXPECT_GT(s.speed.x, 5.0f);

    // A push at forward speed 6 has no effect.
    FlightState six;
    six.thrust = 1.0;
    six.speed.x = 6;
    stepFlight(six, at(kW / 2, 0), 0.05f, Ogre::Vector3(0, 500, 0), nullptr);
    EXPECT_FLOAT_EQ(six.speed.x, 6.0f);

    // Script-set speeds are clamped by the next update.
    FlightState fast, back;
    fast.speed.x = 50;
    back.speed.x = -50;
    stepFlight(fast, centre(), 0.01f, Ogre::Vector3(0, 500, 0), nullptr);
    stepFlight(back, centre(), 0.01f, Ogre::Vector3(0, 500, 0), nullptr);
    EXPECT_FLOAT_EQ(fast.speed.x, 6.0f);
    EXPECT_FLOAT_EQ(back.speed.x, -2.0f);
}

TEST_F(FlightTest, ForwardSpeedCarriesTheInsectAlongItsHeading) {
    FlightState s;
    s.thrust = 0.5;
    s.speed.x = 2;
    s.yaw = static_cast<float>(M_PI / 2); // heading +X
    FlightStep step = stepFlight(s, centre(), 0.1f, Ogre::Vector3(0, 300, 0), nullptr);
    EXPECT_NEAR(step.position.x, 10.0, 1e-4); // 50 * dt * 2
    EXPECT_NEAR(step.position.z, 0.0, 1e-4);
}

TEST_F(FlightTest, LandingOnTheGroundLevelsTheBodyAndKeepsTheSideSpeed) {
    FlightState s;
    s.speed = Ogre::Vector3(3, -7, 4);
    // Cursor low right: pitched up and banked when it touches down.
    FlightStep step = stepFlight(s, at(kW, kH), 0.1f, Ogre::Vector3(0, 5, 0), nullptr);
    ASSERT_TRUE(step.landed);
    EXPECT_EQ(step.position.y, 0.0f);
    EXPECT_EQ(s.speed.x, 0.0f);
    EXPECT_EQ(s.speed.y, 0.0f);
    EXPECT_EQ(s.speed.z, 4.0f);
    EXPECT_EQ(s.pitch, 0.0f);
    EXPECT_EQ(s.roll, 0.0f);
    EXPECT_FLOAT_EQ(step.levelPitch, -step.pitchTurn);
    EXPECT_FLOAT_EQ(step.levelRoll, -step.rollTurn);
    EXPECT_TRUE(s.sitting);
    EXPECT_FLOAT_EQ(step.sitAdvance, 0.2f);
    EXPECT_EQ(step.flyAdvance, 0.0f);

    // Still landed next frame: the pose is not advanced again.
    step = stepFlight(s, centre(), 0.1f, step.position, nullptr);
    EXPECT_TRUE(step.landed);
    EXPECT_EQ(step.sitAdvance, 0.0f);
}

TEST_F(FlightTest, ExactlyZeroIsFlyingAndLiftTakesOff) {
    FlightState s;
    s.thrust = 0.5; // hovers at 0
    FlightStep step = stepFlight(s, centre(), 0.1f, Ogre::Vector3(0, 0, 0), nullptr);
    EXPECT_FALSE(step.landed);
    EXPECT_EQ(step.position.y, 0.0f);

    FlightState landed;
    landed.sitting = true;
    landed.thrust = 1.0;
    step = stepFlight(landed, centre(), 0.1f, Ogre::Vector3(0, 0, 0), nullptr);
    EXPECT_FALSE(step.landed);
    EXPECT_FALSE(landed.sitting);
    EXPECT_FLOAT_EQ(step.flyAdvance, 0.1f * 1.0f * 20);
}

TEST_F(FlightTest, LandingOnAZoneTop) {
    ASSERT_TRUE(addCollisionZone("roof", Ogre::Vector3(-50, 0, -50), Ogre::Vector3(100, 200, 100), 0));
    FlightState s;
    s.speed = Ogre::Vector3(2, -1, -3);
    FlightStep step = stepFlight(s, at(0, kH / 3), 0.1f, Ogre::Vector3(0, 205, 0), resolveZoneCollisions);
    ASSERT_TRUE(step.landed);
    EXPECT_FLOAT_EQ(step.position.y, 200.0f);
    EXPECT_EQ(s.speed.x, 0.0f);
    EXPECT_EQ(s.speed.y, 0.0f);
    EXPECT_EQ(s.speed.z, -3.0f);
    EXPECT_EQ(s.pitch, 0.0f);
    EXPECT_EQ(s.roll, 0.0f);
    EXPECT_TRUE(s.sitting);

    // A push out through a side is no landing.
    FlightState side;
    side.thrust = 0.5;
    side.yaw = static_cast<float>(M_PI / 2);
    side.speed.x = 6;
    step = stepFlight(side, centre(), 0.1f, Ogre::Vector3(-52, 100, 0), resolveZoneCollisions);
    EXPECT_FALSE(step.landed);
    EXPECT_FLOAT_EQ(step.position.x, -50.0f);
}

TEST_F(FlightTest, ReachWindowIsStrict) {
    const Ogre::Vector3 person(0, 115, 0);
    EXPECT_TRUE(inReach(Ogre::Vector3(0, 155.01f, 0), person));
    EXPECT_FALSE(inReach(Ogre::Vector3(0, 155, 0), person)); // q.y + 40
    EXPECT_FALSE(inReach(Ogre::Vector3(0, 305, 0), person)); // q.y + 190
    EXPECT_TRUE(inReach(Ogre::Vector3(39.9f, 200, 0), person));
    EXPECT_FALSE(inReach(Ogre::Vector3(40, 200, 0), person));
    EXPECT_FALSE(inReach(Ogre::Vector3(30, 200, 30), person)); // 42.4 away
    // Hanging at +40 and lifted 90 by the take-off key: back inside.
    EXPECT_TRUE(inReach(person + Ogre::Vector3(0, 130, 0), person));
}

TEST_F(FlightTest, BadNumbersNeverBecomeNaN) {
    // An empty mouse area would divide by zero.
    MouseInput empty;
    empty.width = 0;
    empty.height = 0;
    FlightState s;
    FlightStep step = stepFlight(s, empty, 0.02f, Ogre::Vector3(0, 50, 0), nullptr);
    EXPECT_TRUE(std::isfinite(step.position.y));
    EXPECT_EQ(s.pitch, 0.0f);
    EXPECT_EQ(s.roll, 0.0f);

    // Absurd blood levels and heights saturate instead of overflowing.
    for (double blood : {1e300, -1e300}) {
        for (float y : {10.0f, 3e38f}) {
            FlightState b;
            b.thrust = 1.0;
            b.bloodLevel = blood;
            step = stepFlight(b, centre(), 0.05f, Ogre::Vector3(0, y, 0), nullptr);
            EXPECT_TRUE(std::isfinite(step.position.y)) << blood << " " << y;
            EXPECT_TRUE(std::isfinite(b.speed.y)) << blood << " " << y;
            EXPECT_GE(step.position.y, 0.0f);
        }
    }
}

TEST(BloodTypeTest, StrictAndLenientConversions) {
    BloodType t = -1;
    EXPECT_TRUE(parseBloodType("AB", 2, t));
    EXPECT_EQ(t, 3);
    EXPECT_TRUE(parseBloodType("0", 1, t));
    EXPECT_EQ(t, 0);
    using namespace std::string_literals;
    for (const std::string& bad : {"ab"s, "AB "s, "O"s, ""s, "A\0B"s, "A\0"s}) {
        EXPECT_FALSE(parseBloodType(bad.data(), bad.size(), t)) << bad;
        EXPECT_EQ(parseBloodTypeLenient(bad.data(), bad.size()), 0) << bad;
    }
    EXPECT_EQ(parseBloodTypeLenient("B", 1), 2);
    EXPECT_STREQ(bloodTypeName(1), "A");
    EXPECT_EQ(bloodTypeName(4), nullptr);
    EXPECT_EQ(bloodTypeName(-1), nullptr);
}

} // namespace
