// People in a headless scene, made and steered through their script functions
// and moved by updateNpcs.
#include "player/game_fixture.h"

#include "npc/npc.h"
#include "util/globals.h"

#include <Ogre.h>

#include <cmath>
#include <string>

namespace {

using nbtest::GameTest;

class NpcTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        startScripts();
    }
    void expectRuns(const std::string& code) { EXPECT_EQ(run(code), "") << code; }
    Npc& person(const char* name) {
        Npc* npc = findNpc(name);
        EXPECT_NE(npc, nullptr) << name;
        return *npc;
    }
    // The direction a person's local +Z axis points to.
    Ogre::Vector3 facing(const char* name) {
        return person(name).getNode()->getOrientation() * Ogre::Vector3::UNIT_Z;
    }
    int peopleCount() {
        int n = 0;
        for (int i = 0; i < kNpcSlots; ++i)
            n += npcAt(i) != nullptr;
        return n;
    }
};

TEST_F(NpcTest, CreatedIdleWithItsNameScaleAndBloodType) {
    expectRuns("npc_create('ann', 'man.mesh', 'AB')\n"
               "npc_create('kid', 'man.mesh', 'ab', true)");
    Npc& ann = person("ann");
    EXPECT_EQ(sceneManager->getSceneNode("ann"), ann.getNode());
    EXPECT_EQ(sceneManager->getEntity("ann")->getParentSceneNode(), ann.getNode());
    EXPECT_EQ(ann.getNode()->getScale(), Ogre::Vector3(18, 18, 16));
    EXPECT_EQ(person("kid").getNode()->getScale(), Ogre::Vector3(15, 15, 13));
    EXPECT_EQ(ann.getPosition(), Ogre::Vector3::ZERO);
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3::ZERO);
    for (Ogre::AnimationState* a : {ann.stepAnimation(), ann.slapAnimation(), ann.aftersuckAnimation()}) {
        EXPECT_TRUE(a->getLoop());
        EXPECT_FALSE(a->getEnabled());
    }
    EXPECT_EQ(show("npc_get_bloodtype('ann')"), "\"AB\"");
    EXPECT_EQ(show("npc_get_bloodtype('kid')"), "\"0\""); // lenient: not a blood type
    EXPECT_EQ(show("npc_get_annoyancelevel('ann')"), "0");
    EXPECT_EQ(npcAt(0), &ann); // lowest slot first, in creation order
    EXPECT_EQ(npcAt(1), &person("kid"));
}

TEST_F(NpcTest, GettersAndSettersByName) {
    expectRuns("npc_create('ann', 'man.mesh', 'A')");
    expectRuns("npc_set_bloodtype('ann', 'ab')");
    EXPECT_EQ(show("npc_get_bloodtype('ann')"), "\"0\"");
    expectRuns("npc_set_bloodtype('ann', 'B')");
    EXPECT_EQ(show("npc_get_bloodtype('ann')"), "\"B\"");
    expectRuns("npc_set_annoyancelevel('ann', 2.5)");
    EXPECT_EQ(show("npc_get_annoyancelevel('ann')"), "2.5");
    expectRuns("npc_set_annoyancelevel('ann', -40)"); // unclamped
    EXPECT_EQ(show("npc_get_annoyancelevel('ann')"), "-40");

    // Nobody of that name: getters give nil, the rest do nothing.
    EXPECT_EQ(show("npc_get_bloodtype('nobody')"), "nil");
    EXPECT_EQ(show("npc_get_annoyancelevel('nobody')"), "nil");
    EXPECT_EQ(countResults("npc_get_bloodtype('nobody')"), 1);
    expectRuns("npc_walk_towards('nobody', 100, 0, 0); npc_set_position('nobody', 1, 2, 3)\n"
               "npc_start_walking('nobody'); npc_stop_walking('nobody'); npc_animate_slap('nobody')\n"
               "npc_animate_aftersuck('nobody'); npc_set_bloodtype('nobody', 'A')\n"
               "npc_set_annoyancelevel('nobody')");
    EXPECT_EQ(countResults("npc_walk_towards('ann', 0, 0, 0)"), 0);
}

TEST_F(NpcTest, ArgumentsAreCheckedInTheirOrder) {
    expectRuns("npc_create('ann', 'man.mesh', 'A')");
    auto firstBad = [&](const std::string& call) {
        std::string err = run(call);
        std::size_t at = err.find("bad argument #");
        return at == std::string::npos ? err : err.substr(at, 15);
    };
    EXPECT_EQ(firstBad("npc_create()"), "bad argument #3");
    EXPECT_EQ(firstBad("npc_create(nil, nil, 'A')"), "bad argument #2");
    EXPECT_EQ(firstBad("npc_create(nil, 'man.mesh', 'A')"), "bad argument #1");
    EXPECT_EQ(firstBad("npc_walk_towards(nil, nil, 1, 1)"), "bad argument #2");
    EXPECT_EQ(firstBad("npc_walk_towards(nil, 1, 1, 1)"), "bad argument #1");
    EXPECT_EQ(firstBad("npc_set_position(nil, 1, 1, nil)"), "bad argument #4");
    EXPECT_EQ(firstBad("npc_set_bloodtype('nobody')"), "bad argument #2");
    EXPECT_EQ(firstBad("npc_set_annoyancelevel('ann')"), "bad argument #2");
    EXPECT_EQ(firstBad("npc_animate_slap()"), "bad argument #1");
    EXPECT_EQ(peopleCount(), 1);
}

TEST_F(NpcTest, AUsedNameIsAScriptErrorAndTheFirstPersonStays) {
    expectRuns("npc_create('ann', 'man.mesh', 'A'); npc_set_position('ann', 10, 200, 30)\n"
               "npc_walk_towards('ann', 100, 0, 0)");
    std::string err = run("npc_create('ann', 'man.mesh', 'B', true); reached = true");
    EXPECT_NE(err.find("already exists"), std::string::npos) << err;
    EXPECT_EQ(show("reached"), "nil");
    EXPECT_EQ(peopleCount(), 1);
    EXPECT_EQ(show("npc_get_bloodtype('ann')"), "\"A\"");
    EXPECT_EQ(person("ann").getPosition(), Ogre::Vector3(10, 200, 30));
    EXPECT_EQ(person("ann").getVelocity(), Ogre::Vector3(100, 0, 0));
    EXPECT_EQ(person("ann").getNode()->getScale(), Ogre::Vector3(18, 18, 16));
    EXPECT_EQ(sceneManager->getEntity("ann"), person("ann").getEntity());

    // The player's names are taken too.
    err = run("npc_create('Player_camera', 'man.mesh', 'A')");
    EXPECT_NE(err.find("already exists"), std::string::npos) << err;
    EXPECT_FALSE(sceneManager->hasEntity("Player_camera"));
    EXPECT_EQ(peopleCount(), 1);
}

TEST_F(NpcTest, AMeshWithoutTheThreeAnimationsLeavesNothingBehind) {
    nbtest::ensureAnimatedMesh("test_statue.mesh", {});
    nbtest::ensureAnimatedMesh("test_half_person.mesh", {"step", "slap"});
    for (const char* mesh : {"test_statue.mesh", "test_half_person.mesh", "no_such.mesh"}) {
        std::string err = run(std::string("npc_create('bad', '") + mesh + "', 'A')");
        EXPECT_NE(err.find("error running script"), std::string::npos) << mesh;
        EXPECT_EQ(findNpc("bad"), nullptr) << mesh;
        EXPECT_FALSE(sceneManager->hasEntity("bad")) << mesh;
        EXPECT_FALSE(sceneManager->hasSceneNode("bad")) << mesh;
        EXPECT_EQ(peopleCount(), 0);
    }
    EXPECT_NE(run("npc_create('bad', 'gunsight.dds', 'A')").find("\"gunsight.dds\" is not a mesh"),
              std::string::npos);
    EXPECT_EQ(findNpc("bad"), nullptr);
    // The name is free for a proper person afterwards.
    expectRuns("npc_create('bad', 'man.mesh', 'A')");
    EXPECT_EQ(npcAt(0), findNpc("bad"));
}

TEST_F(NpcTest, The513thPersonIsRefused) {
    expectRuns("for i = 1, 512 do npc_create('p' .. i, 'man.mesh', 'A') end");
    EXPECT_EQ(peopleCount(), 512);
    std::string err = run("npc_create('p513', 'man.mesh', 'A')");
    EXPECT_NE(err.find("Too many people"), std::string::npos) << err;
    EXPECT_FALSE(sceneManager->hasEntity("p513"));
    EXPECT_FALSE(sceneManager->hasSceneNode("p513"));
    EXPECT_EQ(npcAt(511), findNpc("p512"));
}

TEST_F(NpcTest, WalkingFacesAgainstTheDirectionAndSlowVectorsStop) {
    expectRuns("npc_create('ann', 'man.mesh', 'A'); npc_walk_towards('ann', 0, 0, -100)");
    Npc& ann = person("ann");
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3(0, 0, -100));
    EXPECT_NEAR((facing("ann") - Ogre::Vector3(0, 0, 1)).length(), 0, 1e-6);
    EXPECT_TRUE(ann.stepAnimation()->getEnabled());
    EXPECT_EQ(ann.stepAnimation()->getTimePosition(), 0.0f);

    expectRuns("npc_walk_towards('ann', 100, 0, 0)");
    EXPECT_NEAR((facing("ann") - Ogre::Vector3(-1, 0, 0)).length(), 0, 1e-5);
    expectRuns("npc_walk_towards('ann', 0, 0, 100)"); // a half turn
    EXPECT_NEAR((facing("ann") - Ogre::Vector3(0, 0, -1)).length(), 0, 1e-5);
    EXPECT_NEAR((ann.getNode()->getOrientation() * Ogre::Vector3::UNIT_Y - Ogre::Vector3::UNIT_Y).length(),
                0, 1e-5);

    expectRuns("npc_animate_slap('ann')");
    expectRuns("npc_walk_towards('ann', 10, 0, -20)"); // every component below 30: stop
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3::ZERO);
    EXPECT_FALSE(ann.stepAnimation()->getEnabled());
    EXPECT_FALSE(ann.slapAnimation()->getEnabled());
    expectRuns("npc_walk_towards('ann', 29.9, -29.9, 30)"); // 30 itself walks
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3(29.9f, -29.9f, 30));
}

TEST_F(NpcTest, AnimationsPlayAtTheirRates) {
    expectRuns("npc_create('ann', 'man.mesh', 'A'); npc_set_position('ann', 0, 115, 0)\n"
               "npc_walk_towards('ann', 30, 0, 40)\n"
               "npc_animate_slap('ann'); npc_animate_aftersuck('ann')");
    Npc& ann = person("ann");
    EXPECT_TRUE(ann.stepAnimation()->getEnabled()); // slapping keeps it walking
    updateNpcs(0.1f);
    EXPECT_NEAR(ann.stepAnimation()->getTimePosition(), 0.01 * 50 * 0.1, 1e-6);
    EXPECT_NEAR(ann.slapAnimation()->getTimePosition(), 0.04, 1e-6);
    EXPECT_NEAR(ann.aftersuckAnimation()->getTimePosition(), 0.04, 1e-6);
    expectRuns("npc_start_walking('ann')"); // rewinds the step, keeps the velocity
    EXPECT_EQ(ann.stepAnimation()->getTimePosition(), 0.0f);
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3(30, 0, 40));
    expectRuns("npc_stop_walking('ann')");
    EXPECT_FALSE(ann.stepAnimation()->getEnabled());
    EXPECT_FALSE(ann.slapAnimation()->getEnabled());
    EXPECT_FALSE(ann.aftersuckAnimation()->getEnabled());
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3::ZERO);
}

TEST_F(NpcTest, SinksTo115AtAHundredPerSecond) {
    expectRuns("npc_create('ann', 'man.mesh', 'A'); npc_set_position('ann', 5, 300, 6)");
    Npc& ann = person("ann");
    updateNpcs(0.1f);
    EXPECT_NEAR(ann.getPosition().y, 290.0, 1e-3);
    for (int i = 0; i < 30; ++i)
        updateNpcs(0.1f);
    EXPECT_EQ(ann.getPosition(), Ogre::Vector3(5, 115, 6));
    updateNpcs(0.1f);
    EXPECT_EQ(ann.getPosition(), Ogre::Vector3(5, 115, 6));
}

TEST_F(NpcTest, TurnsAroundAtACollisionZone) {
    // Zones that stop people reach below the ground: their feet probe lies
    // under the ground by this frame's fall.
    expectRuns("add_collision_zone('wall', 50, -50, -50, 100, 350, 100, 0)\n"
               "npc_create('ann', 'man.mesh', 'A'); npc_set_position('ann', 0, 115, 0)\n"
               "npc_walk_towards('ann', 100, 0, 0)");
    Npc& ann = person("ann");
    const Ogre::Vector3 before = facing("ann");
    for (int i = 0; i < 6; ++i)
        updateNpcs(0.1f); // x 60 at the sixth: inside the wall
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3(-100, 0, 0));
    EXPECT_FLOAT_EQ(ann.getPosition().x, 50.0f); // pushed out through the near face
    EXPECT_FLOAT_EQ(ann.getPosition().y, 115.0f);
    EXPECT_NEAR((facing("ann") + before).length(), 0, 1e-5); // a half turn
    updateNpcs(0.1f);
    EXPECT_FLOAT_EQ(ann.getPosition().x, 40.0f); // walking back
    EXPECT_EQ(ann.getVelocity(), Ogre::Vector3(-100, 0, 0));
}

TEST_F(NpcTest, PeopleWithin60TurnEveryFrameAndTwoCancelOut) {
    expectRuns("npc_create('a', 'man.mesh', 'A'); npc_set_position('a', 0, 115, 0)\n"
               "npc_create('b', 'man.mesh', 'A'); npc_set_position('b', 50, 115, 0)\n"
               "npc_walk_towards('a', 100, 0, 0); npc_walk_towards('b', -100, 0, 0)");
    const Ogre::Vector3 faceA = facing("a");
    updateNpcs(0.01f);
    EXPECT_EQ(person("a").getVelocity(), Ogre::Vector3(-100, 0, 0));
    EXPECT_EQ(person("b").getVelocity(), Ogre::Vector3(100, 0, 0));
    EXPECT_NEAR((facing("a") + faceA).length(), 0, 1e-5);
    updateNpcs(0.01f); // still within 60: back again, stepping on the spot
    EXPECT_EQ(person("a").getVelocity(), Ogre::Vector3(100, 0, 0));
    EXPECT_EQ(person("b").getVelocity(), Ogre::Vector3(-100, 0, 0));

    // A third in range of both: each of them sees two others and keeps its
    // velocity, turning twice.
    expectRuns("npc_create('c', 'man.mesh', 'A'); npc_set_position('c', 25, 115, 20)\n"
               "npc_walk_towards('c', 0, 0, 100)");
    const Ogre::Vector3 faceC = facing("c");
    updateNpcs(0.01f);
    EXPECT_EQ(person("c").getVelocity(), Ogre::Vector3(0, 0, 100));
    EXPECT_NEAR((facing("c") - faceC).length(), 0, 1e-5);
    EXPECT_EQ(person("a").getVelocity(), Ogre::Vector3(100, 0, 0));
}

TEST_F(NpcTest, SetPositionIsPushedOutOfZonesButNotOntoTheGround) {
    expectRuns("add_collision_zone('box', 0, 0, 0, 100, 50, 100, 0)\n"
               "npc_create('ann', 'man.mesh', 'A'); npc_set_position('ann', 50, 45, 50)");
    EXPECT_EQ(person("ann").getPosition(), Ogre::Vector3(50, 50, 50)); // top face nearest
    expectRuns("npc_set_position('ann', 500, 700, -3)");
    EXPECT_EQ(person("ann").getPosition(), Ogre::Vector3(500, 700, -3)); // even in the air
}

TEST_F(NpcTest, BadNumbersAreRefused) {
    expectRuns("npc_create('ann', 'man.mesh', 'A'); npc_set_position('ann', 1, 115, 2)\n"
               "npc_walk_towards('ann', 0, 0, 50)");
    for (const char* call : {"npc_set_position('ann', 0/0, 0, 0)", "npc_set_position('ann', 0, 1/0, 0)",
                             "npc_set_position('ann', 0, 0, -1e39)", "npc_walk_towards('ann', 0/0, 0, 0)",
                             "npc_walk_towards('ann', 0, 0, -1/0)"}) {
        std::string err = run(call);
        EXPECT_NE(err.find("finite number expected"), std::string::npos) << call << ": " << err;
    }
    std::string err = run("npc_walk_towards('ann', 1e30, 0, 0)");
    EXPECT_NE(err.find("walking speed out of range"), std::string::npos) << err;
    EXPECT_EQ(person("ann").getPosition(), Ogre::Vector3(1, 115, 2));
    EXPECT_EQ(person("ann").getVelocity(), Ogre::Vector3(0, 0, 50));

    // The fastest accepted walk still leaves the numbers finite, and the
    // annoyance level is the scripts' own: any number is kept.
    expectRuns("npc_walk_towards('ann', 1e6, -1e6, 1e6); npc_set_annoyancelevel('ann', 1/0)");
    for (int i = 0; i < 100; ++i)
        updateNpcs(1.0f);
    const Ogre::Vector3 p = person("ann").getPosition();
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << p;
    EXPECT_FALSE(person("ann").getNode()->getOrientation().isNaN());
    EXPECT_TRUE(std::isfinite(person("ann").stepAnimation()->getTimePosition()));
}

} // namespace
