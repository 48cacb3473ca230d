#include "audio/sound_manager.h"

#include "util/exception.h"
#include "util/message_box.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

// The worker also wakes this often without a buffer, to see whether the
// device is still there.
constexpr std::chrono::milliseconds deviceCheckInterval{250};
// A started device that delivers nothing for this many checks in a row (three
// seconds; a buffer takes under 0.2 s) has stopped. Counted in the worker's
// own wake-ups rather than by the clock, so that a machine that was suspended
// and wakes up again does not look like a dead microphone.
constexpr int silentChecksForLoss = 12;
// A missing device is looked for again after this many checks (two seconds).
constexpr int checksPerLook = 8;

// The capture settings the game runs with.
constexpr int32_t gameSamplesPerBuffer = 4096;
constexpr uint32_t gameSampleRate = 22050;
constexpr int32_t gameFftSize = 4096;
constexpr uint16_t gameBitsPerSample = 16;

void showFailure(const std::string& text) {
    showMessageBox("Exception", text, BoxIcon::Warning);
}

} // namespace

std::string describeFailure(const MyUtils::Exception& e) {
    char code[16];
    std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(e.code));
    return std::string(e.message ? e.message : "") + ", Error " + code;
}

SoundManager* soundManager = nullptr;

SoundManager::SoundManager() {
    format = MyAudio::WaveFormat{MyAudio::WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    bufferEvent.reset();
    resumeThread();
}

SoundManager::~SoundManager() {
    stop();
    // The device gives the buffers back before either of them goes.
    ring.detach();
}

void SoundManager::wakeThread() {
    bufferEvent.set();
}

void SoundManager::onThreadStart() {}

void SoundManager::threadMain() {
    // The worker asks SDL about the device, and SDL keeps an error text per
    // thread; this thread is not SDL's, so it hands that back on the way out.
    struct ThreadStateRelease {
        ~ThreadStateRelease() { MyAudio::releaseThreadState(); }
    } releaseOnExit;
    std::fputs("Sprava", stdout);
    std::fflush(stdout);
    try {
        for (;;) {
            bufferEvent.waitFor(deviceCheckInterval);
            if (dying.load())
                return;
            std::lock_guard<std::mutex> guard(lock);
            takeRequests();
            // Signals that came while the worker was busy merge into one
            // wake-up, so take every finished buffer now, in ring order,
            // rather than letting a backlog build up.
            while (!dying.load() && !deviceLost && ring.isCurrentDone())
                analyseCurrentBuffer();
            watchDevice();
            lookForDevice();
        }
    } catch (const MyUtils::Exception& e) {
        showFailure(describeFailure(e));
    } catch (...) {
        showFailure("Unknown");
    }
}

void SoundManager::analyseCurrentBuffer() {
    ring.takeCurrent(samples);
    fft->transform(samples);
    const double quietest = clampQuietestTone(quietestToneDbfs.load(std::memory_order_relaxed));
    // While the room is measured, a line of any loudness is read, and the
    // player's bar is applied afterwards.
    const bool measuring = room.buffersLeft > 0;
    ToneReading tone = findTone(*fft, ToneRule{measuring ? -HUGE_VAL : quietest});
    if (measuring && hearRoom(room, tone, rule)) {
        roomSensitivityDbfs.store(static_cast<float>(roomSensitivity(room)),
                                  std::memory_order_relaxed);
        roomLoudestDbfs.store(static_cast<float>(room.loudestDbfs), std::memory_order_relaxed);
        measuringRoom.store(false, std::memory_order_relaxed);
        roomMeasures.fetch_add(1, std::memory_order_relaxed);
    }
    tone.clear = tone.clear && tone.peakDbfs >= quietest;
    bool high = countsAsHigh(tone, rule);
    applyBuffer(levelState, high, rule);
    level.store(levelState.level, std::memory_order_relaxed);
    hearing.store(high, std::memory_order_relaxed);
    clearTone.store(tone.clear, std::memory_order_relaxed);
    peakDbfs.store(static_cast<float>(std::max(tone.peakDbfs, -200.0)), std::memory_order_relaxed);
    // Digital silence: a muted microphone, or a driver that delivers zeros
    // for a device it cannot read.
    const bool zeros =
        std::all_of(samples.begin(), samples.end(), [](int32_t v) { return v == 0; });
    zeroBuffers = zeros ? std::min(zeroBuffers + 1, silentHintBuffers) : 0;
    hearsNothing.store(zeroBuffers >= silentHintBuffers, std::memory_order_relaxed);
    peakHz.store(static_cast<float>(tone.peakBin) * static_cast<float>(format.nSamplesPerSec) /
                     static_cast<float>(fft->size),
                 std::memory_order_relaxed);
}

void SoundManager::watchDevice() {
    if (deviceLost || !device || !device->handle || !device->started) {
        silentChecks = 0;
        return;
    }
    uint64_t callbacks = device->callbackCount();
    if (callbacks != seenCallbacks) {
        seenCallbacks = callbacks;
        silentChecks = 0;
    } else {
        ++silentChecks;
    }
    if (!device->vanished() && silentChecks < silentChecksForLoss)
        return;
    // Said once: the device does not come back during this game. Whatever the
    // level was stays behind with the device, or the insect would go on
    // climbing on a sound nobody makes any more.
    deviceLost = true;
    deviceMissing = true;
    checksSinceLook = 0;
    callbacksAtLoss = callbacks;
    cancelRoomMeasure();
    levelState = LevelState{};
    level.store(0.0f, std::memory_order_relaxed);
    hearing.store(false, std::memory_order_relaxed);
    clearTone.store(false, std::memory_order_relaxed);
    hearsNothing.store(false, std::memory_order_relaxed);
    microphoneAvailable.store(false, std::memory_order_relaxed);
    std::string which = device->name.empty() ? "The microphone" : "The microphone \"" + device->name + "\"";
    std::fprintf(stderr, "%s stopped delivering sound; going on without sound input\n",
                 which.c_str());
    std::fflush(stderr);
}

void SoundManager::configureCapture() {
    std::lock_guard<std::mutex> guard(lock);
    // The channel count takes no part in the comparison.
    if (format.wBitsPerSample != gameBitsPerSample || format.nSamplesPerSec != gameSampleRate ||
        fftSize != gameFftSize || samplesPerBuffer != gameSamplesPerBuffer) {
        formatChanged = true;
        samplesPerBuffer = gameSamplesPerBuffer;
        format.nSamplesPerSec = gameSampleRate;
        fftSize = gameFftSize;
        format.wBitsPerSample = gameBitsPerSample;
        format.nChannels = 1;
        format.nBlockAlign = 2;
        format.nAvgBytesPerSec = 44100;
    }
}

void SoundManager::applyCaptureSettings() {
    std::lock_guard<std::mutex> guard(lock);
    if (!formatChanged)
        return;
    formatChanged = false;
    // The box is shown with the lock held, as the worker must not analyse a
    // half-replaced set-up meanwhile.
    try {
        bool recording = device ? device->started : true;
        // The ring gives its buffers back before their device goes, and stays
        // detached if the new device cannot be opened.
        ring.detach();
        device = std::make_unique<MyAudio::WaveInDevice>(format);
        device->name = deviceName;
        deviceLost = false;
        deviceMissing = true;
        seenCallbacks = 0;
        silentChecks = 0;
        fft = std::make_unique<Fft>(static_cast<uint32_t>(fftSize));
        device->open(bufferEvent);
        ring.attach(device.get(), samplesPerBuffer);
        deviceMissing = false;
        microphoneAvailable.store(true, std::memory_order_relaxed);
        microphoneTried.store(true, std::memory_order_relaxed);
        if (recording)
            device->start();
        else
            device->stop();
    } catch (const MyUtils::Exception& e) {
        microphoneAvailable.store(false, std::memory_order_relaxed);
        microphoneTried.store(true, std::memory_order_relaxed);
        // A name that matches no device was asked for by the player, and the
        // device has said so in one line already; a box would only stop the
        // game. A device that exists and cannot be opened gets the box.
        if (e.message != MyAudio::noSuchMicrophone)
            showFailure(describeFailure(e));
    } catch (...) {
        microphoneAvailable.store(false, std::memory_order_relaxed);
        microphoneTried.store(true, std::memory_order_relaxed);
        showFailure("Unknown");
    }
}

void SoundManager::chooseMicrophone(const std::string& name) {
    {
        std::lock_guard<std::mutex> guard(requestMutex);
        switchRequested = true;
        requestedName = name;
    }
    switching.store(true, std::memory_order_relaxed);
    wakeThread();
}

void SoundManager::measureRoom() {
    {
        std::lock_guard<std::mutex> guard(requestMutex);
        roomRequested = true;
    }
    measuringRoom.store(true, std::memory_order_relaxed);
    wakeThread();
}

void SoundManager::takeRequests() {
    bool switchNow = false, roomNow = false;
    {
        std::lock_guard<std::mutex> guard(requestMutex);
        if (switchRequested) {
            deviceName = requestedName;
            switchNow = true;
        }
        roomNow = roomRequested;
        switchRequested = roomRequested = false;
    }
    if (!switchNow) {
        if (roomNow && microphoneAvailable.load(std::memory_order_relaxed))
            startRoomMeasure(room);
        else if (roomNow)
            cancelRoomMeasure();
        return;
    }
    try {
        replaceDevice();
    } catch (const MyUtils::Exception&) {
        // Said on stderr by the device; the display shows the rest.
    }
    switching.store(false, std::memory_order_relaxed);
    if (roomNow && microphoneAvailable.load(std::memory_order_relaxed))
        startRoomMeasure(room);
    else if (roomNow)
        cancelRoomMeasure();
}

void SoundManager::cancelRoomMeasure() {
    room.buffersLeft = 0;
    measuringRoom.store(false, std::memory_order_relaxed);
}

void SoundManager::replaceDevice() {
    cancelRoomMeasure();
    ring.detach();
    device.reset();
    deviceLost = false;
    deviceMissing = true;
    checksSinceLook = 0;
    seenCallbacks = 0;
    silentChecks = 0;
    zeroBuffers = 0;
    levelState = LevelState{};
    level.store(0.0f, std::memory_order_relaxed);
    hearing.store(false, std::memory_order_relaxed);
    clearTone.store(false, std::memory_order_relaxed);
    hearsNothing.store(false, std::memory_order_relaxed);
    microphoneAvailable.store(false, std::memory_order_relaxed);
    if (!fft)
        return; // the capture settings were never applied
    try {
        auto opened = std::make_unique<MyAudio::WaveInDevice>(format);
        opened->name = deviceName;
        opened->quiet = !switching.load(std::memory_order_relaxed);
        opened->open(bufferEvent);
        device = std::move(opened);
    } catch (...) {
        microphoneTried.store(true, std::memory_order_relaxed);
        throw;
    }
    ring.attach(device.get(), samplesPerBuffer);
    device->start();
    deviceMissing = false;
    microphoneAvailable.store(true, std::memory_order_relaxed);
    microphoneTried.store(true, std::memory_order_relaxed);
}

bool SoundManager::deviceListed() const {
    std::vector<std::string> names = MyAudio::captureDeviceNames();
    if (deviceName.empty())
        return !names.empty();
    return std::find(names.begin(), names.end(), deviceName) != names.end();
}

void SoundManager::lookForDevice() {
    if (!deviceMissing || !fft || ++checksSinceLook < checksPerLook)
        return;
    checksSinceLook = 0;
    // A device whose driver still sits in a read that never returned cannot
    // be closed without waiting for it: wait until it has moved again (or
    // SDL has given it up), and until every earlier close has finished.
    if (device && device->handle && !device->vanished() &&
        device->callbackCount() == callbacksAtLoss)
        return;
    if (MyAudio::closesPending() > 0 || !deviceListed())
        return;
    try {
        replaceDevice();
    } catch (const MyUtils::Exception&) {
        return; // quietly, until the next look
    }
    std::string which =
        deviceName.empty() ? "The microphone" : "The microphone \"" + deviceName + "\"";
    std::fprintf(stderr, "%s is back\n", which.c_str());
    std::fflush(stderr);
}

bool SoundManager::startCapture() {
    std::lock_guard<std::mutex> guard(lock);
    if (device)
        device->start();
    return true;
}

void configureCapture() {
    if (soundManager)
        soundManager->configureCapture();
}

void applyCaptureSettings() {
    if (soundManager)
        soundManager->applyCaptureSettings();
}

bool startCapture() {
    return soundManager ? soundManager->startCapture() : false;
}
