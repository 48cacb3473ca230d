// The insect in a headless scene, driven through the player's script
// functions and its keyboard and flight steps.
#include "player/game_fixture.h"

#include "npc/npc.h"
#include "player/player.h"
#include "util/globals.h"

#include <Ogre.h>

#include <cmath>
#include <string>

namespace {

using nbtest::GameTest;

class PlayerTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        startScripts();
    }
    PlayerCharacter& insect() { return player->getCharacter(); }
    double num(const std::string& expression) {
        std::string text = show(expression);
        EXPECT_EQ(text.find("error"), std::string::npos) << expression << ": " << text;
        return std::atof(text.c_str());
    }
    void expectRuns(const std::string& code) { EXPECT_EQ(run(code), "") << code; }
};

TEST_F(PlayerTest, StartsAsTheRecordsSay) {
    Ogre::SceneManager* scene = sceneManager;
    Ogre::SceneNode* main = scene->getSceneNode("Player");
    EXPECT_EQ(main->getParentSceneNode(), scene->getRootSceneNode());
    EXPECT_EQ(main->getPosition(), Ogre::Vector3(0, 10, 0));
    EXPECT_EQ(main->getOrientation(), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(scene->getSceneNode("Player_character")->getPosition(), Ogre::Vector3::ZERO);
    EXPECT_EQ(scene->getSceneNode("Player_character")->getScale(), Ogre::Vector3(0.4f, 0.4f, 0.4f));
    EXPECT_EQ(scene->getSceneNode("Player_sight")->getPosition(), Ogre::Vector3(0, 0, 100));
    EXPECT_EQ(scene->getSceneNode("Player_camera")->getPosition(), Ogre::Vector3(0, 50, -100));
    EXPECT_EQ(insect().cameraNode()->getParentSceneNode(), main);
    EXPECT_EQ(insect().sightNode()->getParentSceneNode(), main);

    Ogre::Entity* body = scene->getEntity("Player");
    EXPECT_EQ(body->getMesh()->getName(), "komar_nic.mesh");
    EXPECT_EQ(body->getParentSceneNode(), insect().bodyNode());
    EXPECT_TRUE(insect().flyAnimation()->getEnabled());
    EXPECT_TRUE(insect().flyAnimation()->getLoop());
    EXPECT_FALSE(insect().sitAnimation()->getEnabled());
    EXPECT_FALSE(insect().sitAnimation()->getLoop());

    EXPECT_EQ(show("get_player_position()"), "{0, 10, 0}");
    EXPECT_EQ(show("get_player_speed()"), "{0, 0, 0}");
    EXPECT_EQ(show("get_player_orientation()"), "{1, 0, 0, 0, 1, 0, 0, 0, 1}");
    EXPECT_EQ(show("get_player_health()"), "100");
    EXPECT_EQ(show("get_player_thrust()"), "0");
    EXPECT_EQ(show("get_player_bloodtype()"), "\"0\"");
    EXPECT_EQ(show("get_player_bloodlevel()"), "0");
    EXPECT_EQ(show("get_player_powerups()"), "{}");
    EXPECT_EQ(show("get_currently_sucked_npc()"), "nil");
    EXPECT_EQ(countResults("set_player_health(5)"), 0);
    EXPECT_EQ(countResults("get_player_health()"), 1);
}

TEST_F(PlayerTest, HoversAtHalfThrustAndClimbsAtFull) {
    expectRuns("set_player_position(0, 300, 0); set_player_thrust(0.5)");
    for (int i = 0; i < 30; ++i)
        frame(1.0f / 60);
    EXPECT_EQ(show("get_player_position()"), "{0, 300, 0}");
    EXPECT_EQ(show("get_player_speed()"), "{0, 0, 0}");

    expectRuns("set_player_position(0, 0, 0); set_player_thrust(1)");
    frame(0.01f);
    EXPECT_NEAR(num("get_player_position()[2]"), 1.0, 1e-6); // 100 per second
    expectRuns("set_player_thrust(0); set_player_position(0, 500, 0)");
    frame(0.01f);
    EXPECT_NEAR(num("get_player_position()[2]"), 499.0, 1e-4);
}

TEST_F(PlayerTest, Blood150BalancesFullThrust) {
    expectRuns("set_player_position(0, 300, 0); set_player_thrust(1); set_player_bloodlevel(150)");
    for (int i = 0; i < 30; ++i)
        frame(1.0f / 60);
    EXPECT_EQ(show("get_player_position()"), "{0, 300, 0}");
    // The right button empties the blood while free, and the insect climbs.
    frame(1.0f / 60, 400, 300, true);
    EXPECT_EQ(show("get_player_bloodlevel()"), "0");
    EXPECT_GT(num("get_player_position()[2]"), 300.0);
}

TEST_F(PlayerTest, ForwardSpeedIsClampedByTheNextUpdate) {
    expectRuns("set_player_position(0, 300, 0); set_player_thrust(0.5); set_player_speed(50, 0, 7)");
    frame(0.01f);
    EXPECT_NEAR(num("get_player_speed()[1]"), 6.0, 1e-6);
    EXPECT_EQ(num("get_player_speed()[3]"), 7.0); // side speed: the program never changes it
    // Heading +Z: 50 * dt * 6 = 3 units along z.
    EXPECT_NEAR(num("get_player_position()[3]"), 3.0, 1e-4);
    expectRuns("set_player_speed(-50, 0, 0)");
    frame(0.01f);
    EXPECT_NEAR(num("get_player_speed()[1]"), -2.0, 1e-6);
}

TEST_F(PlayerTest, SteeringPitchesTheMainNodeAndBanksOnlyTheBody) {
    expectRuns("set_player_position(0, 300, 0); set_player_thrust(0.5)");
    frame(0.5f, 800, 0); // top right corner
    const Ogre::Quaternion body = insect().bodyNode()->getOrientation();
    EXPECT_NEAR(body.getRoll().valueRadians(), M_PI / 4, 1e-5);
    // Heading turned by -0.5 rad (right edge, half a second), nose down pi/4.
    const Ogre::Vector3 ahead = insect().mainNode()->getOrientation() * Ogre::Vector3::UNIT_Z;
    EXPECT_NEAR(ahead.y, -std::sin(M_PI / 4), 1e-5);
    EXPECT_NEAR(std::atan2(ahead.x, ahead.z), -0.5, 1e-5);
    EXPECT_FLOAT_EQ(insect().flightState().yaw, -0.5f);
    // The sight point follows the heading and the pitch, not the bank.
    insect().mainNode()->_update(true, false);
    const Ogre::Vector3 sight = insect().sightNode()->_getDerivedPosition() - insect().getPosition();
    EXPECT_NEAR((sight / 100 - ahead).length(), 0, 1e-4);
}

TEST_F(PlayerTest, LandingOnTheGroundLevelsTheBodyAndSits) {
    expectRuns("set_player_position(0, 5, 0); set_player_thrust(0); set_player_speed(3, -7, 4)");
    frame(0.1f, 800, 600); // bottom right: pitched up and banked as it lands
    EXPECT_EQ(show("get_player_position()[2]"), "0");
    EXPECT_EQ(show("get_player_speed()"), "{0, 0, 4}");
    const Ogre::Vector3 up = insect().mainNode()->getOrientation() * Ogre::Vector3::UNIT_Y;
    EXPECT_NEAR(up.y, 1.0, 1e-5);
    EXPECT_NEAR(insect().bodyNode()->getOrientation().getRoll().valueRadians(), 0, 1e-5);
    EXPECT_FALSE(insect().flyAnimation()->getEnabled());
    EXPECT_TRUE(insect().sitAnimation()->getEnabled());
    EXPECT_FLOAT_EQ(insect().sitAnimation()->getTimePosition(), 0.2f);
    frame(0.1f);
    EXPECT_FLOAT_EQ(insect().sitAnimation()->getTimePosition(), 0.2f); // posed once

    // Lift above the weight takes off by itself: wings again.
    expectRuns("set_player_thrust(1)");
    frame(0.1f);
    EXPECT_GT(num("get_player_position()[2]"), 0.0);
    EXPECT_TRUE(insect().flyAnimation()->getEnabled());
    EXPECT_FALSE(insect().sitAnimation()->getEnabled());
}

TEST_F(PlayerTest, LandingOnAZoneTop) {
    expectRuns("add_collision_zone('roof', -100, 0, -100, 200, 250, 200, 0)\n"
               "set_player_position(0, 252, 0); set_player_thrust(0); set_player_speed(2, -1, -3)");
    frame(0.05f, 400, 100);
    EXPECT_NEAR(num("get_player_position()[2]"), 250.0, 1e-4);
    EXPECT_EQ(show("get_player_speed()"), "{0, 0, -3}");
    EXPECT_TRUE(insect().sitAnimation()->getEnabled());
    const Ogre::Vector3 up = insect().mainNode()->getOrientation() * Ogre::Vector3::UNIT_Y;
    EXPECT_NEAR(up.y, 1.0, 1e-5);
}

TEST_F(PlayerTest, FlyingIntoAPersonAttachesUntilSpace) {
    expectRuns("npc_create('bob', 'man.mesh', 'A')\n"
               "npc_set_position('bob', 0, 115, 0)\n"
               "set_player_position(10, 200, 0); set_player_thrust(0.5); set_player_speed(1, 0, 2)");
    frame(0.01f, 400, 100);
    EXPECT_EQ(show("get_currently_sucked_npc()"), "\"bob\"");
    EXPECT_EQ(insect().cameraNode()->getPosition(), Ogre::Vector3(0, 200, -250));
    EXPECT_FALSE(insect().entity()->getVisible());
    EXPECT_FALSE(insect().isFirstPerson());
    EXPECT_TRUE(insect().sitAnimation()->getEnabled());
    EXPECT_FALSE(insect().flyAnimation()->getEnabled());
    EXPECT_EQ(show("get_player_speed()"), "{0, 0, 2}");
    EXPECT_NEAR(insect().mainNode()->getOrientation().getPitch().valueRadians(), 0, 1e-6);

    // Attached: hangs 40 above the person wherever it goes; the view keys and
    // the right button do nothing.
    expectRuns("npc_set_position('bob', 300, 115, 50); set_player_bloodlevel(30)");
    keys(4, true, false, false);
    frame(0.01f, 0, 0, true);
    EXPECT_EQ(show("get_player_position()"), "{300, 155, 50}");
    EXPECT_FALSE(insect().isFirstPerson());
    EXPECT_EQ(show("get_player_bloodlevel()"), "30");

    // Space lifts it 90 to +130, inside the reach window again: the same
    // frame's flight step re-attaches it.
    keys(4, false, false, true);
    EXPECT_EQ(show("get_currently_sucked_npc()"), "nil");
    EXPECT_EQ(show("get_player_position()"), "{300, 245, 50}");
    EXPECT_TRUE(insect().entity()->getVisible());
    EXPECT_EQ(insect().cameraNode()->getPosition(), Ogre::Vector3(0, 50, -100));
    frame(0.01f);
    EXPECT_EQ(show("get_currently_sucked_npc()"), "\"bob\"");

    // Out of reach after the take-off (the person moved on): free.
    keys(0, false, false, true);
    expectRuns("npc_set_position('bob', 400, 115, 50)");
    frame(0.01f);
    EXPECT_EQ(show("get_currently_sucked_npc()"), "nil");
    EXPECT_TRUE(insect().flyAnimation()->getEnabled());
}

TEST_F(PlayerTest, TheLowerSlotWinsWhenTwoPeopleAreInReach) {
    expectRuns("npc_create('first', 'man.mesh', '0'); npc_create('second', 'man.mesh', '0')\n"
               "npc_set_position('second', 5, 115, 0); npc_set_position('first', -5, 115, 0)\n"
               "set_player_position(0, 200, 0); set_player_thrust(0.5)");
    frame(0.01f);
    EXPECT_EQ(show("get_currently_sucked_npc()"), "\"first\"");
    // Only the second in reach: the second.
    keys(4, false, false, true);
    expectRuns("npc_set_position('first', -500, 115, 0)");
    frame(0.01f);
    EXPECT_EQ(show("get_currently_sucked_npc()"), "\"second\"");
}

TEST_F(PlayerTest, KeyboardSetsThrustAndTheView) {
    expectRuns("set_player_thrust(1)");
    keys(4.0f, false, false, false);
    EXPECT_EQ(show("get_player_thrust()"), "0.5"); // the microphone overrides the script
    keys(8.0f, true, true, false);                 // F1 wins over F2
    EXPECT_TRUE(insect().isFirstPerson());
    EXPECT_EQ(insect().cameraNode()->getPosition(), Ogre::Vector3(0, 0, 10));
    EXPECT_FALSE(insect().entity()->getVisible());
    keys(0, false, true, false);
    EXPECT_FALSE(insect().isFirstPerson());
    EXPECT_EQ(insect().cameraNode()->getPosition(), Ogre::Vector3(0, 50, -100));
    EXPECT_TRUE(insect().entity()->getVisible());
    keys(0, false, false, true); // Space while free: nothing
    EXPECT_EQ(show("get_player_position()"), "{0, 10, 0}");
}

TEST_F(PlayerTest, ChangingTheBodyKeepsTheState) {
    expectRuns("set_player_position(5, 0, 7); set_player_speed(0, 0, 3); set_player_thrust(0)");
    keys(0, true, false, false);
    frame(0.1f); // lands on the ground in first person
    ASSERT_TRUE(insect().sitAnimation()->getEnabled());
    for (int variant : {3, 1, 2, 0}) {
        insect().selectBody(variant);
        static const char* const meshes[] = {"komar_nic.mesh", "komar_motor.mesh",
                                             "komar_nadrze.mesh", "komar_full.mesh"};
        EXPECT_EQ(sceneManager->getEntity("Player")->getMesh()->getName(), meshes[variant]);
        EXPECT_EQ(show("get_player_position()"), "{5, 0, 7}");
        EXPECT_EQ(show("get_player_speed()"), "{0, 0, 3}");
        EXPECT_TRUE(insect().isFirstPerson());
        EXPECT_EQ(insect().cameraNode()->getPosition(), Ogre::Vector3(0, 0, 10));
        // The new body shows, with its wings beating, until the next update.
        EXPECT_TRUE(insect().entity()->getVisible());
        EXPECT_TRUE(insect().flyAnimation()->getEnabled());
        EXPECT_FALSE(insect().sitAnimation()->getEnabled());
        EXPECT_EQ(insect().bodyNode()->numAttachedObjects(), 1u);
    }
    frame(0.1f); // still on the ground: sits again
    EXPECT_TRUE(insect().sitAnimation()->getEnabled());
    EXPECT_FALSE(insect().flyAnimation()->getEnabled());
}

TEST_F(PlayerTest, BloodTypesAreStrict) {
    expectRuns("set_player_bloodtype('AB')");
    EXPECT_EQ(show("get_player_bloodtype()"), "\"AB\"");
    expectRuns("set_player_bloodtype(0)"); // the number becomes the string "0"
    EXPECT_EQ(show("get_player_bloodtype()"), "\"0\"");
    expectRuns("set_player_bloodtype('B')");
    for (const char* bad : {"'ab'", "'AB '", "'O'", "'A\\0'"}) {
        std::string err = run(std::string("set_player_bloodtype(") + bad + ")");
        EXPECT_NE(err.find(":1: Invalid bloodtype ("), std::string::npos) << bad << ": " << err;
        EXPECT_NE(err.find(") specified for set_player_bloodtype\n"), std::string::npos) << err;
        EXPECT_EQ(show("get_player_bloodtype()"), "\"B\"");
    }
    EXPECT_NE(run("set_player_bloodtype('ab')").find("Invalid bloodtype (ab) specified for set_player_bloodtype"),
              std::string::npos);
    EXPECT_NE(run("set_player_bloodtype({})").find("bad argument #1 to 'set_player_bloodtype'"),
              std::string::npos);
}

TEST_F(PlayerTest, HealthThrustAndBloodLevelSetters) {
    expectRuns("set_player_health(12.9)");
    EXPECT_EQ(show("get_player_health()"), "12");
    expectRuns("set_player_health(-12.9)");
    EXPECT_EQ(show("get_player_health()"), "-12");
    expectRuns("set_player_health(1e12)"); // saturates instead of overflowing
    EXPECT_EQ(show("get_player_health()"), "2147483647");
    expectRuns("set_player_health(-1e12)");
    EXPECT_EQ(show("get_player_health()"), "-2147483648");

    expectRuns("set_player_thrust(-0.5)");
    EXPECT_EQ(show("get_player_thrust()"), "0");
    expectRuns("set_player_thrust(3)");
    EXPECT_EQ(show("get_player_thrust()"), "1");
    expectRuns("set_player_thrust(0.7)");
    EXPECT_EQ(show("get_player_thrust()"), "0.69999999999999996");

    expectRuns("set_player_bloodlevel(250.5)"); // unclamped
    EXPECT_EQ(show("get_player_bloodlevel()"), "250.5");
    expectRuns("set_player_bloodlevel(-3)");
    EXPECT_EQ(show("get_player_bloodlevel()"), "-3");
}

TEST_F(PlayerTest, OrientationRoundTripsThroughNineNumbers) {
    insect().mainNode()->setOrientation(Ogre::Quaternion(Ogre::Degree(37), Ogre::Vector3(1, 2, 3).normalisedCopy()));
    const Ogre::Quaternion before = insect().mainNode()->getOrientation();
    expectRuns("local t = get_player_orientation()\n"
               "assert(#t == 9)\n"
               "set_player_orientation(t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9])");
    const Ogre::Quaternion after = insect().mainNode()->getOrientation();
    EXPECT_TRUE(before.equals(after, Ogre::Radian(1e-5f))) << before << " " << after;

    // Columns are the local axes: a quarter turn about Y puts local X on -Z.
    expectRuns("set_player_orientation(0, 0, -1,  0, 1, 0,  1, 0, 0)");
    const Ogre::Vector3 x = insect().mainNode()->getOrientation() * Ogre::Vector3::UNIT_X;
    EXPECT_NEAR((x - Ogre::Vector3(0, 0, -1)).length(), 0, 1e-6);
    EXPECT_LT(num("(function() local t, e, m = get_player_orientation(), {0, 0, -1, 0, 1, 0, 1, 0, 0}, 0\n"
                  "for i = 1, 9 do m = math.max(m, math.abs(t[i] - e[i])) end return m end)()"),
              1e-6);
    // The flight fields keep their values.
    EXPECT_EQ(insect().flightState().yaw, 0.0f);
}

TEST_F(PlayerTest, PowerupsAreKeptByName) {
    EXPECT_EQ(show("get_player_powerups()"), "{}");
    expectRuns("unregister_player_powerup('none')");
    expectRuns("register_player_powerup('wings'); register_player_powerup('nose')\n"
               "register_player_powerup('wings')");
    // One per name; the re-registered one took the lowest free slot again.
    EXPECT_EQ(show("get_player_powerups()"), "{\"wings\", \"nose\"}");
    expectRuns("unregister_player_powerup('nose')");
    EXPECT_EQ(show("get_player_powerups()"), "{\"wings\"}");
    std::string err = run("for i = 1, 40 do register_player_powerup('p' .. i) end");
    EXPECT_NE(err.find("Too many powerups"), std::string::npos) << err;
    EXPECT_EQ(num("#get_player_powerups()"), 32);
    EXPECT_NE(run("register_player_powerup()").find("bad argument #1"), std::string::npos);
}

TEST_F(PlayerTest, NonFiniteNumbersAreRefusedAndChangeNothing) {
    expectRuns("set_player_position(1, 2, 3); set_player_speed(1, 2, 3); set_player_thrust(0.25)\n"
               "set_player_bloodlevel(7); set_player_health(9)");
    const char* const calls[] = {
        "set_player_position(0/0, 0, 0)", "set_player_position(0, 1/0, 0)",
        "set_player_position(0, 0, 1e39)", "set_player_speed(0, 0, -1/0)",
        "set_player_speed(0/0, 0, 0)", "set_player_thrust(0/0)", "set_player_bloodlevel(0/0)",
        "set_player_health(0/0)",
        "set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 0/0)",
    };
    for (const char* call : calls) {
        std::string err = run(call);
        EXPECT_NE(err.find("finite number expected"), std::string::npos) << call << ": " << err;
    }
    std::string err = run("set_player_orientation(3e38, 0, 0, 0, 3e38, 0, 0, 0, 3e38)");
    EXPECT_NE(err.find("Invalid orientation"), std::string::npos) << err;
    EXPECT_EQ(show("get_player_position()"), "{1, 2, 3}");
    EXPECT_EQ(show("get_player_speed()"), "{1, 2, 3}");
    EXPECT_EQ(show("get_player_thrust()"), "0.25");
    EXPECT_EQ(show("get_player_bloodlevel()"), "7");
    EXPECT_EQ(show("get_player_health()"), "9");

    // The setters that limit their value anyway take the infinities as
    // "as much as allowed".
    expectRuns("set_player_thrust(math.huge)");
    EXPECT_EQ(show("get_player_thrust()"), "1");
    expectRuns("set_player_thrust(-math.huge); set_player_health(math.huge)");
    EXPECT_EQ(show("get_player_thrust()"), "0");
    EXPECT_EQ(show("get_player_health()"), "2147483647");
    expectRuns("set_player_health(-math.huge); set_player_bloodlevel(-math.huge)");
    EXPECT_EQ(show("get_player_health()"), "-2147483648");
    EXPECT_LT(num("get_player_bloodlevel()"), -1e308);
    EXPECT_EQ(show("get_player_orientation()"), "{1, 0, 0, 0, 1, 0, 0, 0, 1}");

    // A huge but finite blood level still flies to finite places.
    expectRuns("set_player_position(0, 100, 0); set_player_speed(0, 0, 0)\n"
               "set_player_bloodlevel(1e300); set_player_thrust(1)");
    frame(0.02f);
    EXPECT_EQ(show("get_player_position()"), "{0, 0, 0}");
    expectRuns("set_player_bloodlevel(-1e300)");
    frame(0.02f);
    frame(0.02f);
    const Ogre::Vector3 p = insect().getPosition();
    EXPECT_TRUE(std::isfinite(p.y) && p.y >= 0) << p;
}

} // namespace
