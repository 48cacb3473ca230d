#include "audio/sound_manager.h"

#include "util/exception.h"
#include "util/globals.h"
#include "util/message_box.h"

#include <cstdio>

namespace {

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
    std::fputs("Sprava", stdout);
    std::fflush(stdout);
    try {
        for (;;) {
            bufferEvent.wait();
            if (dying.load())
                return;
            std::lock_guard<std::mutex> guard(lock);
            // Signals that came while the worker was busy merge into one
            // wake-up, so take every finished buffer now, in ring order,
            // rather than letting a backlog build up.
            while (!dying.load() && ring.isCurrentDone())
                analyseCurrentBuffer();
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
    ToneReading tone = findTone(*fft);
    bool high = countsAsHigh(tone, rule);
    applyBuffer(levelState, high, rule);
    level.store(levelState.level, std::memory_order_relaxed);
    hearing.store(high, std::memory_order_relaxed);
    peakHz.store(static_cast<float>(tone.peakBin) * static_cast<float>(format.nSamplesPerSec) /
                     static_cast<float>(fft->size),
                 std::memory_order_relaxed);
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
        fft = std::make_unique<Fft>(static_cast<uint32_t>(fftSize));
        device->open(bufferEvent);
        ring.attach(device.get(), samplesPerBuffer);
        microphoneAvailable.store(true, std::memory_order_relaxed);
        microphoneTried.store(true, std::memory_order_relaxed);
        if (recording)
            device->start();
        else
            device->stop();
    } catch (const MyUtils::Exception& e) {
        microphoneAvailable.store(false, std::memory_order_relaxed);
        microphoneTried.store(true, std::memory_order_relaxed);
        showFailure(describeFailure(e));
    } catch (...) {
        microphoneAvailable.store(false, std::memory_order_relaxed);
        microphoneTried.store(true, std::memory_order_relaxed);
        showFailure("Unknown");
    }
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
