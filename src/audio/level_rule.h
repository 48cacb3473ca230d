// How the analysed spectrum moves the published microphone level: a buffer
// holding a clear tone that peaks at or above the threshold makes it rise,
// any other makes it sink, faster the longer the run lasts.
#pragma once
#include "audio/tone_detector.h"

#include <cstdint>

struct LevelRule {
    int32_t peakThreshold = 300; // about 1.6 kHz at 22050 samples/s, 4096 points
    int32_t riseDivisor = 5;     // run length per extra rise step
    int32_t fallDivisor = 8;     // run length per extra fall step
    float riseStep = 0.5f;
    float fallStep = 0.15f;
};

constexpr float maxLevel = 8.0f;

struct LevelState {
    float level = 0.0f; // 0 to maxLevel
    int32_t riseRun = 0;
    int32_t fallRun = 0;
};

// Whether a buffer counts as high: its tone is clear and lies at or above the
// threshold.
bool countsAsHigh(const ToneReading& tone, const LevelRule& rule = LevelRule{});

// One analysed buffer, high or not.
void applyBuffer(LevelState& state, bool high, const LevelRule& rule = LevelRule{});

// One analysed buffer that counts as high exactly when its peak bin `peak`
// lies at or above the threshold.
void applyPeak(LevelState& state, int32_t peak, const LevelRule& rule = LevelRule{});
