#include "app/frame_driver.h"

#include "app/player_camera.h"
#include "audio/sound_output.h"
#include "hud/display_aids.h"
#include "hud/display_text.h"
#include "hud/hud.h"
#include "npc/npc.h"
#include "player/player.h"
#include "script/script_errors.h"
#include "script/script_host.h"
#include "util/globals.h"
#include "world/triggers.h"
#include "world/world_batch.h"

#include <OgreSceneNode.h>

bool FrameDriver::hotKey(const HotKeyClock& now, const char* event, const char* file) {
    if (!acceptHotKey(hotKeys, now))
        return false;
    if (file)
        runScript(event, {{"file", file}});
    else
        runScript(event, {});
    return true;
}

FrameOutcome FrameDriver::runFrame(double dt, const FrameInput& input) {
    PlayerCharacter& insect = player->getCharacter();
    if (!checkTriggers(insect.getPosition()))
        return FrameOutcome::TriggersStop;
    hudText().advance(dt);
    scriptErrors().advance(dt);
    updateHud();
    frameTime = dt;
    updateNpcs(static_cast<float>(frameTime));

    bool quit = false;
    if (input.player.hasKeyboard) {
        // The first row that applies acts; a guarded key that may not act yet
        // lets the following rows be tried.
        if (input.quit) {
            quit = true;
        } else if (input.newGame && hotKey(input.clock, "new_game", nullptr)) {
        } else if (input.saveGame && hotKey(input.clock, "save_game", "test")) {
        } else if (input.loadGame && hotKey(input.clock, "load_game", "test")) {
        } else if (input.body >= 0 && input.body < kBodyVariants) {
            insect.selectBody(input.body);
        }
        if (input.guideKey)
            runScript("guide_key", {});
    }
    flight::PlayerInput controls = input.player;
    controls.keys.space = takeOff.spaceDown(controls.keys.space, insect.getSuckedNpc() != nullptr);
    insect.update(static_cast<float>(frameTime), controls);
    // The wings are heard while the insect flies: neither sitting nor holding
    // on to a person.
    if (soundOutput)
        soundOutput->setBuzz(static_cast<float>(insect.getThrust()),
                             !insect.flightState().sitting && !insect.getSuckedNpc());
    // Tests without a camera run everything else.
    if (camera) {
        camera->updatePlayerCamera(insect.cameraNode()->_getDerivedPosition(),
                                   insect.sightNode()->_getDerivedPosition());
        camera->keepInTheOpen(insect.getPosition());
    }
    runScript("frame_started", {});
    updateDisplayAids(input.player.mouse, camera ? camera->getCamera() : nullptr);
    // Last, so that whatever the scripts moved this frame is drawn where it is.
    batchStillWorldObjects();
    return quit ? FrameOutcome::Quit : FrameOutcome::Continue;
}

FrameOutcome FrameDriver::runPausedFrame(const FrameInput& input) {
    updateHud();
    if (soundOutput)
        soundOutput->setBuzz(0.0f, false);
    return input.player.hasKeyboard && input.quit ? FrameOutcome::Quit : FrameOutcome::Continue;
}
