#include "hud/hud.h"

#include "player/player.h"
#include "util/globals.h"

#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayElement.h>
#include <Overlay/OgreOverlayManager.h>

#include <cmath>
#include <cstdio>

namespace {

// The bar may grow past its frame (or below it for a negative level), but
// never so far that the overlay's geometry leaves the number range.
constexpr double kMaxBarHeights = 1000.0;

void setReadout(Ogre::OverlayElement* element, const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    element->setColour(Ogre::ColourValue::Green);
    element->setCaption(text);
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
    overlay->show();
}

void Hud::updateHud() {
    PlayerCharacter& insect = player->getCharacter();
    const Ogre::Vector3 p = insect.getPosition();
    setReadout(xReadout, "X: %g", p.x);
    setReadout(yReadout, "Y: %g", p.y);
    setReadout(zReadout, "Z: %g", p.z);

    if (insect.isFirstPerson())
        gunSight->show();
    else
        gunSight->hide();

    // The bar grows upwards from its fixed bottom edge; 100 fills the frame.
    double h = player->getBloodLevel() * 0.01 * bloodBarFullHeight;
    const double limit = kMaxBarHeights * std::fabs(bloodBarFullHeight);
    if (!(h <= limit))
        h = limit; // also catches NaN
    if (h < -limit)
        h = -limit;
    bloodBar->setHeight(static_cast<Ogre::Real>(h));
    bloodBar->setTop(static_cast<Ogre::Real>(bloodBarBottom - h));
}

void updateHud() {
    if (hud && player)
        hud->updateHud();
}
