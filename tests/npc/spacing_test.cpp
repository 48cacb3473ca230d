// The spacing count must match the square-root rule exactly, including the
// distances that round onto the 60 threshold.
#include "npc/spacing.h"

#include <OgreVector.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

TEST(SpacingTest, MatchesTheSquareRootRuleAtTheThreshold) {
    // Points at distances that straddle 60 by a few units in the last place,
    // along the axes and along diagonals, where the squared compare and the
    // square root may disagree.
    std::vector<float> xs, zs;
    float d = 60.0f;
    for (int i = 0; i < 8; ++i)
        d = std::nextafter(d, 0.0f);
    for (int i = 0; i < 16; ++i, d = std::nextafter(d, 100.0f)) {
        xs.push_back(d);
        zs.push_back(0);
        xs.push_back(d / std::sqrt(2.0f));
        zs.push_back(d / std::sqrt(2.0f));
        xs.push_back(0.6f * d);
        zs.push_back(-0.8f * d);
    }
    const int n = static_cast<int>(xs.size());
    for (float ox : {0.0f, 0.1f, 1000.5f}) {
        std::vector<float> sx(xs), sz(zs);
        for (float& x : sx)
            x += ox;
        EXPECT_EQ(spacing::countWithin(sx.data(), sz.data(), n, ox, 0),
                  spacing::countWithinBySqrt(sx.data(), sz.data(), n, ox, 0));
    }
    // Some of these are inside and some outside, or the test shows nothing.
    int inside = spacing::countWithinBySqrt(xs.data(), zs.data(), n, 0, 0);
    EXPECT_GT(inside, 0);
    EXPECT_LT(inside, n);
}

TEST(SpacingTest, AgreesWithTheEngineVectorLengthNearTheCircle) {
    // The rule as the engine writes it: the length of the horizontal
    // difference vector in single precision. Random points within a few
    // units in the last place of the circle, around several centres, counted
    // in runs of 13 (vector lanes and a scalar tail).
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> angle(0, 6.2831853f);
    std::uniform_int_distribution<int> ulps(-6, 6);
    // Half of the centres get points spread from 30 to 90 instead: runs
    // without a point at the threshold, which the squared compare decides.
    std::uniform_real_distribution<float> spread(30, 90);
    constexpr int kRun = 13;
    int inside = 0, outside = 0;
    for (float cx : {0.0f, 17.25f, -1234.5f, 0.5f, 333.0f}) {
        const bool atThreshold = cx != 0.5f && cx != 333.0f;
        std::vector<float> xs, zs;
        for (int i = 0; i < 13000; ++i) {
            float a = angle(rng);
            float r = atThreshold ? 60.0f : spread(rng);
            for (int k = atThreshold ? ulps(rng) : 0; k != 0; k += k > 0 ? -1 : 1)
                r = std::nextafter(r, k > 0 ? 100.0f : 0.0f);
            xs.push_back(cx + r * std::cos(a));
            zs.push_back(cx + r * std::sin(a));
        }
        for (std::size_t start = 0; start + kRun <= xs.size(); start += kRun) {
            int engine = 0;
            for (int k = 0; k < kRun; ++k)
                engine += Ogre::Vector3(xs[start + k] - cx, 0, zs[start + k] - cx).length() < 60.0f;
            ASSERT_EQ(spacing::countWithin(&xs[start], &zs[start], kRun, cx, cx), engine)
                << "run at " << start << " around " << cx;
            inside += engine;
            outside += kRun - engine;
        }
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(outside, 1000);
}

TEST(SpacingTest, EmptyEntriesAndFarPointsAreNeverCounted) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float xs[] = {nan, 10, 3e38f, -3e38f, 59.9f};
    float zs[] = {nan, 10, 0, 0, 0};
    EXPECT_EQ(spacing::countWithin(xs, zs, 5, 0, 0), 2);
    EXPECT_EQ(spacing::countWithinBySqrt(xs, zs, 5, 0, 0), 2);
}

TEST(SpacingTest, TheGridCountsExactlyAsTheSquareRootRule) {
    // People in crowds that straddle cell edges (multiples of 64) and the
    // 60 threshold, moving between counts, some leaving; a few far outside
    // the world, not finite, or asked about from there.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> near(-70, 70), step(-9, 9);
    std::uniform_int_distribution<int> anyone(0, spacing::Grid::kEntries - 1);
    const float centres[] = {0, 64, -128, 1000.5f, 6e6f};
    std::vector<float> xs(spacing::Grid::kEntries, nan), zs(xs);
    spacing::Grid grid;
    auto place = [&](int i, float x, float z) {
        xs[i] = x;
        zs[i] = z;
        grid.place(i, x, z);
    };
    for (int i = 0; i < spacing::Grid::kEntries; ++i)
        place(i, centres[i % 5] + near(rng), centres[(i / 5) % 5] + near(rng));
    place(7, 3e20f, 5);
    place(8, inf, 0);
    place(9, nan, 0);
    int inside = 0;
    for (int round = 0; round < 40; ++round) {
        for (int k = 0; k < 50; ++k) {
            const int i = anyone(rng);
            if (k == 0) {
                grid.remove(i);
                xs[i] = zs[i] = nan;
            } else if (std::isfinite(xs[i]) && std::fabs(xs[i]) < 1e9f) {
                place(i, xs[i] + step(rng), zs[i] + step(rng));
            }
        }
        for (int i = 0; i < spacing::Grid::kEntries; i += 3) {
            const float x = std::isfinite(xs[i]) ? xs[i] : 0, z = std::isfinite(zs[i]) ? zs[i] : 0;
            const int want =
                spacing::countWithinBySqrt(xs.data(), zs.data(), spacing::Grid::kEntries, x, z);
            ASSERT_EQ(grid.countWithin(x, z), want) << "round " << round << ", entry " << i;
            inside += want;
        }
        for (float x : {3e20f + 30, -inf, nan})
            ASSERT_EQ(
                grid.countWithin(x, 5),
                spacing::countWithinBySqrt(xs.data(), zs.data(), spacing::Grid::kEntries, x, 5));
    }
    EXPECT_GT(inside, 1000); // crowds, not loners
    grid.clear();
    EXPECT_EQ(grid.countWithin(0, 0), 0);
}

} // namespace
