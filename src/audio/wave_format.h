// Capture format and buffer header records. Their fields keep the names of the
// Windows wave-in records, whose contract the capture device follows, so the
// ring and the sound manager read the same on every platform.
#pragma once
#include <cstdint>

namespace MyAudio {

constexpr uint16_t WAVE_FORMAT_PCM = 1;

struct WaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

// dwFlags bits.
constexpr uint32_t WHDR_DONE = 1;     // the device has filled the buffer
constexpr uint32_t WHDR_PREPARED = 2; // prepared, may be added
constexpr uint32_t WHDR_INQUEUE = 16; // with the device, being filled

struct WaveHeader {
    uint8_t* lpData;
    uint32_t dwBufferLength;
    uint32_t dwBytesRecorded;
    uintptr_t dwUser;
    uint32_t dwFlags;
    uint32_t dwLoops;
};

} // namespace MyAudio
