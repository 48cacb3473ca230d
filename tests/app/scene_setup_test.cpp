// The scene that start-up builds and the chase camera, on a headless engine.
#include "app/player_camera.h"
#include "app/scene_setup.h"
#include "support/headless.h"
#include "util/globals.h"

#include <Ogre.h>

#include <cmath>

namespace {

class SceneSetupTest : public nbtest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        // Textures need a render system; the sky's material is kept, without
        // its cloud texture, so that the dome can be built headless.
        auto sky = Ogre::MaterialManager::getSingleton().getByName("Examples/CloudySky");
        ASSERT_TRUE(sky) << "the media do not define Examples/CloudySky";
        for (Ogre::Technique* t : sky->getTechniques())
            for (Ogre::Pass* p : t->getPasses())
                p->removeAllTextureUnitStates();
    }
};

TEST_F(SceneSetupTest, SunLightIsADirectionalGreyLightAlongTheFixedDirection) {
    buildScene(sceneManager);
    ASSERT_TRUE(sceneManager->hasLight("SunLight"));
    Ogre::Light* sun = sceneManager->getLight("SunLight");
    EXPECT_EQ(sun->getType(), Ogre::Light::LT_DIRECTIONAL);
    EXPECT_EQ(sun->getDiffuseColour(), Ogre::ColourValue(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(sun->getSpecularColour(), Ogre::ColourValue(0.5f, 0.5f, 0.5f));
    sun->getParentSceneNode()->_update(true, false);
    Ogre::Vector3 expected = Ogre::Vector3(0.5f, -1.0f, 1.0f).normalisedCopy();
    EXPECT_TRUE(sun->getDerivedDirection().positionEquals(expected, 1e-5f))
        << sun->getDerivedDirection();
    // No ambient light is set.
    EXPECT_EQ(sceneManager->getAmbientLight(), Ogre::ColourValue::Black);
}

TEST_F(SceneSetupTest, SkyDomeUsesTheCloudyMaterial) {
    buildScene(sceneManager);
    EXPECT_TRUE(sceneManager->isSkyDomeEnabled());
    ASSERT_NE(sceneManager->getSkyDomeNode(), nullptr);
    auto params = sceneManager->getSkyDomeGenParameters();
    EXPECT_FLOAT_EQ(params.skyDomeCurvature, 5);
    EXPECT_FLOAT_EQ(params.skyDomeTiling, 8);
    EXPECT_FLOAT_EQ(params.skyDomeDistance, 4000);
    EXPECT_EQ(params.skyDomeXSegments, 16);
    EXPECT_EQ(params.skyDomeYSegments, 16);
    // The dome's sections are drawn with the cloudy material.
    Ogre::Entity* plane = nullptr;
    for (auto* object : sceneManager->getSkyDomeNode()->getAttachedObjects())
        if (object->getMovableType() == "Entity")
            plane = static_cast<Ogre::Entity*>(object);
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->getSubEntity(0)->getMaterialName(), "Examples/CloudySky");
}

TEST_F(SceneSetupTest, CameraIsBuiltOnTwoNamedNodesThatTrackEachOther) {
    PlayerCamera camera(sceneManager);
    Ogre::SceneNode* node = sceneManager->getSceneNode("PlayerCamera");
    Ogre::SceneNode* target = sceneManager->getSceneNode("PlayerCamera_target");
    EXPECT_EQ(camera.getCameraNode(), node);
    EXPECT_EQ(camera.getTargetNode(), target);
    EXPECT_EQ(node->getParent(), sceneManager->getRootSceneNode());
    EXPECT_EQ(target->getParent(), sceneManager->getRootSceneNode());
    EXPECT_EQ(node->getAutoTrackTarget(), target);
    EXPECT_EQ(node->getAutoTrackLocalDirection(), Ogre::Vector3::NEGATIVE_UNIT_Z);
    EXPECT_EQ(camera.getCamera()->getName(), "PlayerCamera");
    EXPECT_EQ(camera.getCamera()->getParentSceneNode(), node);
    EXPECT_FLOAT_EQ(camera.getCamera()->getNearClipDistance(), 5);
}

TEST_F(SceneSetupTest, EachUpdateHalvesTheGapWhateverTheStart) {
    PlayerCamera camera(sceneManager);
    const Ogre::Vector3 goal(100, 50, -300), sight(100, 0, -200);
    for (int n = 1; n <= 10; ++n) {
        camera.updatePlayerCamera(goal, sight);
        float remaining = std::pow(0.5f, n);
        EXPECT_TRUE(camera.getCameraNode()->getPosition().positionEquals(
            goal * (1 - remaining), 1e-3f))
            << "update " << n << ": " << camera.getCameraNode()->getPosition();
        EXPECT_TRUE(camera.getTargetNode()->getPosition().positionEquals(
            sight * (1 - remaining), 1e-3f));
    }
    // The step is a fraction of the gap, not of time: a far goal is chased
    // just as fast in relative terms.
    Ogre::Vector3 before = camera.getCameraNode()->getPosition();
    Ogre::Vector3 farGoal(-5000, 2000, 7000);
    camera.updatePlayerCamera(farGoal, sight);
    EXPECT_TRUE(camera.getCameraNode()->getPosition().positionEquals((before + farGoal) / 2, 1e-2f));
}

TEST_F(SceneSetupTest, CameraNeverRollsWhileChasing) {
    PlayerCamera camera(sceneManager);
    const Ogre::Vector3 goals[] = {{0, 50, -100}, {300, 400, 200}, {-50, 10, 80}};
    for (const Ogre::Vector3& goal : goals) {
        for (int i = 0; i < 8; ++i) {
            camera.updatePlayerCamera(goal, goal + Ogre::Vector3(30, -40, 100));
            // What the scene manager does before it renders a frame.
            sceneManager->getRootSceneNode()->_update(true, false);
            camera.getCameraNode()->_autoTrack();
            sceneManager->getRootSceneNode()->_update(true, false);
        }
        // The camera's local X axis stays horizontal: no roll.
        Ogre::Vector3 right = camera.getCameraNode()->_getDerivedOrientation().xAxis();
        EXPECT_NEAR(right.y, 0, 1e-4f);
        // And it looks at the target node.
        Ogre::Vector3 view = -camera.getCameraNode()->_getDerivedOrientation().zAxis();
        Ogre::Vector3 toTarget = (camera.getTargetNode()->_getDerivedPosition() -
                                  camera.getCameraNode()->_getDerivedPosition())
                                     .normalisedCopy();
        EXPECT_TRUE(view.positionEquals(toTarget, 1e-3f)) << view << " vs " << toTarget;
    }
}

} // namespace
