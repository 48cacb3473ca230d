#include "hud/error_display.h"

#include "hud/display_text.h"

#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayElement.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgreTextAreaOverlayElement.h>

#include <algorithm>
#include <cstdio>

namespace {

// Longer than any two lines the panel holds; the rest is cut anyway.
constexpr std::size_t kMaxErrorCharacters = 400;

Ogre::TextAreaOverlayElement* textArea(Ogre::OverlayElement* element) {
    if (element->getTypeName() != "TextArea")
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, element->getName() + " is not a TextArea",
                    "ErrorDisplay");
    return static_cast<Ogre::TextAreaOverlayElement*>(element);
}

TextFit fitOf(Ogre::OverlayElement* element) {
    Ogre::TextAreaOverlayElement* area = textArea(element);
    const std::string font = area->getFont() ? area->getFont()->getName() : "NightbiteFont";
    return TextFit(font.c_str(), area->getCharHeight(), area->getSpaceWidth());
}

} // namespace

std::string scriptErrorText(const ScriptErrorSink::Entry& error) {
    std::string text = error.event;
    if (error.line > 0)
        text += ":" + std::to_string(error.line);
    text += ": " + error.message;
    return displayText(text.data(), text.size(), kMaxErrorCharacters, 1);
}

ErrorDisplay::ErrorDisplay()
    : panel(Ogre::OverlayManager::getSingleton().getOverlayElement("Nightbite_errors/Panel")),
      text(Ogre::OverlayManager::getSingleton().getOverlayElement("Nightbite_errors/Panel/Text")),
      lineHeight(text->getHeight()), padding(double(panel->getHeight()) - lineHeight),
      fit(fitOf(text)) {
    panel->hide();
    Ogre::OverlayManager::getSingleton().getByName("Nightbite_errors")->show();
}

void ErrorDisplay::update(const ScriptErrorSink& errors) {
    if (errors.version() == shownVersion)
        return;
    shownVersion = errors.version();
    std::string shown;
    for (const ScriptErrorSink::Entry& e : errors.entries()) {
        const std::string count = e.count > 1 ? " \u00d7" + std::to_string(e.count) : "";
        shown += (shown.empty() ? "" : "\n") +
                 fit.wrap(scriptErrorText(e), text->getWidth(), kLinesPerError, count);
    }
    text->setCaption(shown);
    if (shown.empty()) {
        panel->hide();
        return;
    }
    const double lines = 1.0 + static_cast<double>(std::count(shown.begin(), shown.end(), '\n'));
    panel->setHeight(static_cast<Ogre::Real>(lines * lineHeight + padding));
    panel->show();
}

ErrorDisplay* errorDisplay = nullptr;

ErrorDisplay* makeErrorDisplay() {
    if (!Ogre::OverlayManager::getSingleton().getByName("Nightbite_errors")) {
        std::fprintf(stderr, "No overlay Nightbite_errors in the media: script errors show on "
                             "standard error only\n");
        return nullptr;
    }
    return new ErrorDisplay();
}

void updateErrorDisplay() {
    if (errorDisplay)
        errorDisplay->update(scriptErrors());
}
