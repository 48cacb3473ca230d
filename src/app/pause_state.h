// Whether the game stands still, and why. Each reason is set and cleared on
// its own; the game runs only while none is set. While paused, the people,
// the flight, the frame script and every game-time timer stand still, drawing
// goes on, and the keyboard and pointer are let go.
#pragma once

enum class PauseReason : unsigned {
    Player = 1u << 0,    // P, or the pause screen's own choice
    FocusLost = 1u << 1, // the window lost the keyboard focus
    Box = 1u << 2,       // a message box is up
    Console = 1u << 3,   // a console is open over the game
};

class PauseState {
public:
    void set(PauseReason reason, bool on) {
        const unsigned bit = static_cast<unsigned>(reason);
        reasons = on ? (reasons | bit) : (reasons & ~bit);
    }
    bool has(PauseReason reason) const { return (reasons & static_cast<unsigned>(reason)) != 0; }
    bool paused() const { return reasons != 0; }

    // P: a game paused by the player or by a lost focus resumes (both
    // reasons go); any other game pauses for the player.
    void togglePlayer() {
        if (showsPauseScreen()) {
            set(PauseReason::Player, false);
            set(PauseReason::FocusLost, false);
        } else {
            set(PauseReason::Player, true);
        }
    }
    // The pause screen, with the controls and the settings, shows for the
    // player's pause and for a lost focus.
    bool showsPauseScreen() const {
        return has(PauseReason::Player) || has(PauseReason::FocusLost);
    }

private:
    unsigned reasons = 0;
};
