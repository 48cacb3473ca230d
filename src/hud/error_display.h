// The script errors on screen: the overlay "Nightbite_errors", in red at the
// left, under the message and above the guide, the last few errors of
// scriptErrors() (script/script_errors.h), each as "SCRIPT:LINE: MESSAGE"
// with its count ("×240") when it repeated. Main thread only.
#pragma once
#include "hud/text_fit.h"
#include "script/script_errors.h"

#include <string>

namespace Ogre {
class OverlayElement;
} // namespace Ogre

// "SCRIPT:LINE: MESSAGE", or "SCRIPT: MESSAGE" without a line, made fit for
// the display as hud_message text is (one line; the display wraps it).
std::string scriptErrorText(const ScriptErrorSink::Entry& error);

class ErrorDisplay {
public:
    static constexpr std::size_t kLinesPerError = 2;

    // Finds the overlay's elements (the engine throws when one is missing)
    // and shows the overlay.
    ErrorDisplay();

    // Redraws when the errors have changed since the last call.
    void update(const ScriptErrorSink& errors);

private:
    Ogre::OverlayElement* panel;
    Ogre::OverlayElement* text;
    double lineHeight;
    double padding;
    TextFit fit;
    unsigned shownVersion = ~0u;
};

// The game's, made at start-up; null in a game without the overlay.
extern ErrorDisplay* errorDisplay;
// Null, with a line on standard error, when the media lack the overlay.
ErrorDisplay* makeErrorDisplay();
// Updates the game's display of errors, if there is one.
void updateErrorDisplay();
