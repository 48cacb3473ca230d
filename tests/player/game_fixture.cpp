#include "player/game_fixture.h"

#include "app/player_camera.h"
#include "hud/hud.h"
#include "npc/npc.h"
#include "player/player.h"
#include "util/globals.h"

#include <Ogre.h>

namespace nbtest {

const char* const kPersonMesh = "man.mesh";

void GameTest::SetUp() {
    HeadlessTest::SetUp();
    for (const char* body : {"komar_nic.mesh", "komar_motor.mesh", "komar_nadrze.mesh", "komar_full.mesh"})
        ensureAnimatedMesh(body, {"let", "sedi"});
    ensureAnimatedMesh(kPersonMesh, {"step", "slap", "aftersuck"});
    clearNpcTable();
    player = new Player();
}

void GameTest::TearDown() {
    clearNpcTable();
    delete hud;
    hud = nullptr;
    delete player;
    player = nullptr;
    // Its nodes and camera go with the scene.
    delete camera;
    camera = nullptr;
    driver.setCamera(nullptr);
    HeadlessTest::TearDown();
}

void GameTest::frame(float dt, int x, int y, bool right) {
    flight::MouseInput mouse;
    mouse.x = x;
    mouse.y = y;
    mouse.width = 800;
    mouse.height = 600;
    mouse.rightButton = right;
    player->getCharacter().updateFlight(dt, mouse);
}

void GameTest::keys(float level, bool f1, bool f2, bool space) {
    flight::KeyInput k;
    k.level = level;
    k.f1 = f1;
    k.f2 = f2;
    k.space = space;
    player->getCharacter().updateFromKeyboard(k);
}

FrameOutcome GameTest::gameFrame(float dt, float level) {
    FrameInput input;
    input.player.hasKeyboard = true;
    input.player.hasMouse = true;
    input.player.keys.level = level;
    input.player.mouse.x = 400;
    input.player.mouse.y = 300;
    input.player.mouse.width = 800;
    input.player.mouse.height = 600;
    return gameFrame(dt, input);
}

FrameOutcome GameTest::gameFrame(float dt, const FrameInput& input) {
    if (!camera) {
        camera = new PlayerCamera(sceneManager);
        driver.setCamera(camera);
    }
    return driver.runFrame(dt, input);
}

} // namespace nbtest
