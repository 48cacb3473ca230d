// Text that scripts put on the display: a status line that stays, and a
// message in the middle of the screen that goes after a while. Kept here
// without the engine, so that scripts run the same with no window.
#pragma once
#include <cstddef>
#include <string>

// What the display can draw of bytes from a script: valid UTF-8 in the font's
// characters, at most maxCharacters of them per line and maxLines lines. A
// byte sequence that is not UTF-8, a control character or a character the
// font lacks becomes "?"; tabs become spaces; line breaks are kept only when
// maxLines > 1. A clipped line ends in "…".
std::string displayText(const char* bytes, std::size_t length, std::size_t maxCharacters,
                        std::size_t maxLines);

class HudText {
public:
    static constexpr std::size_t statusCharacters = 72;
    static constexpr std::size_t messageCharacters = 60;
    static constexpr std::size_t messageLines = 4;

    // An empty text clears. A message replaces the one before; it shows for
    // the given seconds of game time (less than a frame still shows once).
    void setStatus(const char* bytes, std::size_t length);
    void showMessage(const char* bytes, std::size_t length, double seconds);

    // Counts the message's time down by one frame.
    void advance(double dt);

    const std::string& status() const { return statusLine; }
    // Empty once its time is up.
    const std::string& message() const { return messageText; }
    // Bumped on every change, so that the display recaptions only then.
    unsigned version() const { return changes; }

private:
    std::string statusLine;
    std::string messageText;
    double messageLeft = 0;
    bool shownOnce = false;
    unsigned changes = 0;
};

// The game's one display text, written by scripts and read by the display.
HudText& hudText();
