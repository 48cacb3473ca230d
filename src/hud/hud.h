// The heads-up display: the overlay "Nightbite_new" with the player's
// coordinates, the gun sight of the first-person view, the blood meter, and
// what the game hears: the lift meter, the hearing lamp with the frequency,
// and a line when there is no microphone; and the scripts' status line and
// message.
// Made once at start-up and updated every frame on the main thread.
#pragma once

namespace Ogre {
class Overlay;
class OverlayElement;
class PanelOverlayElement;
} // namespace Ogre

class Hud {
public:
    // Finds the overlay and its elements (the engine throws when one is
    // missing) and shows the overlay.
    Hud();

    void updateHud();

    Ogre::Overlay* getOverlay() const { return overlay; }

private:
    // Recaptions the scripts' texts when they have changed.
    void updateScriptText();

    Ogre::Overlay* overlay;
    Ogre::OverlayElement* xReadout;
    Ogre::OverlayElement* zReadout;
    Ogre::OverlayElement* yReadout;
    Ogre::OverlayElement* gunSight;
    Ogre::OverlayElement* bloodBar;
    double bloodBarFullHeight;
    double bloodBarBottom;
    Ogre::PanelOverlayElement* levelBar;
    Ogre::PanelOverlayElement* hearingLamp;
    Ogre::OverlayElement* frequency;
    Ogre::OverlayElement* noMicrophone;
    Ogre::OverlayElement* statusPanel;
    Ogre::OverlayElement* statusText;
    Ogre::OverlayElement* messagePanel;
    Ogre::OverlayElement* messageText;
    double messageLineHeight;
    double messagePanelPadding;
    unsigned shownTextVersion = ~0u;
    double levelBarFullHeight;
    double levelBarBottom;
};

// Updates the global display; nothing happens before it exists.
void updateHud();
