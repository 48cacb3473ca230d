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

} // namespace
