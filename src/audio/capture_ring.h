// The ring of capture buffers between the microphone and the sound manager's
// worker. All buffers but one are with the device; the one held back is the
// buffer read last, left untouched until the next one is read. The device
// writes into the ring's memory, so detach (or destroy the device) before the
// ring goes.
#pragma once
#include "audio/wave_format.h"

#include <cstdint>
#include <vector>

namespace MyAudio {
class WaveInDevice;
}

// Converts `frames` frames of raw PCM in `format` into 32-bit samples. Throws
// the plain text "Unsupported format" for a sample width other than 8 or 16.
void convertSamples(const uint8_t* data, const MyAudio::WaveFormat& format, uint32_t frames,
                    int32_t* out);

class CaptureRing {
public:
    explicit CaptureRing(int32_t bufferCount = 16);
    CaptureRing(const CaptureRing&) = delete;
    CaptureRing& operator=(const CaptureRing&) = delete;

    // Sizes the buffers for the device's format and hands all but the last to
    // it. Detaches from any previous device first.
    void attach(MyAudio::WaveInDevice* device, int32_t samplesPerBuffer);
    // Takes the buffers back from the device and forgets it, so that the ring
    // never points at a device that is about to go.
    void detach();
    bool isCurrentDone() const;
    // Re-queues the buffer read last time, converts the current one into
    // `samples` and advances. Only valid after isCurrentDone() said true.
    void takeCurrent(std::vector<int32_t>& samples);

    MyAudio::WaveInDevice* device = nullptr;
    int32_t bufferCount;
    std::vector<uint8_t> memory;
    std::vector<MyAudio::WaveHeader> headers;
    int32_t current = 0;
    int32_t samplesPerBuffer = 0;
    int32_t bufferBytes = 0;
    uint32_t framesPerBuffer = 0;

private:
    void queueBuffer(int32_t index);
};
