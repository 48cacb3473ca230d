// Collision and landing zones through the script functions.
#include "support/headless.h"
#include "world/collision_zones.h"

#include <sstream>
#include <string>

namespace {

std::string scriptError(const std::string& message, int line = 1) {
    return "error running script __test: [string \"line\"]:" + std::to_string(line) + ": " +
           message + "\n";
}

class ZoneScriptTest : public nbtest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        startScripts();
    }
    // The push-out as the movers see it.
    std::string push(float x, float y, float z) {
        Ogre::Vector3 out(-77, -77, -77);
        bool onTop = false;
        if (!resolveZoneCollisions({x, y, z}, out, onTop))
            return "none";
        std::ostringstream text;
        text << out.x << " " << out.y << " " << out.z << (onTop ? " top" : "");
        return text.str();
    }
};

TEST_F(ZoneScriptTest, ZonesPushMoversOutAsTheWorkedExamplesSay) {
    ASSERT_EQ(run("add_collision_zone('slab', 0, 0, 0, 10, 2, 10, 0)"), "");
    EXPECT_EQ(push(5, 1.5f, 5), "5 2 5 top");
    EXPECT_EQ(push(5, 0.4f, 5), "5 0 5");
    EXPECT_EQ(push(0, 1, 5), "none") << "on a face is outside";
    ASSERT_EQ(run("remove_collision_zone('slab')\n"
                  "add_collision_zone('cube', 0, 0, 0, 2, 2, 2, 0)"),
              "");
    EXPECT_EQ(push(1, 1, 1), "2 1 1");
    ASSERT_EQ(run("remove_collision_zone('cube')\n"
                  "add_collision_zone('turned', 0, 0, 0, 4, 4, 4, math.pi / 2)"),
              "");
    EXPECT_EQ(push(1, 1, -3.5f), "1 1 -4");
    EXPECT_EQ(push(3.8f, 2, -2), "4 2 -2");
}

TEST_F(ZoneScriptTest, AddingUnderTheSameNameReplacesAndRemovingMissingIsQuiet) {
    ASSERT_EQ(run("add_collision_zone('box', 0, 0, 0, 2, 2, 2, 0)\n"
                  "add_collision_zone('box', 10, 0, 0, 2, 2, 2, 0)\n"
                  "remove_collision_zone('nothing')\n"
                  "remove_collision_zone('BOX')"),
              "");
    EXPECT_EQ(collisionZoneCount(), 1);
    EXPECT_EQ(push(1, 1, 1.5f), "none");
    EXPECT_EQ(push(11, 1, 1.5f), "11 1 2");
    ASSERT_EQ(run("remove_collision_zone('box')"), "");
    EXPECT_EQ(push(11, 1, 1.5f), "none");
}

TEST_F(ZoneScriptTest, AFullTableDropsANewZoneAndSaysSo) {
    ASSERT_EQ(run("for i = 1, 1024 do add_collision_zone('z' .. i, i * 10, 0, 0, 1, 1, 1, 0) end"),
              "");
    EXPECT_EQ(run("add_collision_zone('extra', 0, 0, 0, 5, 5, 5, 0)\nreached = true"),
              "Too many collision zones: zone extra not added\n");
    EXPECT_EQ(show("reached"), "true") << "the script goes on";
    EXPECT_EQ(push(2, 2, 2), "none");
    // Replacing a zone of a full table works.
    EXPECT_EQ(run("add_collision_zone('z1', 0, 0, 0, 5, 5, 5, 0)"), "");
    EXPECT_EQ(push(2, 4.5f, 2), "2 5 2 top");
    EXPECT_EQ(collisionZoneCount(), kCollisionZoneSlots);
}

TEST_F(ZoneScriptTest, GetCollisionZonesGivesNoValueAtAll) {
    ASSERT_EQ(run("add_collision_zone('a', 0, 0, 0, 1, 1, 1, 0)"), "");
    EXPECT_EQ(countResults("get_collision_zones()"), 0);
    EXPECT_EQ(countResults("get_collision_zones(1, 'x', {})"), 0);
    EXPECT_EQ(show("get_collision_zones()"), "nil");
}

TEST_F(ZoneScriptTest, ArgumentsAreCheckedInOrder) {
    EXPECT_EQ(run("add_collision_zone({}, 'x')"),
              scriptError("bad argument #1 to 'add_collision_zone' (string expected, got table)"));
    EXPECT_EQ(
        run("add_collision_zone('a', 0, 0, 0, 1, 1, 1)"),
        scriptError("bad argument #8 to 'add_collision_zone' (number expected, got no value)"));
    EXPECT_EQ(
        run("remove_collision_zone()"),
        scriptError("bad argument #1 to 'remove_collision_zone' (string expected, got no value)"));
    // Landing zones read argument 2 before argument 1.
    EXPECT_EQ(
        run("create_landing_zone('x', 'y', 0, 0, 0)"),
        scriptError("bad argument #2 to 'create_landing_zone' (number expected, got string)"));
    EXPECT_EQ(
        run("create_landing_zone('x', 1, 0, 0, 0)"),
        scriptError("bad argument #1 to 'create_landing_zone' (number expected, got string)"));
    EXPECT_EQ(
        run("create_landing_zone(1, 1, 0, 0)"),
        scriptError("bad argument #5 to 'create_landing_zone' (number expected, got no value)"));
    EXPECT_EQ(
        run("destroy_landing_zone('one')"),
        scriptError("bad argument #1 to 'destroy_landing_zone' (number expected, got string)"));
    EXPECT_EQ(collisionZoneCount(), 0);
    EXPECT_FALSE(landingZone(1).inUse);
}

TEST_F(ZoneScriptTest, LandingZoneIdsAreHandedOutLowestFirstUpTo127) {
    EXPECT_EQ(show("create_landing_zone(3, 1, 2, 4, 5)"), "1");
    const LandingZone& first = landingZone(1);
    EXPECT_EQ(first.min[0], 1);
    EXPECT_EQ(first.min[1], 3);
    EXPECT_EQ(first.min[2], 2);
    EXPECT_EQ(first.max[0], 4);
    EXPECT_EQ(first.max[1], 3);
    EXPECT_EQ(first.max[2], 5);
    ASSERT_EQ(run("for i = 2, 127 do assert(create_landing_zone(0, 9, 9, 1, 1) == i) end"), "");
    EXPECT_EQ(landingZone(127).min[0], 9) << "corners are not reordered";
    EXPECT_EQ(run("create_landing_zone(0, 0, 0, 1, 1)"),
              scriptError("Too many landing zones already"));
    ASSERT_EQ(run("destroy_landing_zone(5)"), "");
    EXPECT_EQ(show("create_landing_zone(0, 0, 0, 1, 1)"), "5");
}

TEST_F(ZoneScriptTest, DestroyingALandingZoneChecksTheTruncatedId) {
    ASSERT_EQ(run("create_landing_zone(0, 0, 0, 1, 1)\ncreate_landing_zone(0, 0, 0, 1, 1)"), "");
    EXPECT_EQ(run("destroy_landing_zone(0)"), scriptError("Invalid landing zone id 0 specified"));
    EXPECT_EQ(run("destroy_landing_zone(128)"),
              scriptError("Invalid landing zone id 128 specified"));
    EXPECT_EQ(run("destroy_landing_zone(-3.9)"),
              scriptError("Invalid landing zone id -3 specified"));
    EXPECT_EQ(run("destroy_landing_zone(0.99)"),
              scriptError("Invalid landing zone id 0 specified"));
    EXPECT_EQ(run("destroy_landing_zone(1e10)"),
              scriptError("Invalid landing zone id 10000000000 specified"));
    EXPECT_EQ(run("destroy_landing_zone(0/0)"),
              scriptError("Invalid landing zone id nan specified"));
    EXPECT_EQ(run("destroy_landing_zone(-math.huge)"),
              scriptError("Invalid landing zone id -inf specified"));
    EXPECT_TRUE(landingZone(0).inUse) << "the ground plane stays";

    ASSERT_EQ(run("destroy_landing_zone(2.7)"), "");
    EXPECT_FALSE(landingZone(2).inUse);
    EXPECT_TRUE(landingZone(1).inUse);
    EXPECT_EQ(run("destroy_landing_zone(2)"), scriptError("Landing zone 2 not in use"));
    EXPECT_EQ(run("destroy_landing_zone(99)"), scriptError("Landing zone 99 not in use"));
}

TEST_F(ZoneScriptTest, NonFiniteNumbersAreStoredAndPushNothingAstray) {
    ASSERT_EQ(run("add_collision_zone('nan', 0/0, 0, 0, 5, 5, 5, 0)\n"
                  "add_collision_zone('turned', 0, 0, 0, 5, 5, 5, math.huge)\n"
                  "add_collision_zone('huge', 0, 0, 0, 1e300, 2, 1e300, 0)\n"
                  "create_landing_zone(0/0, math.huge, 0, -math.huge, 1)"),
              "");
    EXPECT_EQ(collisionZoneCount(), 3);
    // Only the unbounded zone holds anything, and its faces are finite.
    EXPECT_EQ(push(5, 1.5f, 5), "5 2 5 top");
    EXPECT_EQ(push(-1, 1, 1), "none");
    EXPECT_TRUE(landingZone(1).inUse);
}

TEST_F(ZoneScriptTest, ResetFreesEverythingButTheGround) {
    ASSERT_EQ(
        run("add_collision_zone('a', 0, 0, 0, 2, 2, 2, 0)\ncreate_landing_zone(0, 0, 0, 1, 1)"),
        "");
    resetZones();
    EXPECT_EQ(collisionZoneCount(), 0);
    EXPECT_EQ(push(1, 1, 1), "none");
    EXPECT_FALSE(landingZone(1).inUse);
    EXPECT_TRUE(landingZone(0).inUse);
    EXPECT_EQ(show("create_landing_zone(0, 0, 0, 1, 1)"), "1");
}

} // namespace
