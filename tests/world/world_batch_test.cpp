// World objects that keep still are drawn from one batch; scripts still see
// each object as it was, and any change takes it out of the batch at once.
#include "support/headless.h"
#include "util/globals.h"
#include "world/world_batch.h"
#include "world/world_objects.h"

#include <Ogre.h>

namespace {

class WorldBatchTest : public nbtest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        startScripts();
    }
    static void frames(int n) {
        for (int i = 0; i < n; ++i)
            batchStillWorldObjects();
    }
    static bool hidden(const char* name) { return !sceneManager->getEntity(name)->getVisible(); }
};

TEST_F(WorldBatchTest, StillObjectsAreDrawnFromTheBatchWhereTheyStand) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')\n"
                  "create_world_object('b', 'crate.mesh')\n"
                  "set_world_object_position('b', 100, 0, 0)\n"
                  "set_world_object_scale('b', 50, 50, 50)\n"
                  "yaw_world_object('b', 0.5)\n"
                  "create_world_object('pool', 'lamp_pool.mesh')\n"
                  "create_world_object('far', 'box.mesh')\n"
                  "set_world_object_position('far', 10000000, 0, 0)\n"
                  "set_world_object_scale('far', 1000, 1000, 1000)"),
              "");
    frames(kStillFramesToBatch - 1);
    EXPECT_EQ(batchedWorldObjectCount(), 0);
    EXPECT_FALSE(hidden("a"));
    frames(1);
    EXPECT_EQ(batchedWorldObjectCount(), 1);
    EXPECT_TRUE(hidden("a"));
    EXPECT_FALSE(hidden("b")); // moved before the first frame: it starts counting there
    frames(1);
    // The see-through pool keeps its own place among the see-through things;
    // an object reaching past the batch's regions is drawn on its own.
    EXPECT_EQ(batchedWorldObjectCount(), 2);
    EXPECT_EQ(depthBatchedWorldObjectCount(), 2);
    EXPECT_TRUE(hidden("a"));
    EXPECT_TRUE(hidden("b"));
    EXPECT_FALSE(hidden("pool"));
    EXPECT_FALSE(hidden("far"));
    EXPECT_EQ(show("get_world_object_position('b')"), "{100, 0, 0}");
    EXPECT_EQ(show("get_world_object_scale('b')"), "{50, 50, 50}");

    // The batch holds both where they stand: its box is theirs together.
    sceneManager->getRootSceneNode()->_update(true, false);
    Ogre::AxisAlignedBox both = sceneManager->getEntity("a")->getWorldBoundingBox(true);
    both.merge(sceneManager->getEntity("b")->getWorldBoundingBox(true));
    Ogre::AxisAlignedBox batched;
    for (const auto& entry :
         sceneManager->getStaticGeometry("Nightbite/WorldObjects/Still")->getRegions()) {
        const Ogre::StaticGeometry::Region* region = entry.second;
        Ogre::AxisAlignedBox box = region->getBoundingBox();
        box.setExtents(box.getMinimum() + region->getCentre(),
                       box.getMaximum() + region->getCentre());
        batched.merge(box);
    }
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(batched.getMinimum()[axis], both.getMinimum()[axis], 1e-3) << axis;
        EXPECT_NEAR(batched.getMaximum()[axis], both.getMaximum()[axis], 1e-3) << axis;
    }
}

TEST_F(WorldBatchTest, AnyChangeTakesAnObjectOutAtOnce) {
    ASSERT_EQ(run("create_world_object('a', 'box.mesh')\n"
                  "create_world_object('b', 'crate.mesh')"),
              "");
    const char* changes[] = {
        "set_world_object_position('a', 1, 2, 3)",
        "yaw_world_object('a', 0.5)",
        "pitch_world_object('a', 0.5)",
        "roll_world_object('a', 0.5)",
        "set_world_object_scale('a', 2, 2, 2)",
        "set_world_object_scale_bbox('a', 3, 3, 3)",
        "set_world_object_orientation('a', 0, 0, -1, 0, 1, 0, 1, 0, 0)",
    };
    for (const char* change : changes) {
        SCOPED_TRACE(change);
        frames(kStillFramesToBatch);
        ASSERT_EQ(batchedWorldObjectCount(), 2);
        ASSERT_EQ(run(change), "");
        frames(1);
        EXPECT_FALSE(hidden("a"));
        EXPECT_TRUE(hidden("b"));
        EXPECT_EQ(batchedWorldObjectCount(), 1);
    }
    // Put where it already stands, it has not moved.
    frames(kStillFramesToBatch);
    ASSERT_EQ(run("set_world_object_position('b', 0, 0, 0)"), "");
    frames(1);
    EXPECT_EQ(batchedWorldObjectCount(), 2);
    // Gone, it leaves the batch in the same frame; a new object of its name
    // starts outside.
    ASSERT_EQ(run("destroy_world_object('b')\ncreate_world_object('b', 'box.mesh')"), "");
    frames(1);
    EXPECT_EQ(batchedWorldObjectCount(), 1);
    EXPECT_FALSE(hidden("b"));
}

} // namespace
