// How the analysed spectrum moves the published microphone level: peaks at or
// above the threshold make it rise, others make it sink, faster the longer the
// run lasts.
#pragma once
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

// One analysed buffer whose spectrum peaked at bin `peak`.
void applyPeak(LevelState& state, int32_t peak, const LevelRule& rule = LevelRule{});
