#include "audio/level_rule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<float> run(LevelState& state, int32_t peak, int buffers) {
    std::vector<float> levels;
    for (int i = 0; i < buffers; ++i) {
        applyPeak(state, peak);
        levels.push_back(state.level);
    }
    return levels;
}

void expectLevels(const std::vector<float>& got, const std::vector<float>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-5) << "after buffer " << i + 1;
}

} // namespace

TEST(LevelRule, RisesFasterTheLongerTheSoundLasts) {
    LevelState state;
    expectLevels(run(state, 400, 14), {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f,
                                       8.0f, 8.0f, 8.0f, 8.0f});
    EXPECT_EQ(state.level, 8.0f);
    EXPECT_EQ(state.riseRun, 14);
    EXPECT_EQ(state.fallRun, 0);
}

TEST(LevelRule, FallsToZeroAfter26Buffers) {
    LevelState state;
    state.level = 8.0f;
    std::vector<float> levels = run(state, 10, 30);
    EXPECT_NEAR(levels[0], 7.85f, 1e-5);
    EXPECT_NEAR(levels[7], 6.8f, 1e-5);  // eight steps of 0.15
    EXPECT_NEAR(levels[15], 4.4f, 1e-5); // then eight of 0.30
    EXPECT_GT(levels[24], 0.0f);
    EXPECT_EQ(levels[25], 0.0f);
    for (float level : levels)
        EXPECT_GE(level, 0.0f);
    EXPECT_EQ(state.level, 0.0f);
    EXPECT_EQ(state.fallRun, 30);
}

TEST(LevelRule, OneOppositeBufferResetsTheRun) {
    LevelState state;
    run(state, 300, 7); // 0.5 x5, then 1.0 x2: 4.5
    EXPECT_NEAR(state.level, 4.5f, 1e-5);
    applyPeak(state, 0);
    EXPECT_NEAR(state.level, 4.35f, 1e-5);
    EXPECT_EQ(state.riseRun, 0);
    applyPeak(state, 300);
    EXPECT_NEAR(state.level, 4.85f, 1e-5); // a rise of 0.5 again, not 1.0
    EXPECT_EQ(state.fallRun, 0);

    // And the other way round.
    LevelState falling;
    falling.level = 8.0f;
    run(falling, 0, 9); // the ninth step is already 0.30
    float before = falling.level;
    applyPeak(falling, 1000);
    applyPeak(falling, 0);
    EXPECT_NEAR(falling.level, before + 0.5f - 0.15f, 1e-5);
}

TEST(LevelRule, ThresholdIsInclusive) {
    LevelState rising;
    applyPeak(rising, 300);
    EXPECT_EQ(rising.level, 0.5f);
    EXPECT_EQ(rising.riseRun, 1);

    LevelState falling;
    falling.level = 1.0f;
    applyPeak(falling, 299);
    EXPECT_NEAR(falling.level, 0.85f, 1e-6);
    EXPECT_EQ(falling.fallRun, 1);

    // Silence from 0 stays at 0 and still counts the run.
    LevelState quiet;
    run(quiet, -5, 3);
    EXPECT_EQ(quiet.level, 0.0f);
    EXPECT_EQ(quiet.fallRun, 3);
}
