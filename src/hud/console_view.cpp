#include "hud/console_view.h"

#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayElement.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgreTextAreaOverlayElement.h>

#include <cstdio>
#include <string>

namespace {

const char kPrompt[] = "> ";
// The caret between two characters of the input.
const char kCaret[] = "|";

Ogre::ColourValue colourOf(ConsoleViewLine::Kind kind) {
    switch (kind) {
    case ConsoleViewLine::Kind::Typed:
        return Ogre::ColourValue(0.55f, 0.8f, 1.0f);
    case ConsoleViewLine::Kind::Error:
        return Ogre::ColourValue(1.0f, 0.32f, 0.28f);
    case ConsoleViewLine::Kind::Hint:
        return Ogre::ColourValue(0.7f, 0.7f, 0.7f);
    case ConsoleViewLine::Kind::Printed:
    case ConsoleViewLine::Kind::Result:
        break;
    }
    return Ogre::ColourValue::White;
}

TextFit fitOf(Ogre::OverlayElement* element) {
    if (element->getTypeName() != "TextArea")
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, element->getName() + " is not a TextArea",
                    "ConsoleView");
    auto* area = static_cast<Ogre::TextAreaOverlayElement*>(element);
    const std::string font = area->getFont() ? area->getFont()->getName() : "NightbiteFont";
    return TextFit(font.c_str(), area->getCharHeight(), area->getSpaceWidth());
}

} // namespace

ConsoleView::ConsoleView()
    : overlay(Ogre::OverlayManager::getSingleton().getByName("Nightbite_console")),
      panel(Ogre::OverlayManager::getSingleton().getOverlayElement("Nightbite_console/Panel")),
      inputLine(
          Ogre::OverlayManager::getSingleton().getOverlayElement("Nightbite_console/Panel/Input")),
      fit(fitOf(inputLine)), textLeft(inputLine->getLeft()) {
    Ogre::OverlayManager& overlays = Ogre::OverlayManager::getSingleton();
    for (std::size_t i = 0; i < kOutputLines; ++i)
        lines[i] = overlays.getOverlayElement("Nightbite_console/Panel/Line" + std::to_string(i));
    overlay->hide();
}

void ConsoleView::show(bool on) {
    if (on)
        overlay->show();
    else
        overlay->hide();
}

void ConsoleView::update(const std::deque<ConsoleViewLine>& output, const std::string& input,
                         std::size_t cursor, unsigned version) {
    const int width = Ogre::OverlayManager::getSingleton().getViewportWidth();
    if (version == shownVersion && width == shownWidth)
        return;
    shownVersion = version;
    shownWidth = width;
    panel->setWidth(static_cast<Ogre::Real>(width));
    const double room = width - 2 * textLeft;
    // The newest line at the bottom, just above the input.
    const std::size_t shown = std::min(output.size(), kOutputLines);
    for (std::size_t i = 0; i < kOutputLines; ++i) {
        const std::size_t fromEnd = kOutputLines - i;
        if (fromEnd > shown) {
            lines[i]->setCaption("");
            continue;
        }
        const ConsoleViewLine& line = output[output.size() - fromEnd];
        lines[i]->setColour(colourOf(line.kind));
        lines[i]->setCaption(fit.wrap(line.text, room, 1));
    }
    const std::string withCaret = input.substr(0, cursor) + kCaret + input.substr(cursor);
    inputLine->setCaption(kPrompt + fit.around(withCaret, cursor, room - fit.width(kPrompt)));
}

ConsoleView* makeConsoleView() {
    if (!Ogre::OverlayManager::getSingleton().getByName("Nightbite_console")) {
        std::fprintf(stderr, "No overlay Nightbite_console in the media: the game runs without "
                             "its console\n");
        return nullptr;
    }
    return new ConsoleView();
}
