// The heads-up display: the overlay "Nightbite_new" with the player's
// coordinates, the gun sight of the first-person view, the blood meter, and
// what the game hears: the lift meter, the hearing lamp with the frequency,
// and a line when there is no microphone; and the scripts' status line and
// message.
// Made once at start-up and updated every frame on the main thread.
#pragma once
#include <OgreVector.h>
#include <Overlay/OgreOverlayElement.h>

namespace Ogre {
class Overlay;
class OverlayElement;
class PanelOverlayElement;
} // namespace Ogre

// What the display shows in one frame, besides the scripts' texts.
struct HudValues {
    Ogre::Vector3 position = Ogre::Vector3::ZERO; // the insect's
    bool firstPerson = false;                     // shows the gun sight
    double bloodLevel = 0;                        // 100 fills the blood meter
    double thrust = 0;                            // 1 fills the lift meter
    bool hearing = false;                         // lights the lamp
    float peakHz = 0;                             // shown while hearing
    bool microphoneTried = true;     // false while the device is being opened
    bool microphoneAvailable = false; // with tried: no "No microphone" line
    // An open microphone that has delivered only zeros for a while: the same
    // line asks whether it is muted.
    bool microphoneHearsNothing = false;
};

class Hud {
public:
    // Finds the overlay and its elements (the engine throws when one is
    // missing) and shows the overlay.
    Hud();

    // Shows the values, and the scripts' status line and message when they
    // have changed.
    void update(const HudValues& values);

    Ogre::Overlay* getOverlay() const { return overlay; }
    // The blood bar as the overlay defines it: the height 100 fills, and its
    // bottom edge, which stays.
    double bloodBarFull() const { return bloodBarFullHeight; }
    double bloodBarBase() const { return bloodBarBottom; }

private:
    // What one element shows, kept so that it is recaptioned only when its
    // text changes.
    struct Shown {
        char text[32] = {};
        bool set = false;
    };
    // Sets the caption if it differs from the shown one (texts of up to 31
    // bytes), through `caption`, a string reused so that no caption is built
    // anew: the engine's display string is UTF-16, and one made from a char
    // pointer allocates for any text of more than seven characters.
    void recaption(Ogre::OverlayElement* element, Shown& shown, const char* text);
    // Recaptions the scripts' texts when they have changed.
    void updateScriptText();
    // The line about the microphone: none, none there, or one that hears
    // nothing; recaptioned only when that changes.
    void updateMicrophoneLine(const HudValues& values);

    Ogre::DisplayString caption;
    Shown shownX, shownY, shownZ, shownFrequency;

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
    Ogre::OverlayElement* noMicrophoneText; // null in a display without it
    int shownMicrophoneLine = -1;
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

// The game's display; start-up makes it.
extern Hud* hud;

// Updates the global display from the player and the microphone; nothing
// happens before the display and the player exist.
void updateHud();

// hud_status and hud_message.
struct luaL_Reg;
extern const luaL_Reg hudFunctions[];
