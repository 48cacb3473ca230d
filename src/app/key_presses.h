// Key presses between two frames. The game reads the held keys once a frame,
// so a key pressed and let go between two frames (a quick tap, or a slow
// frame) would leave no trace there; the input library reports each press
// here as it comes, and the frame takes it once.
#pragma once
#include <OISKeyboard.h>

#include <array>

class KeyPresses : public OIS::KeyListener {
public:
    bool keyPressed(const OIS::KeyEvent& event) override {
        if (event.key >= 0 && event.key < static_cast<int>(pressed.size()))
            pressed[event.key] = true;
        return true;
    }
    bool keyReleased(const OIS::KeyEvent&) override { return true; }

    // Whether the key went down since the last take of it.
    bool take(OIS::KeyCode key) {
        const bool was = pressed[key];
        pressed[key] = false;
        return was;
    }

private:
    std::array<bool, 256> pressed{};
};
