#include "app/pause_menu.h"

#include "app/full_screen.h"
#include "audio/microphone_level.h"
#include "audio/sound_manager.h"
#include "audio/sound_output.h"
#include "audio/wave_in_device.h"
#include "hud/display_aids.h"

#include <OIS.h>
#include <OgreRenderWindow.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Steps of the - and + buttons and of Left and Right.
constexpr int sensitivityStep = 2;
constexpr int volumeStep = 10;

PauseControl next(PauseControl c, int by) {
    const int n = (static_cast<int>(c) + by + pauseControlCount) % pauseControlCount;
    return static_cast<PauseControl>(n);
}

} // namespace

PauseMenu::PauseMenu(const std::string& file, Ogre::RenderWindow* w)
    : settingsFile(file), window(w), remembered(settings::readPlayerSettings(file)) {
    chosenName = settings::read(settingsFile, settings::microphoneKey).value_or("");
    view.sensitivity = static_cast<int>(remembered.sensitivity);
    view.ambience = remembered.ambienceVolume;
    view.effects = remembered.effectsVolume;
    view.pauseOnFocusLoss = remembered.pauseOnFocusLoss;
    view.devices = &devices;
}

void PauseMenu::applyRemembered() {
    if (soundManager) {
        soundManager->quietestToneDbfs.store(static_cast<float>(view.sensitivity));
        chosenName = soundManager->deviceName; // the command line may have chosen
    }
    if (soundOutput) {
        soundOutput->setAmbienceVolume(view.ambience);
        soundOutput->setEffectsVolume(view.effects);
    }
    if (window && remembered.fullScreen)
        fullScreen = setFullScreen(window, *remembered.fullScreen);
    else if (window)
        fullScreen = window->isFullScreen();
    view.fullScreen = fullScreen;
}

void PauseMenu::open() {
    rescan();
    view.selected = PauseControl::Resume;
    update();
    screen.show();
    if (displayAids)
        displayAids->setGuideHidden(true);
}

void PauseMenu::close() {
    screen.hide();
    if (displayAids)
        displayAids->setGuideHidden(false);
}

void PauseMenu::rescan() {
    devices.clear();
    devices.push_back(""); // the system's default
    if (MyAudio::acquireAudio()) {
        for (std::string& name : MyAudio::captureDeviceNames())
            devices.push_back(std::move(name));
        MyAudio::releaseAudio();
    }
    // A device chosen before (on the command line, say) that is not listed
    // now stays in the list, so that it can be seen and chosen again.
    if (std::find(devices.begin(), devices.end(), chosenName) == devices.end())
        devices.push_back(chosenName);
    ++view.listVersion;
}

void PauseMenu::update() {
    const MicrophoneReadout heard = microphoneReadout();
    view.chosen =
        static_cast<int>(std::find(devices.begin(), devices.end(), chosenName) - devices.begin());
    if (devices.size() <= 1 && !heard.available)
        view.microphone = PauseView::Microphone::NotFound;
    else if (heard.switching || !heard.tried)
        view.microphone = PauseView::Microphone::Opening;
    else
        view.microphone =
            heard.available ? PauseView::Microphone::Listening : PauseView::Microphone::Missing;
    view.peakHz = heard.peakHz;
    view.peakDbfs = heard.peakDbfs;
    view.clearTone = heard.clearTone;
    view.hearing = heard.hearing;
    view.hearsNothing = heard.hearsNothing;
    if (soundManager) {
        view.measuring = soundManager->measuringRoom.load();
        const uint32_t done = soundManager->roomMeasures.load();
        if (done != roomMeasuresSeen) {
            roomMeasuresSeen = done;
            setSensitivity(static_cast<int>(std::lround(soundManager->roomSensitivityDbfs.load())));
            ++view.roomMeasures;
            view.roomSetDbfs = view.sensitivity;
            const float loudest = soundManager->roomLoudestDbfs.load();
            view.roomLoudestDbfs = std::isfinite(loudest) ? loudest : -200.0f;
        }
    }
    screen.update(view);
}

PauseMenu::Request PauseMenu::click(int x, int y, int windowWidth, int windowHeight) {
    const PauseHit hit = screen.hit(x, y, windowWidth, windowHeight);
    if (hit.control == PauseControl::None)
        return Request::None;
    view.selected = hit.control;
    if (hit.control == PauseControl::Microphone) {
        chooseDevice(hit.device);
        return Request::None;
    }
    return activate(hit.control, hit.step);
}

PauseMenu::Request PauseMenu::key(int keyCode) {
    switch (keyCode) {
    case OIS::KC_UP:
        view.selected = next(view.selected, -1);
        return Request::None;
    case OIS::KC_DOWN:
        view.selected = next(view.selected, +1);
        return Request::None;
    case OIS::KC_LEFT:
    case OIS::KC_RIGHT: {
        const int step = keyCode == OIS::KC_LEFT ? -1 : +1;
        if (view.selected == PauseControl::Microphone) {
            chooseDevice(std::clamp(view.chosen + step, 0, static_cast<int>(devices.size()) - 1));
            return Request::None;
        }
        if (view.selected == PauseControl::Resume || view.selected == PauseControl::Rescan ||
            view.selected == PauseControl::Measure)
            return Request::None;
        return activate(view.selected, step);
    }
    case OIS::KC_RETURN:
    case OIS::KC_SPACE:
        if (view.selected == PauseControl::Microphone ||
            view.selected == PauseControl::Sensitivity || view.selected == PauseControl::Ambience ||
            view.selected == PauseControl::Effects)
            return Request::None;
        return activate(view.selected, 0);
    default:
        return Request::None;
    }
}

PauseMenu::Request PauseMenu::activate(PauseControl control, int step) {
    switch (control) {
    case PauseControl::Resume:
        return Request::Resume;
    case PauseControl::Rescan:
        rescan();
        break;
    case PauseControl::Sensitivity:
        setSensitivity(view.sensitivity + step * sensitivityStep);
        break;
    case PauseControl::Measure:
        if (soundManager && !view.measuring)
            soundManager->measureRoom();
        break;
    case PauseControl::Ambience:
        setVolume(view.ambience, settings::ambienceVolumeKey, view.ambience + step * volumeStep);
        if (soundOutput)
            soundOutput->setAmbienceVolume(view.ambience);
        break;
    case PauseControl::Effects:
        setVolume(view.effects, settings::effectsVolumeKey, view.effects + step * volumeStep);
        if (soundOutput)
            soundOutput->setEffectsVolume(view.effects);
        break;
    case PauseControl::FullScreen:
        toggleFullScreen();
        break;
    case PauseControl::FocusPause:
        remembered.pauseOnFocusLoss = !remembered.pauseOnFocusLoss;
        view.pauseOnFocusLoss = remembered.pauseOnFocusLoss;
        remember(settings::pauseOnFocusLossKey, settings::flagText(remembered.pauseOnFocusLoss));
        break;
    default:
        break;
    }
    return Request::None;
}

void PauseMenu::chooseDevice(int index) {
    if (index < 0 || index >= static_cast<int>(devices.size()) || !soundManager)
        return;
    const std::string& name = devices[size_t(index)];
    if (name == chosenName && microphoneReadout().available)
        return;
    chosenName = name;
    soundManager->chooseMicrophone(name);
    remember(settings::microphoneKey, name);
}

void PauseMenu::setSensitivity(int dbfs) {
    const int value = static_cast<int>(clampQuietestTone(dbfs));
    if (soundManager)
        soundManager->quietestToneDbfs.store(static_cast<float>(value));
    if (value == view.sensitivity)
        return;
    view.sensitivity = value;
    remember(settings::sensitivityKey, std::to_string(value));
}

void PauseMenu::setVolume(int& volume, const char* key, int percent) {
    const int value = std::clamp(percent, 0, 100);
    if (value == volume)
        return;
    volume = value;
    remember(key, std::to_string(value));
}

void PauseMenu::toggleFullScreen() {
    if (!window)
        return;
    fullScreen = setFullScreen(window, !fullScreen);
    view.fullScreen = fullScreen;
    remember(settings::fullScreenKey, settings::flagText(fullScreen));
}

void PauseMenu::remember(const char* key, const std::string& value) {
    std::string error;
    if (!settings::write(settingsFile, key, value, error))
        std::fprintf(stderr, "Cannot remember %s in %s: %s\n", key, settingsFile.c_str(),
                     error.c_str());
}
