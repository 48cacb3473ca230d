#include "hud/hud.h"

#include "audio/microphone_level.h"
#include "hud/display_text.h"
#include "hud/error_display.h"
#include "player/player.h"

#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayElement.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgrePanelOverlayElement.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The bar may grow past its frame (or below it for a negative level), but
// never so far that the overlay's geometry leaves the number range.
constexpr double kMaxBarHeights = 1000.0;

Ogre::PanelOverlayElement* panel(Ogre::OverlayManager& overlays, const char* name) {
    Ogre::OverlayElement* e = overlays.getOverlayElement(name);
    if (e->getTypeName() != "Panel")
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, std::string(name) + " is not a Panel",
                    "Hud::Hud");
    return static_cast<Ogre::PanelOverlayElement*>(e);
}

} // namespace

Hud::Hud() {
    Ogre::OverlayManager& overlays = Ogre::OverlayManager::getSingleton();
    overlay = overlays.getByName("Nightbite_new");
    if (!overlay)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Overlay Nightbite_new not found", "Hud::Hud");
    xReadout = overlays.getOverlayElement("Nightbite_new/Elements/ThrustIndicator");
    yReadout = overlays.getOverlayElement("Nightbite_new/Elements/AltituteIndicator");
    zReadout = overlays.getOverlayElement("Nightbite_new/Elements/SpeedIndicator");
    gunSight = overlays.getOverlayElement("Nightbite_new/GunSight");
    bloodBar = overlays.getOverlayElement("Nightbite_new/BloodMeter/Blood");
    bloodBarFullHeight = bloodBar->getHeight();
    bloodBarBottom = static_cast<double>(bloodBar->getTop()) + bloodBarFullHeight;
    levelBar = panel(overlays, "Nightbite_new/LevelMeter/Level");
    hearingLamp = panel(overlays, "Nightbite_new/Hearing/Lamp");
    frequency = overlays.getOverlayElement("Nightbite_new/Hearing/Frequency");
    noMicrophone = overlays.getOverlayElement("Nightbite_new/NoMicrophone");
    noMicrophoneText = overlays.hasOverlayElement("Nightbite_new/NoMicrophone/Text")
                           ? overlays.getOverlayElement("Nightbite_new/NoMicrophone/Text")
                           : nullptr;
    statusPanel = overlays.getOverlayElement("Nightbite_new/Status");
    statusText = overlays.getOverlayElement("Nightbite_new/Status/Text");
    messagePanel = overlays.getOverlayElement("Nightbite_new/Message");
    messageText = overlays.getOverlayElement("Nightbite_new/Message/Text");
    messageLineHeight = messageText->getHeight();
    messagePanelPadding = static_cast<double>(messagePanel->getHeight()) - messageLineHeight;
    levelBarFullHeight = levelBar->getHeight();
    levelBarBottom = static_cast<double>(levelBar->getTop()) + levelBarFullHeight;
    for (Ogre::OverlayElement* readout : {xReadout, yReadout, zReadout})
        readout->setColour(Ogre::ColourValue::Green);
    // A text area loads its font when it is first drawn, and a caption laid
    // out before that gets no glyphs; set only when it changes, it would stay
    // blank. Asking for the material loads the font now.
    for (Ogre::OverlayElement* text :
         {xReadout, yReadout, zReadout, frequency, statusText, messageText})
        text->getMaterial();
    caption.reserve(sizeof Shown::text);
    overlay->show();
}

void Hud::recaption(Ogre::OverlayElement* element, Shown& shown, const char* text) {
    if (shown.set && std::strcmp(shown.text, text) == 0)
        return;
    std::snprintf(shown.text, sizeof shown.text, "%s", text);
    shown.set = true;
    caption.assign(shown.text);
    element->setCaption(caption);
}

void Hud::update(const HudValues& values) {
    const Ogre::Vector3& p = values.position;
    char text[sizeof Shown::text];
    std::snprintf(text, sizeof text, "X: %g", static_cast<double>(p.x));
    recaption(xReadout, shownX, text);
    std::snprintf(text, sizeof text, "Y: %g", static_cast<double>(p.y));
    recaption(yReadout, shownY, text);
    std::snprintf(text, sizeof text, "Z: %g", static_cast<double>(p.z));
    recaption(zReadout, shownZ, text);

    if (values.firstPerson)
        gunSight->show();
    else
        gunSight->hide();

    // The bar grows upwards from its fixed bottom edge; 100 fills the frame.
    double h = values.bloodLevel * 0.01 * bloodBarFullHeight;
    const double limit = kMaxBarHeights * std::fabs(bloodBarFullHeight);
    if (!(h <= limit))
        h = limit; // also catches NaN
    if (h < -limit)
        h = -limit;
    bloodBar->setHeight(static_cast<Ogre::Real>(h));
    bloodBar->setTop(static_cast<Ogre::Real>(bloodBarBottom - h));

    // The lift meter shows the thrust, level / 8, whichever of voice and key
    // gave it. It shows the lower part of its picture rather than squeezing
    // the whole into the bar, so each cell keeps its colour and place.
    double full = values.thrust;
    full = full > 1 ? 1.0 : (full > 0 ? full : 0.0); // NaN too ends at 0
    const double lh = full * levelBarFullHeight;
    levelBar->setHeight(static_cast<Ogre::Real>(lh));
    levelBar->setTop(static_cast<Ogre::Real>(levelBarBottom - lh));
    levelBar->setUV(0, static_cast<Ogre::Real>(1 - full), 1, 1);

    // The lamp's picture holds it unlit on the left half and lit on the right.
    if (values.hearing)
        hearingLamp->setUV(0.5f, 0, 1, 1);
    else
        hearingLamp->setUV(0, 0, 0.5f, 1);
    text[0] = '\0';
    if (values.hearing && std::isfinite(values.peakHz))
        std::snprintf(text, sizeof text, "%.0f Hz", static_cast<double>(values.peakHz));
    recaption(frequency, shownFrequency, text);
    updateMicrophoneLine(values);
    updateScriptText();
}

void Hud::updateMicrophoneLine(const HudValues& values) {
    // 0: no line, 1: no microphone, 2: a microphone that hears nothing.
    int line = 0;
    if (!values.microphoneAvailable && values.microphoneTried)
        line = 1;
    else if (values.microphoneAvailable && values.microphoneHearsNothing && noMicrophoneText)
        line = 2;
    if (line == shownMicrophoneLine)
        return;
    shownMicrophoneLine = line;
    if (noMicrophoneText)
        noMicrophoneText->setCaption(line == 2
                                         ? "The microphone hears nothing: is it muted?"
                                         : "No microphone: hold the left mouse button to climb");
    if (line)
        noMicrophone->show();
    else
        noMicrophone->hide();
}

void Hud::updateScriptText() {
    const HudText& text = hudText();
    if (text.version() == shownTextVersion)
        return;
    shownTextVersion = text.version();
    // The texts are valid UTF-8 in the font's characters by now, which the
    // engine's caption needs.
    statusText->setCaption(text.status());
    if (text.status().empty())
        statusPanel->hide();
    else
        statusPanel->show();
    const std::string& message = text.message();
    messageText->setCaption(message);
    if (message.empty()) {
        messagePanel->hide();
        return;
    }
    const double lines = 1.0 + static_cast<double>(std::count(message.begin(), message.end(), '\n'));
    messagePanel->setHeight(static_cast<Ogre::Real>(lines * messageLineHeight + messagePanelPadding));
    messagePanel->show();
}

Hud* hud = nullptr;

void updateHud() {
    updateErrorDisplay();
    if (!hud || !player)
        return;
    const PlayerCharacter& insect = player->getCharacter();
    const MicrophoneReadout heard = microphoneReadout();
    HudValues values;
    values.position = insect.getPosition();
    values.firstPerson = insect.isFirstPerson();
    values.bloodLevel = player->getBloodLevel();
    values.thrust = insect.getThrust();
    values.hearing = heard.hearing;
    values.peakHz = heard.peakHz;
    values.microphoneTried = heard.tried;
    values.microphoneAvailable = heard.available;
    values.microphoneHearsNothing = heard.hearsNothing;
    hud->update(values);
}
