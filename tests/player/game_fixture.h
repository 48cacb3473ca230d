// The headless fixture with the game's player and people: a Player in the
// global `player`, an empty NpcTable, and the insect and person meshes (the
// generated media when present, else small stand-ins with the same names and
// animations, made here).
#pragma once
#include "app/frame_driver.h"
#include "player/test_meshes.h"
#include "support/headless.h"

#include <OgreVector.h>

#include <initializer_list>
#include <string>

namespace OIS {
class Keyboard;
}

namespace nbtest {

// The person mesh the tests use: "man.mesh".
extern const char* const kPersonMesh;

class GameTest : public HeadlessTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A frame of the insect: the keyboard step, then the flight step, with the
    // cursor at (x, y) of an 800 x 600 area.
    void frame(float dt, int x = 400, int y = 300, bool right = false);
    void keys(float level, bool f1, bool f2, bool space);

    // A whole frame of the game through the frame driver (with the player
    // camera, made on first use), as the frame listener runs it: keyboard and
    // mouse present, the cursor at the centre of 800 x 600, no key held, the
    // lift at level.
    FrameOutcome gameFrame(float dt, float level = 0);
    // A whole frame with controls of the caller's.
    FrameOutcome gameFrame(float dt, const FrameInput& input);

    FrameDriver driver;
    PlayerCamera* camera = nullptr; // made by the first gameFrame
};

} // namespace nbtest
