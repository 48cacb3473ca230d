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
#include "audio/room_measure.h"
#include "audio/wave_format.h"
#include "audio/wave_in_device.h"

#include <atomic>
#include <cmath>
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

    // Main thread. Asks the worker to close the microphone and open the one
    // called `name` (the default when empty) in its place, at its next
    // wake-up. A failure shows no box: the display says so, and the name is
    // looked for again as a lost device is.
    void chooseMicrophone(const std::string& name);
    // Main thread. Asks the worker to measure the room over its next
    // roomMeasureBuffers buffers; roomMeasures counts up when it is done,
    // with the sensitivity it asks for in roomSensitivityDbfs.
    void measureRoom();

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

    // The player's sensitivity: the quietest tone that counts, in dBFS
    // (quietestToneMinDbfs to quietestToneMaxDbfs). The main thread stores,
    // the worker loads it for each buffer.
    std::atomic<float> quietestToneDbfs{static_cast<float>(quietestToneDefaultDbfs)};
    // Published with peakHz: the peak's loudness in dBFS (ToneReading), and
    // whether it was a clear tone loud enough to count, at any pitch.
    std::atomic<float> peakDbfs{-200.0f};
    std::atomic<bool> clearTone{false};
    // True once the microphone has delivered nothing but zeros for about ten
    // seconds (silentHintBuffers buffers in a row); false at the first sound.
    std::atomic<bool> hearsNothing{false};
    // True from chooseMicrophone until the worker has tried the device.
    std::atomic<bool> switching{false};
    // The room measures: true while one listens; counts those finished.
    std::atomic<bool> measuringRoom{false};
    std::atomic<uint32_t> roomMeasures{0};
    std::atomic<float> roomSensitivityDbfs{static_cast<float>(quietestToneDefaultDbfs)};
    // The loudest line the last measure heard that would have counted;
    // -inf when there was none.
    std::atomic<float> roomLoudestDbfs{-HUGE_VALF};

    // Buffers of nothing but zeros in a row before hearsNothing: ten seconds.
    static constexpr int silentHintBuffers = 54;

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
    // With `lock` held: the old device goes (its ring detached) and a device
    // called `deviceName` opens, started, in its place. Throws what opening
    // throws, with no device left open.
    void replaceDevice();
    // With `lock` held, once per wake-up: takes the main thread's requests.
    void takeRequests();
    // With `lock` held, once per wake-up: every few seconds, while the chosen
    // device is not open, opens it again if a device of its name is listed
    // and the old one can be let go without waiting for it.
    void lookForDevice();
    bool deviceListed() const;
    void cancelRoomMeasure();

    // The main thread's requests, under requestMutex.
    std::mutex requestMutex;
    bool switchRequested = false;
    std::string requestedName;
    bool roomRequested = false;

    // Worker only, under `lock`.
    RoomMeasure room;
    int zeroBuffers = 0;
    // The chosen device could not be opened, or went away: look for it.
    bool deviceMissing = false;
    int checksSinceLook = 0;
    // The callback count when the device was lost.
    uint64_t callbacksAtLoss = 0;

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
