// The display's aids to reading the game, in the overlay "Nightbite_aids"
// (content/overlays/nightbite_aids.overlay): the steering mark (where the
// cursor sits against the centre cross), the blood type over the people near
// the insect, the host's annoyance while the insect drinks, the marker that
// leads to the scripts' goal while the insect carries blood, the guide's
// lines, and the climbing limit on the blood meter.
// Made once at start-up after the Hud, updated every frame on the main
// thread. Nothing here allocates once made: texts change only when what they
// say changes.
#pragma once
#include "hud/label_place.h"
#include "npc/blood_type.h"
#include "player/flight.h"

#include <OgreVector.h>

namespace Ogre {
class Camera;
class Overlay;
class OverlayContainer;
class OverlayElement;
class PanelOverlayElement;
} // namespace Ogre
class Npc;

// What the aids show in one frame.
struct AidValues {
    double steerX = 0, steerY = 0;        // the cursor against the centre, -1..1 each way
    bool firstPerson = false;             // the gun sight is the centre cross then
    const Ogre::Camera* camera = nullptr; // none: nothing tied to the world shows
    Ogre::Vector3 insect = Ogre::Vector3::ZERO;
    double bloodLevel = 0;
    BloodType bloodType = 0;   // the player's
    const Npc* host = nullptr; // the person the insect drinks from
};

class DisplayAids {
public:
    static constexpr int kLabels = 8;            // people labelled at once
    static constexpr float kLabelRange = 900.0f; // how near a person is labelled
    // Blood level a marked load, the climbing limit, stands for.
    static constexpr double kClimbMarkLoad = flight::heaviestClimbingLoad();

    // Finds the overlay, its elements and the blood meter's climb mark (the
    // engine throws when one is missing), makes the labels, places the mark
    // and shows the overlay.
    DisplayAids();

    void update(const AidValues& values);

    // The pause screen covers the middle of the window, where the guide's
    // lines would run under it: the guide stands aside while it shows.
    void setGuideHidden(bool hidden);

private:
    struct Label {
        Ogre::OverlayElement* backing = nullptr; // holds the text
        Ogre::OverlayElement* text = nullptr;
        int shown = -1; // index of the caption it shows; -1 hidden
    };
    // The display's panels that marks tied to the world keep off.
    static constexpr int kPanels = 8;

    void placeClimbMark();
    void updateSteering(const AidValues& values, float width, float height);
    void updateGoal(const AidValues& values, const Ogre::Matrix4* viewProjection, float width,
                    float height);
    void updateLabels(const AidValues& values, const Ogre::Matrix4* viewProjection, float width,
                      float height);
    void updateGuide();
    // The visible panels' boxes into `panelBoxes`; returns how many.
    std::size_t gatherPanels(float width, float height);
    // Shows the label with its caption at the place; its backing's width
    // fits the caption.
    void showLabel(Label& label, int caption, float left, float top);
    void placeGoalLabel(const PixelBox& arrowBox, float width, float height,
                        std::size_t panels);

    Ogre::Overlay* overlay;
    Ogre::OverlayElement* centre;
    Ogre::OverlayElement* steering;
    Ogre::PanelOverlayElement* goalArrow;
    Ogre::OverlayElement* goalLabel;
    Ogre::OverlayElement* goalDistance;
    Ogre::OverlayContainer* people;
    Ogre::OverlayElement* annoyance;
    Ogre::PanelOverlayElement* annoyanceFill;
    Ogre::OverlayElement* guidePanel;
    Ogre::OverlayElement* guideText;
    Label labels[kLabels];
    float captionWidth[8] = {}; // each caption's backing, in pixels
    float goalLabelWidth = 0;
    Ogre::OverlayElement* panels[kPanels] = {};
    PixelBox panelBoxes[kPanels + 1]; // and the goal arrow's
    float annoyanceFillWidth;
    float guideLineHeight;
    float guidePadding;
    float guideBottomGap; // between the guide and the screen's bottom edge
    unsigned shownGuideVersion = ~0u;
    bool guideHidden = false;
    int shownDistance = -1;
};

// The game's aids; start-up makes them after the display.
extern DisplayAids* displayAids;

// Makes the game's aids when the media have their overlay; media of an older
// version of the game, which do not, give one line on standard error and a
// game without them (null). An overlay that is there but broken still
// throws.
DisplayAids* makeDisplayAids();

// Updates the global aids from the player, the people, the scripts' goal and
// guide, the mouse and the camera (null: nothing tied to the world shows);
// nothing happens before the aids and the player exist.
void updateDisplayAids(const flight::MouseInput& mouse, const Ogre::Camera* camera);
