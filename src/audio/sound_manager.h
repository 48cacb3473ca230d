// The sound manager: owns the microphone, the capture ring and the transform,
// and on its worker thread turns each finished capture buffer into the
// published `level`, which the player's keyboard step reads every frame.
//
// Threads: the worker analyses buffers under `lock`; the capture settings
// operations take the same lock on the main thread; SDL's audio thread fills
// buffers and signals `bufferEvent`. `level` is read without the lock. The
// worker's wait on `bufferEvent` is timed, so that it also notices a device
// that stopped calling back at all.
#pragma once
#include "audio/active_object.h"
#include "audio/auto_reset_event.h"
#include "audio/capture_ring.h"
#include "audio/fft.h"
#include "audio/level_rule.h"
#include "audio/wave_format.h"
#include "audio/wave_in_device.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace MyUtils {
struct Exception;
}

class SoundManager : public ActiveObject {
public:
    SoundManager();
    // Stops and joins the worker first, then closes the device.
    ~SoundManager() override;

    void wakeThread() override;

    // The capture settings operations (see the global functions below).
    void configureCapture();
    void applyCaptureSettings();
    bool startCapture();

    bool formatChanged = false;
    MyAudio::WaveFormat format;
    int32_t samplesPerBuffer = 0;
    int32_t fftSize = 0;
    std::mutex lock;
    MyAudio::AutoResetEvent bufferEvent;
    CaptureRing ring;
    std::unique_ptr<MyAudio::WaveInDevice> device;
    std::unique_ptr<Fft> fft;
    std::vector<int32_t> samples;
    // The level rule's constants and its runs; levelState.level is the
    // worker's own copy of `level`.
    const LevelRule rule;
    LevelState levelState;
    // Published for the frame loop: 0 to 8, relaxed loads and stores.
    std::atomic<float> level{0.0f};
    // Published for the display, beside the level: whether the last analysed
    // buffer counted as high, and the frequency of its peak in Hz.
    std::atomic<bool> hearing{false};
    std::atomic<float> peakHz{0.0f};
    // True while a capture device is open and delivering; false when none
    // could be opened or it went away during the game.
    std::atomic<bool> microphoneAvailable{false};
    // Set once opening the capture device has been tried, so that the display
    // does not call a device that is still opening missing.
    std::atomic<bool> microphoneTried{false};
    // The capture device to open by name; empty for the system's default.
    // Set before applyCaptureSettings.
    std::string deviceName;
    // Set by the worker, under `lock`, once the open device went away.
    bool deviceLost = false;

protected:
    void onThreadStart() override;
    void threadMain() override;

private:
    // With `lock` held: reads the ring's current buffer and moves the level.
    void analyseCurrentBuffer();
    // With `lock` held, once per wake-up: notices a started device that went
    // away or stopped delivering, says so once on stderr, drops the level to
    // 0 and clears microphoneAvailable.
    void watchDevice();

    // The device's callback count at the last check, and how many checks in
    // a row it has not moved. Worker only, under `lock`.
    uint64_t seenCallbacks = 0;
    int silentChecks = 0;
};

// The game's one sound manager; made at start-up, deleted when the game ends.
extern SoundManager* soundManager;

// "<message>, Error <code in lower-case hex>", the text of the failure box.
std::string describeFailure(const MyUtils::Exception& e);

// Start-up calls these three, in this order, right after creating the global
// `soundManager`; each does nothing when there is none.
void configureCapture();
void applyCaptureSettings();
bool startCapture();
