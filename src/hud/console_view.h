// The console over the game: the overlay "Nightbite_console" across the
// bottom of the window, with the last lines of output above one input line.
// It shows what it is given; app/console.* decides what that is. Main
// thread only.
#pragma once
#include "hud/text_fit.h"

#include <array>
#include <cstddef>
#include <deque>
#include <string>

namespace Ogre {
class Overlay;
class OverlayElement;
} // namespace Ogre

struct ConsoleViewLine {
    enum class Kind { Typed, Printed, Result, Error, Hint };
    Kind kind;
    std::string text; // display text: made fit by displayText already, one line
};

class ConsoleView {
public:
    static constexpr std::size_t kOutputLines = 8;

    // Finds the overlay and its elements; the engine throws when one is
    // missing. Hidden at first.
    ConsoleView();

    void show(bool on);

    // Shows the last lines of output and the input with its caret at the
    // byte offset cursor; redraws only when version or the window's width
    // has changed.
    void update(const std::deque<ConsoleViewLine>& output, const std::string& input,
                std::size_t cursor, unsigned version);

private:
    Ogre::Overlay* overlay;
    Ogre::OverlayElement* panel;
    std::array<Ogre::OverlayElement*, kOutputLines> lines{};
    Ogre::OverlayElement* inputLine;
    TextFit fit;
    double textLeft;
    unsigned shownVersion = ~0u;
    int shownWidth = -1;
};

// Null, with a line on standard error, when the media lack the overlay.
ConsoleView* makeConsoleView();
