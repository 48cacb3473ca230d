#include "audio/level_rule.h"

#include <limits>

namespace {

// A run that lasts for years must not overflow.
void extend(int32_t& run) {
    if (run < std::numeric_limits<int32_t>::max())
        ++run;
}

} // namespace

bool countsAsHigh(const ToneReading& tone, const LevelRule& rule) {
    return tone.clear && tone.peakBin >= rule.peakThreshold;
}

void applyPeak(LevelState& s, int32_t peak, const LevelRule& rule) {
    applyBuffer(s, peak >= rule.peakThreshold, rule);
}

void applyBuffer(LevelState& s, bool high, const LevelRule& rule) {
    if (high) {
        if (s.level < maxLevel)
            s.level += static_cast<float>(s.riseRun / rule.riseDivisor + 1) * rule.riseStep;
        if (s.level > maxLevel)
            s.level = maxLevel;
        extend(s.riseRun);
        s.fallRun = 0;
    } else {
        if (s.level > 0.0f)
            s.level -= static_cast<float>(s.fallRun / rule.fallDivisor + 1) * rule.fallStep;
        if (s.level < 0.0f)
            s.level = 0.0f;
        extend(s.fallRun);
        s.riseRun = 0;
    }
}
