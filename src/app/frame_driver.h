// One frame of the game in the frame listener's order, from controls gathered
// beforehand: the listener runs it after reading its devices, and headless
// tests run it with made-up controls and no window.
#pragma once
#include "app/hot_key_clock.h"
#include "app/take_off_hold.h"
#include "player/flight.h"

// The controls of one frame beyond the insect's own.
struct FrameInput {
    flight::PlayerInput player;
    bool quit = false;     // Escape or Q
    bool newGame = false;  // F3
    bool saveGame = false; // F5
    bool loadGame = false; // F8
    int body = -1;         // the first body key (1..4) held, as 0..3; -1 none
    bool guideKey = false; // H pressed since the last frame
    HotKeyClock clock;     // when the hot keys are read
};

enum class FrameOutcome {
    Continue,
    Quit,         // the player asked to end; the frame has still run through
    TriggersStop, // the trigger pass ended the game; the frame stopped there
};

class PlayerCamera;

// Runs on the player, the people and the script host; moves the camera it is
// given, if any; keeps the hot keys' guard from frame to frame.
class FrameDriver {
public:
    explicit FrameDriver(PlayerCamera* camera = nullptr) : camera(camera) {}
    void setCamera(PlayerCamera* c) { camera = c; }

    // Triggers, the HUD, the frame time, the people, the hot keys or body keys,
    // the guide key, the insect's step, the camera, the "frame_started"
    // event, then the display's aids.
    FrameOutcome runFrame(double dt, const FrameInput& input);

    // A frame of a paused game: no game time passes and nothing moves or
    // runs, but the display shows what is heard and the wings fall silent.
    // Quit (Escape, Q) ends the game from here too.
    FrameOutcome runPausedFrame(const FrameInput& input);

private:
    // Raises a hot-key event when the guard allows it.
    bool hotKey(const HotKeyClock& now, const char* event, const char* file);

    HotKeyGuard hotKeys;
    TakeOffHold takeOff;
    PlayerCamera* camera;
};
