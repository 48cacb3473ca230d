#include "hud/pause_screen.h"

#include "hud/display_text.h"

#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayContainer.h>
#include <Overlay/OgreOverlayElement.h>
#include <Overlay/OgreOverlayManager.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The hearing meter's scale: dBFS at its left end, and pixels per dB.
constexpr double meterFloorDbfs = -70.0;
constexpr double meterPixelsPerDb = 5.0;
// Below this the loudest line is the room's rumble or the microphone's
// offset, never a note a person makes: it is not named as a tone.
constexpr double lowestToneHz = 80.0;
// The device list's rows: where the first one is, and their size.
constexpr float rowLeft = 30, rowTop = 148, rowWidth = 640, rowHeight = 24;
// Characters of a device's name that a row shows.
constexpr std::size_t rowCharacters = 56;

Ogre::OverlayElement* find(const char* name) {
    return Ogre::OverlayManager::getSingleton().getOverlayElement(std::string("Nightbite_pause/") +
                                                                  name);
}

void caption(Ogre::OverlayElement* e, const char* text) {
    e->setCaption(text);
}

// An element's rectangle in pixels, relative to the screen's panel.
struct Rect {
    float left, top, width, height;
    bool contains(float x, float y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
};

Rect rectOf(const Ogre::OverlayElement* e) {
    return {e->getLeft(), e->getTop(), e->getWidth(), e->getHeight()};
}

Rect unite(const Rect& a, const Rect& b) {
    const float left = std::min(a.left, b.left), top = std::min(a.top, b.top);
    return {left, top, std::max(a.left + a.width, b.left + b.width) - left,
            std::max(a.top + a.height, b.top + b.height) - top};
}

} // namespace

PauseScreen::PauseScreen() {
    overlay = Ogre::OverlayManager::getSingleton().getByName("Nightbite_pause");
    if (!overlay)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Overlay Nightbite_pause not found",
                    "PauseScreen::PauseScreen");
    panel = find("Panel");
    selection = find("Selection");
    controls[int(PauseControl::Resume)] = find("Resume");
    controls[int(PauseControl::Microphone)] = find("Device0");
    controls[int(PauseControl::Rescan)] = find("Rescan");
    controls[int(PauseControl::Sensitivity)] = find("Sensitivity");
    controls[int(PauseControl::Measure)] = find("Measure");
    controls[int(PauseControl::Ambience)] = find("Ambience");
    controls[int(PauseControl::Effects)] = find("Effects");
    controls[int(PauseControl::FullScreen)] = find("FullScreen");
    controls[int(PauseControl::FocusPause)] = find("FocusPause");
    const char* rows[deviceRows] = {"Device0", "Device1", "Device2", "Device3"};
    for (int i = 0; i < deviceRows; ++i)
        deviceText[size_t(i)] = find(rows[i]);
    micStatus = find("MicStatus");
    levelFill = find("Level/Fill");
    levelMark = find("Level/Mark");
    levelText = find("LevelText");
    heard = find("Heard");
    sensitivityText = find("Sensitivity");
    sensitivityDown = find("SensitivityDown");
    sensitivityUp = find("SensitivityUp");
    ambienceText = find("Ambience");
    ambienceDown = find("AmbienceDown");
    ambienceUp = find("AmbienceUp");
    effectsText = find("Effects");
    effectsDown = find("EffectsDown");
    effectsUp = find("EffectsUp");
    measureText = find("Measure/Text");
    sensitivityHelp = find("SensitivityHelp");
    fullScreenText = find("FullScreen/Text");
    focusText = find("FocusPause/Text");
}

void PauseScreen::show() {
    overlay->show();
}

void PauseScreen::hide() {
    overlay->hide();
}

bool PauseScreen::isVisible() const {
    return overlay->isVisible();
}

void PauseScreen::update(const PauseView& view) {
    showDevices(view);
    showHearing(view);
    showNumbers(view);
    select(view.selected);
}

void PauseScreen::showDevices(const PauseView& view) {
    const int count = view.devices ? static_cast<int>(view.devices->size()) : 0;
    if (view.listVersion != shownList || view.chosen != shownChosen) {
        shownList = view.listVersion;
        shownChosen = view.chosen;
        // The rows follow the chosen device when the list is longer.
        firstRow = std::clamp(view.chosen - deviceRows + 1, 0, std::max(0, count - deviceRows));
        for (int row = 0; row < deviceRows; ++row) {
            const int i = firstRow + row;
            if (i >= count) {
                caption(deviceText[size_t(row)], "");
                continue;
            }
            const std::string& name = (*view.devices)[size_t(i)];
            std::string text = i == view.chosen ? "\u00bb " : "   ";
            text += name.empty() ? std::string("Default device (the system's choice)")
                                 : displayText(name.data(), name.size(), rowCharacters, 1);
            deviceText[size_t(row)]->setCaption(text);
        }
    }
    const int state = count == 0 ? int(PauseView::Microphone::NotFound) : int(view.microphone);
    if (state == shownMicrophone)
        return;
    shownMicrophone = state;
    switch (PauseView::Microphone(state)) {
    case PauseView::Microphone::Listening:
        caption(micStatus, "Listening.");
        break;
    case PauseView::Microphone::Opening:
        caption(micStatus, "Opening the microphone...");
        break;
    case PauseView::Microphone::Missing:
        caption(micStatus, "Not there now: it is looked for again every few seconds.");
        break;
    case PauseView::Microphone::NotFound:
        caption(micStatus, "No microphone: hold the left mouse button or Shift to climb.");
        break;
    }
}

void PauseScreen::describeHearing(const PauseView& view, char* out, std::size_t size) {
    const double hz = std::isfinite(view.peakHz) ? double(view.peakHz) : 0.0;
    if (view.microphone != PauseView::Microphone::Listening)
        std::snprintf(out, size, "%s", "");
    else if (view.hearsNothing)
        std::snprintf(out, size, "Nothing at all: is the microphone muted?");
    else if (view.hearing)
        std::snprintf(out, size, "%.0f Hz: that climbs", hz);
    else if (!(hz >= lowestToneHz))
        std::snprintf(out, size, "No tone heard");
    else if (view.clearTone)
        std::snprintf(out, size, "%.0f Hz: whistle higher", hz);
    else if (!(view.peakDbfs >= view.sensitivity))
        std::snprintf(out, size, "Too quiet to count: whistle louder");
    else
        std::snprintf(out, size, "%.0f Hz: not a clear tone", hz);
}

void PauseScreen::describeSensitivity(const PauseView& view, char* out, std::size_t size) {
    if (view.roomMeasures == 0)
        std::snprintf(out, size, "The quietest tone that counts. Raise it in a noisy room.");
    else if (!(view.roomLoudestDbfs > -200))
        std::snprintf(out, size, "Measured: nothing in the room counts. Set to %d dBFS.",
                      view.roomSetDbfs);
    else
        std::snprintf(out, size, "Measured: a tone at %.0f dBFS in the room. Set to %d dBFS.",
                      double(view.roomLoudestDbfs), view.roomSetDbfs);
}

void PauseScreen::showHearing(const PauseView& view) {
    char text[sizeof shownHeard];
    describeHearing(view, text, sizeof text);
    if (std::strcmp(text, shownHeard) != 0) {
        std::memcpy(shownHeard, text, sizeof text);
        caption(heard, text);
    }
    const bool listening = view.microphone == PauseView::Microphone::Listening;
    const double dbfs = std::isfinite(view.peakDbfs) ? double(view.peakDbfs) : -200.0;
    const int level = listening ? static_cast<int>(std::lround(std::max(dbfs, -200.0))) : -1000;
    if (level != shownLevel) {
        shownLevel = level;
        const double width = std::clamp((level - meterFloorDbfs) * meterPixelsPerDb, 0.0,
                                        double(levelFill->getParent()->getWidth()));
        levelFill->setWidth(static_cast<Ogre::Real>(width));
        char number[32] = "";
        if (listening)
            std::snprintf(number, sizeof number, "%d dBFS", std::max(level, -99));
        caption(levelText, number);
    }
}

void PauseScreen::showNumbers(const PauseView& view) {
    char text[32];
    if (view.sensitivity != shownSensitivity) {
        shownSensitivity = view.sensitivity;
        std::snprintf(text, sizeof text, "%d dBFS", view.sensitivity);
        caption(sensitivityText, text);
        const double left = (view.sensitivity - meterFloorDbfs) * meterPixelsPerDb;
        levelMark->setLeft(static_cast<Ogre::Real>(left - levelMark->getWidth() / 2));
    }
    if (view.ambience != shownAmbience) {
        shownAmbience = view.ambience;
        std::snprintf(text, sizeof text, "%d %%", view.ambience);
        caption(ambienceText, text);
    }
    if (view.effects != shownEffects) {
        shownEffects = view.effects;
        std::snprintf(text, sizeof text, "%d %%", view.effects);
        caption(effectsText, text);
    }
    if (view.roomMeasures != shownMeasures) {
        shownMeasures = view.roomMeasures;
        char help[96];
        describeSensitivity(view, help, sizeof help);
        caption(sensitivityHelp, help);
    }
    if (int(view.measuring) != shownMeasuring) {
        shownMeasuring = view.measuring;
        caption(measureText,
                view.measuring ? "Listening: stay quiet..." : "Measure the room (3 s)");
    }
    if (int(view.fullScreen) != shownFullScreen) {
        shownFullScreen = view.fullScreen;
        caption(fullScreenText, view.fullScreen ? "On" : "Off");
    }
    if (int(view.pauseOnFocusLoss) != shownFocus) {
        shownFocus = view.pauseOnFocusLoss;
        caption(focusText, view.pauseOnFocusLoss ? "On" : "Off");
    }
}

void PauseScreen::select(PauseControl control) {
    if (control == shownSelected || control == PauseControl::None)
        return;
    shownSelected = control;
    Rect r = rectOf(controls[size_t(control)]);
    switch (control) {
    case PauseControl::Microphone:
        r = {rowLeft, rowTop, rowWidth, rowHeight * deviceRows};
        break;
    case PauseControl::Sensitivity:
        r = unite(rectOf(sensitivityDown), rectOf(sensitivityUp));
        break;
    case PauseControl::Ambience:
        r = unite(rectOf(ambienceDown), rectOf(ambienceUp));
        break;
    case PauseControl::Effects:
        r = unite(rectOf(effectsDown), rectOf(effectsUp));
        break;
    default:
        break;
    }
    selection->setPosition(r.left - 4, r.top - 3);
    selection->setDimensions(r.width + 8, r.height + 6);
}

PauseHit PauseScreen::hit(int x, int y, int windowWidth, int windowHeight) const {
    PauseHit result;
    // The panel is centred on the window.
    const float px = float(x) - (float(windowWidth) / 2 + panel->getLeft());
    const float py = float(y) - (float(windowHeight) / 2 + panel->getTop());
    const struct {
        const Ogre::OverlayElement* element;
        PauseControl control;
        int step;
    } buttons[] = {
        {controls[int(PauseControl::Resume)], PauseControl::Resume, 0},
        {controls[int(PauseControl::Rescan)], PauseControl::Rescan, 0},
        {sensitivityDown, PauseControl::Sensitivity, -1},
        {sensitivityUp, PauseControl::Sensitivity, +1},
        {controls[int(PauseControl::Measure)], PauseControl::Measure, 0},
        {ambienceDown, PauseControl::Ambience, -1},
        {ambienceUp, PauseControl::Ambience, +1},
        {effectsDown, PauseControl::Effects, -1},
        {effectsUp, PauseControl::Effects, +1},
        {controls[int(PauseControl::FullScreen)], PauseControl::FullScreen, 0},
        {controls[int(PauseControl::FocusPause)], PauseControl::FocusPause, 0},
    };
    for (const auto& b : buttons)
        if (rectOf(b.element).contains(px, py)) {
            result.control = b.control;
            result.step = b.step;
            return result;
        }
    for (int row = 0; row < deviceRows; ++row)
        if (Rect{rowLeft, rowTop + rowHeight * float(row), rowWidth, rowHeight}.contains(px, py)) {
            result.control = PauseControl::Microphone;
            result.device = firstRow + row;
            return result;
        }
    return result;
}
