// Whether a transformed buffer holds a clear tone, such as a whistle, and at
// which bin. The strongest bin alone cannot say: every sound has one, and in
// plain hiss it lies anywhere. A tone is a line that stands far above the
// spectrum around it, and loud enough to be meant.
#pragma once
#include "audio/fft.h"

#include <cmath>
#include <cstdint>

struct ToneReading {
    // The bin with the largest magnitude among bins 1 to N/2 - 1 (the lower
    // bin on equal values; 0 when N < 4 or every bin is NaN). Bin 0, the
    // input's mean, is no sound and never counts.
    int32_t peakBin = 0;
    // The peak stands at least toneClearness above the floor around it and is
    // at least as loud as the rule's quietest tone.
    bool clear = false;
    // The peak's loudness in dBFS: the amplitude of a sine that lands half-way
    // between two bins and gives the same power (a sine on a bin reads about
    // 4 dB louder). -infinity when there is no peak. The peak is loud enough
    // exactly when this is at least the rule's quietestToneDbfs.
    double peakDbfs = -HUGE_VAL;
};

// The floor is the median power of the bins within this many bins of the
// peak (about 345 Hz either way at 22050 samples/s and 4096 points): wide
// enough that the peak, the leakage of a tone and a vibrato's spread stay a
// minority of the bins, narrow enough to follow the noise's slope.
constexpr int32_t toneFloorReach = 64;
// Power ratio of the peak to that floor: 20 dB. In white noise the strongest
// of 2047 bins stands about 12 dB above the median, and 20 dB is reached by
// chance about once in 10^27 buffers; a tone 15 dB above broadband room noise
// stands about 31 dB or more above it.
constexpr double toneClearness = 100.0;
// The quietest tone that counts, in dBFS of 16-bit input (full scale 32768):
// the player's sensitivity, from -60 (the default: keeps faint electrical
// whines and the rounding of near-silence from counting) to -20 (for a noisy
// room or a microphone that hears a whine).
constexpr double quietestToneDefaultDbfs = -60.0;
constexpr double quietestToneMinDbfs = -60.0;
constexpr double quietestToneMaxDbfs = -20.0;

// The parts of the tone rule that the player may set.
struct ToneRule {
    // Within quietestToneMinDbfs to quietestToneMaxDbfs in the game;
    // -HUGE_VAL lets a line of any loudness count, as the room measurement
    // needs.
    double quietestToneDbfs = quietestToneDefaultDbfs;
};

// The sensitivity brought into its range; NaN gives the default.
double clampQuietestTone(double dbfs);

// Reads the spectrum of the last transform. No allocation.
ToneReading findTone(const Fft& fft, const ToneRule& rule = ToneRule{});
