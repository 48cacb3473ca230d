// The microphone, behind the wave-in contract: the owner queues buffers, the
// device fills them whole in queue order, marks each one done and signals one
// auto-reset event per finished buffer. Here an SDL capture device does the
// filling from its callback thread.
#pragma once
#include "audio/auto_reset_event.h"
#include "audio/wave_format.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace MyAudio {

constexpr uint32_t WAVE_MAPPER = 0xFFFFFFFFu;

// Results, as the wave-in interface numbers them.
constexpr uint32_t MMSYSERR_NOERROR = 0;
constexpr uint32_t MMSYSERR_BADDEVICEID = 2;
constexpr uint32_t MMSYSERR_INVALHANDLE = 5;
constexpr uint32_t WAVERR_BADFORMAT = 32;
constexpr uint32_t WAVERR_STILLPLAYING = 33;
constexpr uint32_t WAVERR_UNPREPARED = 34;

// Samples per SDL callback; one game buffer's worth at the start-up settings.
constexpr uint16_t captureChunkSamples = 4096;

// The message of the failure thrown by open() for a name that no capture
// device has; the owner tells it from a device that failed to open.
extern const char* const noSuchMicrophone;

// The names of the capture devices, in SDL's order. SDL's audio must be
// initialised.
std::vector<std::string> captureDeviceNames();

// Frees what SDL keeps for the calling thread (its error text, for one).
// A thread that SDL did not start calls it before it ends, or that is lost.
void releaseThreadState();

// SDL's audio, counted: every user of it takes it and gives it back through
// these, on any thread. The last give-back ends SDL's audio, which closes
// every device still open and waits for their threads.
bool acquireAudio();
void releaseAudio();

// Capture devices whose closing has not finished: a driver whose read
// blocks (a pipe whose writer stopped) holds its thread, and closing waits
// for that thread. Such a device keeps its hold on SDL's audio until it is
// closed, so that nothing else waits for it.
int closesPending();

// `No microphone named "X"; found: "A", "B"`, without a line end.
std::string noSuchMicrophoneText(const std::string& name);

class WaveInDevice {
public:
    explicit WaveInDevice(const WaveFormat& format);
    // Virtual only so that a test's subclass is destroyed whole.
    virtual ~WaveInDevice();
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;

    // Opens the capture device called `name` (the default when empty),
    // paused. Throws MyUtils::Exception "Cannot open device" (code: errno) and
    // writes SDL's reason to stderr. A name that no device has, and that the
    // driver does not take either (SDL's disk driver takes a file's path),
    // gives one line naming the devices found and the failure
    // `noSuchMicrophone` instead. With `quiet` set nothing is written.
    void open(AutoResetEvent& event);
    void start();
    void stop();
    // Takes every queued buffer back, marked done, and pauses the device.
    void reset();

    uint32_t prepare(WaveHeader& header);
    uint32_t add(WaveHeader& header);
    uint32_t unprepare(WaveHeader& header);
    // Reads the done bit in step with the filling thread.
    bool isDone(const WaveHeader& header);
    // Buffers handed over and not yet finished.
    size_t queuedCount();

    // Called just before a buffer is handed to the device.
    virtual void onBufferQueued(uint8_t* data, uint32_t bytes);

    // The device's part of the contract: copies captured bytes into the oldest
    // queued buffers, finishing each one only when it is full, and signals the
    // event once if any buffer was finished. Bytes with no buffer to take them
    // are dropped. Called from SDL's audio thread; tests may call it directly.
    void deliver(const uint8_t* data, size_t bytes);
    static void captureCallback(void* device, uint8_t* stream, int len);

    // True when the open device has gone away (unplugged, or closed behind
    // our back). SDL may go on calling back with silence for such a device.
    bool vanished() const;
    // Callbacks from SDL so far: a count that stops moving means the device
    // stopped delivering.
    uint64_t callbackCount() const { return callbacks.load(std::memory_order_relaxed); }

    WaveFormat format;
    bool started = false;
    uint32_t deviceId = WAVE_MAPPER;
    uint32_t handle = 0; // SDL_AudioDeviceID; 0 when not open
    uint32_t status = MMSYSERR_BADDEVICEID;
    // The capture device to open; empty for the system's default.
    std::string name;
    // Set for attempts that are repeated until they succeed.
    bool quiet = false;

private:
    [[noreturn]] void failOpen(uint32_t result, int error, const char* reason);
    void closeDevice();
    void push(WaveHeader* header);
    WaveHeader* front() const { return queue[head]; }
    void pop();

    std::mutex queueMutex; // guards the queue and the flags of queued headers
    std::vector<WaveHeader*> queue;
    size_t head = 0;
    size_t count = 0;
    AutoResetEvent* event = nullptr;
    bool audioInitialised = false;
    std::atomic<uint64_t> callbacks{0};
};

} // namespace MyAudio
