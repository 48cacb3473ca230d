// The pause screen: the overlay "Nightbite_pause" (pause.overlay) with the
// controls and the settings. It only shows what it is given and says which
// control is where; what a control does is the caller's. Main thread only.
// Captions are set again only when what they show has changed, so that a
// paused frame allocates nothing.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace Ogre {
class Overlay;
class OverlayElement;
} // namespace Ogre

// The controls, in the order the keyboard's Up and Down go through them: the
// screen's order, top to bottom (Rescan stands on the microphone's title
// line, above the device list).
enum class PauseControl {
    Resume,
    Rescan,
    Microphone, // the device list; Left and Right choose
    Sensitivity, // Left and Right change it; its - and + buttons too
    Measure,
    Ambience,
    Effects,
    FullScreen,
    FocusPause,
    None,
};
constexpr int pauseControlCount = static_cast<int>(PauseControl::None);

// What the screen shows.
struct PauseView {
    // The devices to choose from (an empty name is the system's default);
    // a new list must come with a new listVersion.
    const std::vector<std::string>* devices = nullptr;
    unsigned listVersion = 0;
    int chosen = -1; // the device in use or being opened, -1 for none
    enum class Microphone {
        Listening,
        Opening,
        Missing,
        NotFound
    } microphone = Microphone::Missing;
    // What the microphone hears (MicrophoneReadout).
    float peakHz = 0;
    float peakDbfs = -200;
    bool clearTone = false;
    bool hearing = false;
    bool hearsNothing = false;
    int sensitivity = -60; // dBFS
    bool measuring = false;
    unsigned roomMeasures = 0; // finished room measures; 0: none yet
    float roomLoudestDbfs = -200; // the last measure's loudest counting line
    int roomSetDbfs = -60;        // and the sensitivity it set
    int ambience = 100; // per cent
    int effects = 100;
    bool fullScreen = false;
    bool pauseOnFocusLoss = true;
    PauseControl selected = PauseControl::Resume;
};

// What a click hit: the control, and for the device list the row's device,
// and -1 or +1 for a - or + button.
struct PauseHit {
    PauseControl control = PauseControl::None;
    int device = -1;
    int step = 0;
};

class PauseScreen {
public:
    // Finds the overlay and its elements; the engine throws when one is
    // missing.
    PauseScreen();

    void show();
    void hide();
    bool isVisible() const;

    void update(const PauseView& view);

    // x and y in pixels from the window's top left corner, in a window of
    // the given size.
    PauseHit hit(int x, int y, int windowWidth, int windowHeight) const;

    // The word under the hearing meter, as the screen shows it: the pitch and
    // what to do. Written into `out`.
    static void describeHearing(const PauseView& view, char* out, std::size_t size);
    // The word under the sensitivity: what it is, or what the last room
    // measure found and the sensitivity it set.
    static void describeSensitivity(const PauseView& view, char* out, std::size_t size);

    static constexpr int deviceRows = 4;

private:
    void showDevices(const PauseView& view);
    void showHearing(const PauseView& view);
    void showNumbers(const PauseView& view);
    void select(PauseControl control);

    Ogre::Overlay* overlay;
    Ogre::OverlayElement* panel;
    Ogre::OverlayElement* selection;
    std::array<Ogre::OverlayElement*, pauseControlCount> controls{};
    std::array<Ogre::OverlayElement*, deviceRows> deviceText{};
    Ogre::OverlayElement* micStatus;
    Ogre::OverlayElement* levelFill;
    Ogre::OverlayElement* levelMark;
    Ogre::OverlayElement* levelText;
    Ogre::OverlayElement* heard;
    Ogre::OverlayElement* sensitivityText;
    Ogre::OverlayElement* sensitivityDown;
    Ogre::OverlayElement* sensitivityUp;
    Ogre::OverlayElement* ambienceText;
    Ogre::OverlayElement* ambienceDown;
    Ogre::OverlayElement* ambienceUp;
    Ogre::OverlayElement* effectsText;
    Ogre::OverlayElement* effectsDown;
    Ogre::OverlayElement* effectsUp;
    Ogre::OverlayElement* measureText;
    Ogre::OverlayElement* sensitivityHelp;
    Ogre::OverlayElement* fullScreenText;
    Ogre::OverlayElement* focusText;

    // What is shown, to recaption only on a change.
    unsigned shownList = ~0u;
    int shownChosen = -2, firstRow = 0;
    int shownMicrophone = -1;
    char shownHeard[64] = "?";
    int shownLevel = -1000, shownSensitivity = -1000, shownAmbience = -1, shownEffects = -1;
    int shownMeasuring = -1, shownFullScreen = -1, shownFocus = -1;
    unsigned shownMeasures = ~0u;
    PauseControl shownSelected = PauseControl::None;
};
