// World objects through real scripts and a headless scene.
#include "support/headless.h"
#include "util/globals.h"
#include "world/world_bounds.h"
#include "world/world_objects.h"

#include <Ogre.h>

#include <algorithm>
#include <string>

namespace {

std::string scriptError(const std::string& message, int line = 1) {
    return "error running script __test: [string \"line\"]:" + std::to_string(line) + ": " +
           message + "\n";
}

std::string badArgument(int arg, const char* function, const char* problem) {
    return scriptError("bad argument #" + std::to_string(arg) + " to '" + function + "' (" +
                       problem + ")");
}

class WorldObjectTest : public nbtest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        startScripts();
    }
    int nodeCount() { return int(sceneManager->getRootSceneNode()->numChildren()); }
};

TEST_F(WorldObjectTest, AFreshObjectStandsAtTheOriginUnturnedAndUnscaled) {
    ASSERT_EQ(run("create_world_object('lamp', 'box.mesh')"), "");
    EXPECT_EQ(show("get_world_object_position('lamp')"), "{0, 0, 0}");
    EXPECT_EQ(show("get_world_object_scale('lamp')"), "{1, 1, 1}");
    EXPECT_EQ(show("get_world_object_orientation('lamp')"), "{1, 0, 0, 0, 1, 0, 0, 0, 1}");
    EXPECT_EQ(show("get_world_object_mesh('lamp')"), "\"box.mesh\"");
    EXPECT_EQ(show("get_world_object_bbox('lamp')"), "{1, 1, 1}");
    EXPECT_EQ(show("get_world_object_bbox_collisions('lamp')"), "false");

    // One entity on its own node, directly under the root node, both named
    // after the object.
    ASSERT_TRUE(sceneManager->hasEntity("lamp"));
    ASSERT_TRUE(sceneManager->hasSceneNode("lamp"));
    Ogre::SceneNode* node = sceneManager->getSceneNode("lamp");
    EXPECT_EQ(node->getParent(), sceneManager->getRootSceneNode());
    EXPECT_EQ(node->getAttachedObject(0), sceneManager->getEntity("lamp"));
}

TEST_F(WorldObjectTest, ListsNamesInSlotOrderAndReusesTheLowestFreeSlot) {
    EXPECT_EQ(show("get_all_world_objects()"), "{}");
    ASSERT_EQ(run("create_world_object('P', 'box.mesh')\n"
                  "create_world_object('Q', 'crate.mesh')\n"
                  "create_world_object('R', 'bench.mesh')\n"
                  "destroy_world_object('P')\n"
                  "create_world_object('S', 'box.mesh')"),
              "");
    EXPECT_EQ(show("get_all_world_objects()"), "{\"S\", \"Q\", \"R\"}");
    EXPECT_FALSE(sceneManager->hasEntity("P"));
    EXPECT_FALSE(sceneManager->hasSceneNode("P"));
    EXPECT_EQ(nodeCount(), 3);
}

TEST_F(WorldObjectTest, AMissingNameGivesOneNilOrDoesNothing) {
    ASSERT_EQ(run("create_world_object('here', 'box.mesh')"), "");
    for (const char* getter :
         {"get_world_object_position", "get_world_object_orientation", "get_world_object_scale",
          "get_world_object_bbox", "get_world_object_mesh", "get_world_object_bbox_collisions"}) {
        const std::string call = std::string(getter) + "('nobody')";
        EXPECT_EQ(countResults(call), 1) << getter;
        EXPECT_EQ(show(call), "nil") << getter;
    }
    EXPECT_EQ(run("destroy_world_object('nobody')\n"
                  "set_world_object_position('nobody', 1, 2, 3)\n"
                  "set_world_object_orientation('nobody', 0, 1, 0, 1, 0, 0, 0, 0, 1)\n"
                  "set_world_object_scale('nobody', 2, 2, 2)\n"
                  "set_world_object_scale_bbox('nobody', 2, 2, 2)\n"
                  "set_world_object_bbox_collisions('nobody', true)\n"
                  "yaw_world_object('nobody', 1)\n"
                  "roll_world_object('nobody', 1)\n"
                  "pitch_world_object('nobody', 1)"),
              "");
    EXPECT_EQ(show("get_all_world_objects()"), "{\"here\"}");
    EXPECT_EQ(show("get_world_object_position('here')"), "{0, 0, 0}");
    EXPECT_EQ(countResults("set_world_object_position('here', 1, 2, 3)"), 0);
}

TEST_F(WorldObjectTest, ArgumentsAreReadInTheDocumentedOrder) {
    // The setters read their numbers even for a name that matches nothing.
    EXPECT_EQ(run("set_world_object_position('nobody', 'x', 0, 0)"),
              badArgument(2, "set_world_object_position", "number expected, got string"));
    EXPECT_EQ(run("set_world_object_orientation('nobody', 1, 0, 0, 0, 1, 0, 0, 0)"),
              badArgument(10, "set_world_object_orientation", "number expected, got no value"));
    EXPECT_EQ(run("set_world_object_scale('nobody', 1, 1, {})"),
              badArgument(4, "set_world_object_scale", "number expected, got table"));
    // scale_bbox reads its numbers before the name.
    EXPECT_EQ(run("set_world_object_scale_bbox({}, 'x', 1, 1)"),
              badArgument(2, "set_world_object_scale_bbox", "number expected, got string"));
    EXPECT_EQ(run("set_world_object_scale_bbox({}, 1, 1, 1)"),
              badArgument(1, "set_world_object_scale_bbox", "string expected, got table"));
    // The turning functions read the angle only for an existing object.
    EXPECT_EQ(run("yaw_world_object('nobody', 'x')\n"
                  "roll_world_object('nobody')\n"
                  "pitch_world_object('nobody', {})"),
              "");
    ASSERT_EQ(run("create_world_object('here', 'box.mesh')"), "");
    EXPECT_EQ(run("pitch_world_object('here', 'x')"),
              badArgument(2, "pitch_world_object", "number expected, got string"));
    // The flag is never an argument error; the name still is.
    EXPECT_EQ(run("set_world_object_bbox_collisions(7)"), "");
    EXPECT_EQ(run("set_world_object_bbox_collisions({}, true)"),
              badArgument(1, "set_world_object_bbox_collisions", "string expected, got table"));
    EXPECT_EQ(run("create_world_object(nil, {})"),
              badArgument(1, "create_world_object", "string expected, got nil"));
    EXPECT_EQ(run("create_world_object('x')"),
              badArgument(2, "create_world_object", "string expected, got no value"));
    EXPECT_EQ(run("get_all_world_objects(1, 2, 3)"), "") << "extra arguments are ignored";
}

TEST_F(WorldObjectTest, EngineRefusalsBecomeScriptErrorsAndLeaveNothingBehind) {
    ASSERT_EQ(run("create_world_object('crate', 'crate.mesh')"), "");
    const int nodes = nodeCount();

    // A name in use: the engine's own text, the script stops at the error,
    // and the game goes on.
    const std::string duplicate = run("create_world_object('crate', 'box.mesh')\nreached = true");
    EXPECT_EQ(duplicate.rfind("error running script __test: ", 0), 0u) << duplicate;
    EXPECT_NE(duplicate.find("already exists"), std::string::npos) << duplicate;
    EXPECT_EQ(show("reached"), "nil");

    // A mesh the engine cannot find.
    const std::string missing = run("create_world_object('ghost', 'no_such.mesh')");
    EXPECT_NE(missing.find("no_such.mesh"), std::string::npos) << missing;
    EXPECT_FALSE(sceneManager->hasEntity("ghost"));
    EXPECT_FALSE(sceneManager->hasSceneNode("ghost"));

    // The entity is made before the node: a node name taken by something
    // else makes the engine refuse the node, and the entity must go again.
    sceneManager->getRootSceneNode()->createChildSceneNode("taken");
    const std::string taken = run("create_world_object('taken', 'box.mesh')");
    EXPECT_NE(taken.find("error running script __test: "), std::string::npos) << taken;
    EXPECT_FALSE(sceneManager->hasEntity("taken"));
    sceneManager->destroySceneNode("taken");

    EXPECT_EQ(nodeCount(), nodes);
    EXPECT_EQ(worldObjectCount(), 1);
    EXPECT_EQ(show("get_all_world_objects()"), "{\"crate\"}");
    EXPECT_EQ(show("get_world_object_mesh('crate')"), "\"crate.mesh\"");

    // Inside pcall the script gets the engine's text as an ordinary message.
    EXPECT_EQ(show("select(2, pcall(create_world_object, 'crate', 'box.mesh')):find('already "
                   "exists') ~= nil"),
              "true");
}

TEST_F(WorldObjectTest, The513thObjectIsRefusedWithAScriptError) {
    ASSERT_EQ(run("for i = 1, 512 do create_world_object('o' .. i, 'box.mesh') end"), "");
    EXPECT_EQ(worldObjectCount(), kWorldObjectSlots);
    EXPECT_EQ(run("create_world_object('extra', 'box.mesh')"),
              scriptError("Too many world objects"));
    EXPECT_FALSE(sceneManager->hasEntity("extra"));
    EXPECT_FALSE(sceneManager->hasSceneNode("extra"));
    EXPECT_EQ(worldObjectCount(), kWorldObjectSlots);
    // A freed slot takes the next one.
    ASSERT_EQ(run("destroy_world_object('o7')\ncreate_world_object('extra', 'box.mesh')"), "");
    EXPECT_EQ(show("get_all_world_objects()[7]"), "\"extra\"");
}

TEST_F(WorldObjectTest, PositionAndScaleAreStoredAsFloats) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')\n"
                  "set_world_object_position('a', 1.5, -2, 0.1)\n"
                  "set_world_object_scale('a', 2, 3, 4)"),
              "");
    EXPECT_EQ(show("get_world_object_position('a')"), "{1.5, -2, 0.10000000149011612}");
    EXPECT_EQ(sceneManager->getSceneNode("a")->getPosition(), Ogre::Vector3(1.5f, -2, 0.1f));
    EXPECT_EQ(show("get_world_object_scale('a')"), "{2, 3, 4}");
    EXPECT_EQ(show("get_world_object_bbox('a')"), "{1, 1, 1}") << "the mesh box ignores the scale";
}

TEST_F(WorldObjectTest, OrientationIsNineNumbersColumnByColumn) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')\n"
                  // Local X along world -Z, local Y up, local Z along world +X.
                  "set_world_object_orientation('a', 0, 0, -1, 0, 1, 0, 1, 0, 0)"),
              "");
    const Ogre::Quaternion q = sceneManager->getSceneNode("a")->getOrientation();
    EXPECT_TRUE(
        q.equals(Ogre::Quaternion(Ogre::Degree(90), Ogre::Vector3::UNIT_Y), Ogre::Degree(0.01f)))
        << q;
    EXPECT_EQ(show("(function() local t = get_world_object_orientation('a')\n"
                   "  for i = 1, 9 do t[i] = math.floor(t[i] * 1000 + 0.5) / 1000 end\n"
                   "  return t end)()"),
              "{0, 0, -1, 0, 1, 0, 1, 0, 0}");

    // Read back and passed in again, the orientation stays.
    ASSERT_EQ(run("yaw_world_object('a', 0.3)\npitch_world_object('a', -1.1)\n"
                  "roll_world_object('a', 2)"),
              "");
    const Ogre::Quaternion before = sceneManager->getSceneNode("a")->getOrientation();
    ASSERT_EQ(run("set_world_object_orientation('a', unpack(get_world_object_orientation('a')))"),
              "");
    const Ogre::Quaternion after = sceneManager->getSceneNode("a")->getOrientation();
    EXPECT_TRUE(before.equals(after, Ogre::Degree(0.001f))) << before << " " << after;
}

TEST_F(WorldObjectTest, TurningIsInRadiansAboutTheObjectsOwnAxes) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')\n"
                  "roll_world_object('a', math.pi / 2)\n"
                  "yaw_world_object('a', math.pi / 2)"),
              "");
    // After the roll, the local Y axis is world -X; the yaw turns about it.
    const Ogre::Quaternion roll(Ogre::Radian(Ogre::Math::HALF_PI), Ogre::Vector3::UNIT_Z);
    const Ogre::Quaternion yaw(Ogre::Radian(Ogre::Math::HALF_PI), Ogre::Vector3::UNIT_Y);
    const Ogre::Quaternion q = sceneManager->getSceneNode("a")->getOrientation();
    EXPECT_TRUE(q.equals(roll * yaw, Ogre::Degree(0.1f))) << q;
    EXPECT_FALSE(q.equals(yaw * roll, Ogre::Degree(1))) << "world-space turning would give this";
    ASSERT_EQ(run("pitch_world_object('a', -math.pi / 2)"), "");
    const Ogre::Quaternion pitch(Ogre::Radian(-Ogre::Math::HALF_PI), Ogre::Vector3::UNIT_X);
    EXPECT_TRUE(sceneManager->getSceneNode("a")->getOrientation().equals(roll * yaw * pitch,
                                                                         Ogre::Degree(0.1f)));
}

TEST_F(WorldObjectTest, ScaleToBoxSizeMultipliesAndLeavesFlatAxesAlone) {
    ASSERT_EQ(run("create_world_object('bench', 'bench.mesh')\n"
                  "create_world_object('poster', 'poster.mesh')"),
              "");
    EXPECT_EQ(show("get_world_object_bbox('bench')"),
              "{2, 0.89999997615814209, 0.60000002384185791}");
    ASSERT_EQ(run("local b = get_world_object_bbox('bench')\n"
                  "set_world_object_scale_bbox('bench', b[1], b[2], b[3])"),
              "");
    EXPECT_EQ(show("get_world_object_scale('bench')"), "{1, 1, 1}");
    ASSERT_EQ(run("local b = get_world_object_bbox('bench')\n"
                  "set_world_object_scale_bbox('bench', 2 * b[1], b[2], 3 * b[3])"),
              "");
    EXPECT_EQ(show("get_world_object_scale('bench')"), "{2, 1, 3}");
    ASSERT_EQ(run("local b = get_world_object_bbox('bench')\n"
                  "set_world_object_scale_bbox('bench', 2 * b[1], b[2], 3 * b[3])"),
              "");
    EXPECT_EQ(show("get_world_object_scale('bench')"), "{4, 1, 9}")
        << "relative to the current scale";

    // The poster has no depth: z cannot be scaled to a size and stays.
    EXPECT_EQ(show("get_world_object_bbox('poster')"), "{1, 1.5, 0}");
    ASSERT_EQ(run("set_world_object_scale_bbox('poster', 2, 3, 5)"), "");
    EXPECT_EQ(show("get_world_object_scale('poster')"), "{2, 2, 1}");
}

TEST_F(WorldObjectTest, TheCollisionFlagStartsFalseAndFollowsLuaTruth) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')"), "");
    EXPECT_EQ(show("get_world_object_bbox_collisions('a')"), "false");
    const std::pair<const char*, const char*> cases[] = {
        {"true", "true"}, {"nil", "false"}, {"0", "true"}, {"''", "true"}, {"false", "false"}};
    for (const auto& [value, stored] : cases) {
        ASSERT_EQ(run(std::string("set_world_object_bbox_collisions('a', ") + value + ")"), "");
        EXPECT_EQ(show("get_world_object_bbox_collisions('a')"), stored) << value;
    }
    ASSERT_EQ(
        run("set_world_object_bbox_collisions('a', true)\nset_world_object_bbox_collisions('a')"),
        "");
    EXPECT_EQ(show("get_world_object_bbox_collisions('a')"), "false") << "a missing flag is false";
}

TEST_F(WorldObjectTest, NamesOfAnyBytesAreComparedExactly) {
    ASSERT_EQ(run("create_world_object('a\\0b', 'box.mesh')\n"
                  "create_world_object('a\\0c', 'crate.mesh')\n"
                  "create_world_object('A', 'bench.mesh')\n"
                  "create_world_object('\\255\\1 x', 'box.mesh')"),
              "");
    EXPECT_EQ(show("get_all_world_objects()"), "{\"a\\0b\", \"a\\0c\", \"A\", \"\\255\\1 x\"}");
    EXPECT_EQ(show("get_world_object_mesh('a\\0c')"), "\"crate.mesh\"");
    EXPECT_EQ(show("get_world_object_mesh('a')"), "nil");
    EXPECT_EQ(show("get_world_object_mesh('a\\0')"), "nil");
    ASSERT_EQ(run("destroy_world_object('a')\ndestroy_world_object('a\\0b')"), "");
    EXPECT_EQ(show("get_all_world_objects()"), "{\"a\\0c\", \"A\", \"\\255\\1 x\"}");
    EXPECT_FALSE(sceneManager->hasEntity(std::string("a\0b", 3)));
    EXPECT_TRUE(sceneManager->hasEntity(std::string("a\0c", 3)));
}

TEST_F(WorldObjectTest, NonFiniteNumbersAreRefusedAndTheSceneStaysSound) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')\nset_world_object_position('a', 1, 2, 3)"),
              "");
    const char* const finite = "finite number expected";
    EXPECT_EQ(run("set_world_object_position('a', 0/0, 0, 0)"),
              badArgument(2, "set_world_object_position", finite));
    EXPECT_EQ(run("set_world_object_position('a', 0, math.huge, 0)"),
              badArgument(3, "set_world_object_position", finite));
    EXPECT_EQ(run("set_world_object_position('a', 0, 0, 1e300)"),
              badArgument(4, "set_world_object_position", finite))
        << "too large for a float";
    EXPECT_EQ(run("set_world_object_scale('a', 1, -math.huge, 1)"),
              badArgument(3, "set_world_object_scale", finite));
    EXPECT_EQ(run("set_world_object_orientation('a', 1, 0, 0, 0, 0/0, 0, 0, 0, 1)"),
              badArgument(6, "set_world_object_orientation", finite));
    EXPECT_EQ(run("set_world_object_scale_bbox('a', 1, 1, 0/0)"),
              badArgument(4, "set_world_object_scale_bbox", finite));
    EXPECT_EQ(run("yaw_world_object('a', math.huge)"), badArgument(2, "yaw_world_object", finite));
    EXPECT_EQ(run("roll_world_object('a', -math.huge)"),
              badArgument(2, "roll_world_object", finite));
    EXPECT_EQ(run("pitch_world_object('a', 0/0)"), badArgument(2, "pitch_world_object", finite));
    // Finite entries near the float limit whose rotation would not be finite.
    EXPECT_EQ(run("set_world_object_orientation('a', 3e38, 3e38, -3e38, -3e38, 3e38, 3e38, 3e38, "
                  "-3e38, 3e38)"),
              scriptError("The orientation matrix gives no usable rotation"));
    // A scale that would overflow a float on the way.
    ASSERT_EQ(run("set_world_object_scale_bbox('a', 1e38, 1, 1)"), "");
    EXPECT_EQ(run("set_world_object_scale_bbox('a', 1e38, 1, 1)"),
              scriptError("The scale needed for that size is too large"));

    Ogre::SceneNode* node = sceneManager->getSceneNode("a");
    EXPECT_EQ(node->getPosition(), Ogre::Vector3(1, 2, 3));
    EXPECT_EQ(node->getOrientation(), Ogre::Quaternion::IDENTITY);
    // The first call asked for 1e38; the scale is limited so that the box
    // stays within the world's bounds.
    const Ogre::AxisAlignedBox box = sceneManager->getEntity("a")->getBoundingBox();
    const float reach = std::max(-box.getMinimum().x, box.getMaximum().x);
    EXPECT_EQ(node->getScale(), Ogre::Vector3(kWorldLimit / reach, 1, 1));
    // The engine takes its derived transforms and bounds without complaint.
    sceneManager->getRootSceneNode()->_update(true, false);
    EXPECT_FALSE(node->_getDerivedPosition().isNaN());
}

TEST_F(WorldObjectTest, ANameThatIsNotAMeshSaysSo) {
    EXPECT_EQ(run("create_world_object('x', 'clouds.png')"),
              "error running script __test: create_world_object: \"clouds.png\" is not a mesh\n");
    EXPECT_EQ(show("get_all_world_objects()"), "{}");
    EXPECT_FALSE(sceneManager->hasSceneNode("x"));
}

} // namespace
