// Finite numbers near the float limit, from scripts, must not reach the
// engine's bounding boxes as overflows: the engine asserts on them and the
// process ends. The scene is updated the way a frame updates it: the chase
// camera follows the insect, then every node's bounds are recomputed.
#include "app/player_camera.h"
#include "npc/npc.h"
#include "player/game_fixture.h"
#include "player/player.h"
#include "util/globals.h"
#include "world/world_bounds.h"

#include <Ogre.h>

#include <cmath>

namespace {

class WorldBoundsTest : public nbtest::GameTest {
protected:
    void frame(PlayerCamera& camera) {
        PlayerCharacter& insect = player->getCharacter();
        camera.updatePlayerCamera(insect.cameraNode()->_getDerivedPosition(),
                                  insect.sightNode()->_getDerivedPosition());
        sceneManager->getRootSceneNode()->_update(true, false);
    }
    static bool finite(const Ogre::AxisAlignedBox& box) {
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite(box.getMinimum()[i]) || !std::isfinite(box.getMaximum()[i]))
                return false;
        return true;
    }
};

TEST_F(WorldBoundsTest, FloatSizedPositionsAndScalesAbortNothing) {
    startScripts();
    PlayerCamera camera(sceneManager);
    for (const char* z : {"3.4e38", "-3.4e38"}) {
        ASSERT_EQ(run(std::string("set_player_position(0, 0, ") + z + ")"), "");
        frame(camera);
    }
    EXPECT_EQ(show("get_player_position()"), "{0, 0, -10000000}");
    EXPECT_TRUE(finite(camera.getCamera()->getWorldBoundingBox(true)));

    // A person far out takes the insect along once it sits on them.
    ASSERT_EQ(run("npc_create('ann', 'man.mesh', 'A')\n"
                  "npc_set_position('ann', 3.4e38, 0, -3.4e38)"),
              "");
    EXPECT_EQ(findNpc("ann")->getPosition(), Ogre::Vector3(kWorldLimit, 0, -kWorldLimit));

    ASSERT_EQ(run("create_world_object('w', 'house.mesh')\n"
                  "set_world_object_position('w', -3.4e38, 3.4e38, 0)\n"
                  "set_world_object_scale('w', 1e36, -1e36, 1e36)"),
              "");
    frame(camera);
    Ogre::Entity* house = sceneManager->getEntity("w");
    EXPECT_TRUE(finite(house->getWorldBoundingBox(true)));
    EXPECT_TRUE(finite(sceneManager->getRootSceneNode()->_getWorldAABB()));
    const Ogre::Vector3 scale = house->getParentSceneNode()->getScale();
    EXPECT_GT(scale.x, 1.0f);
    EXPECT_LT(scale.y, -1.0f);
    EXPECT_LE(house->getBoundingBox().getMaximum().z * scale.z, kWorldLimit * 1.0001f);
}

} // namespace
