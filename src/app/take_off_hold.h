// Space lets go of a person. Let go, the insect hangs within the person's
// reach, so the flight step of the same frame takes hold again; it gets away
// on the second frame with Space down. A tap of Space that the game sees in
// one frame only must work all the same: a press while attached counts as
// held until the insect is free, for a few frames at most.
#pragma once

class TakeOffHold {
public:
    static constexpr int kFrames = 4;

    // Whether Space counts as down this frame, given whether it is down or
    // was pressed since the last frame, and whether the insect holds on.
    bool spaceDown(bool pressed, bool attached) {
        if (!attached)
            framesLeft = 0;
        else if (pressed)
            framesLeft = kFrames;
        const bool down = pressed || framesLeft > 0;
        if (framesLeft > 0)
            --framesLeft;
        return down;
    }

private:
    int framesLeft = 0;
};
