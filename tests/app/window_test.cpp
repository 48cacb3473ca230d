// Set-up steps that need a real render system and window: the viewport and
// the camera's aspect ratio. Runs under a virtual X server (see
// tests/e2e/window_tier.sh).
#include "app/player_camera.h"
#include "app/scene_setup.h"
#include "util/globals.h"

#include <Ogre.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        logs = new Ogre::LogManager;
        logs->createLog((std::filesystem::temp_directory_path() / "nb_window_test.log").string(),
                        true, false, false);
        engine = new Ogre::Root("", "", "");
        engine->loadPlugin(std::string(NB_OGRE_PLUGIN_DIR) + "/RenderSystem_GL");
        engine->setRenderSystem(engine->getAvailableRenderers().front());
        engine->initialise(false);
    }
    static void TearDownTestSuite() {
        delete engine;
        delete logs;
    }
    void SetUp() override { sceneManager = engine->createSceneManager(); }
    void TearDown() override {
        engine->destroySceneManager(sceneManager);
        sceneManager = nullptr;
    }
    static Ogre::LogManager* logs;
    static Ogre::Root* engine;
};
Ogre::LogManager* WindowTest::logs = nullptr;
Ogre::Root* WindowTest::engine = nullptr;

TEST_F(WindowTest, ViewportCoversTheWindowInOpaqueBlackWithTheWindowsAspectRatio) {
    const struct {
        unsigned width, height;
    } sizes[] = {{1280, 720}, {640, 480}, {333, 777}};
    for (auto size : sizes) {
        Ogre::RenderWindow* window = engine->createRenderWindow("Nightbite", size.width,
                                                                size.height, false);
        PlayerCamera camera(sceneManager);
        Ogre::Viewport* viewport = setupViewport(window, camera.getCamera());
        EXPECT_EQ(viewport->getBackgroundColour(), Ogre::ColourValue(0, 0, 0, 1));
        EXPECT_EQ(viewport->getActualLeft(), 0);
        EXPECT_EQ(viewport->getActualTop(), 0);
        EXPECT_EQ(unsigned(viewport->getActualWidth()), window->getWidth());
        EXPECT_EQ(unsigned(viewport->getActualHeight()), window->getHeight());
        EXPECT_FLOAT_EQ(camera.getCamera()->getAspectRatio(),
                        float(window->getWidth()) / float(window->getHeight()));
        sceneManager->clearScene();
        sceneManager->destroyAllCameras();
        engine->destroyRenderTarget(window);
    }
}

} // namespace
