#include "audio/capture_ring.h"

#include "audio/wave_in_device.h"

using MyAudio::WaveHeader;

namespace {

int32_t word(const uint8_t* data, uint32_t index) {
    // Little-endian whatever the host.
    return static_cast<int16_t>(static_cast<uint16_t>(data[2 * index]) |
                                static_cast<uint16_t>(data[2 * index + 1]) << 8);
}

} // namespace

void convertSamples(const uint8_t* data, const MyAudio::WaveFormat& format, uint32_t frames,
                    int32_t* out) {
    bool mono = format.nChannels == 1;
    if (format.wBitsPerSample == 8) {
        for (uint32_t i = 0; i < frames; ++i)
            out[i] = mono ? (data[i] - 128) * 64 : (data[2 * i] + data[2 * i + 1] - 256) * 128;
    } else if (format.wBitsPerSample == 16) {
        for (uint32_t i = 0; i < frames; ++i)
            out[i] = mono ? word(data, i) : (word(data, 2 * i) + word(data, 2 * i + 1)) / 2;
    } else {
        throw "Unsupported format";
    }
}

CaptureRing::CaptureRing(int32_t count)
    : bufferCount(count), headers(static_cast<size_t>(count), WaveHeader{}) {}

void CaptureRing::attach(MyAudio::WaveInDevice* d, int32_t spb) {
    detach();
    const MyAudio::WaveFormat& f = d->format;
    // A format with no channels would divide by zero below.
    if (f.nChannels == 0)
        throw "Unsupported format";
    device = d;
    samplesPerBuffer = spb;
    int32_t bytesPerFrame = (f.wBitsPerSample * f.nChannels) / 8;
    bufferBytes = bytesPerFrame * spb;
    memory.assign(static_cast<size_t>(bufferCount) * static_cast<size_t>(bufferBytes), 0);
    framesPerBuffer = static_cast<uint32_t>(spb) / f.nChannels;
    for (int32_t i = 0; i + 1 < bufferCount; ++i)
        queueBuffer(i);
    current = 0;
}

void CaptureRing::detach() {
    if (device)
        device->reset();
    device = nullptr;
    for (WaveHeader& h : headers)
        h = WaveHeader{};
    current = 0;
}

void CaptureRing::queueBuffer(int32_t i) {
    WaveHeader& h = headers[static_cast<size_t>(i)];
    h.lpData = memory.data() + static_cast<size_t>(i) * static_cast<size_t>(bufferBytes);
    h.dwBufferLength = static_cast<uint32_t>(bufferBytes);
    device->onBufferQueued(h.lpData, h.dwBufferLength);
    h.dwFlags = 0;
    h.dwLoops = 0;
    device->prepare(h);
    device->add(h);
}

bool CaptureRing::isCurrentDone() const {
    if (!device)
        return false;
    return device->isDone(headers[static_cast<size_t>(current)]);
}

void CaptureRing::takeCurrent(std::vector<int32_t>& samples) {
    WaveHeader& h = headers[static_cast<size_t>(current)];
    device->unprepare(h);
    queueBuffer(current == 0 ? bufferCount - 1 : current - 1);
    samples.resize(framesPerBuffer);
    convertSamples(h.lpData, device->format, framesPerBuffer, samples.data());
    current = current + 1 == bufferCount ? 0 : current + 1;
}
