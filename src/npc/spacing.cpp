#include "npc/spacing.h"

#include <cmath>

namespace spacing {

namespace {
constexpr float kRadiusSquared = kRadius * kRadius;
// A squared compare agrees with sqrt(d2) < 60 except within a rounding step
// of 3600; distances in this window are decided by the square root itself.
const float kNearLow = 3600.0f - 4 * 0.000244140625f;  // four steps of a float at 3600
const float kNearHigh = 3600.0f + 4 * 0.000244140625f;
} // namespace

int countWithin(const float* xs, const float* zs, int n, float x, float z) {
    int count = 0;
    int near = 0;
    // No branch in the loop, so that the compiler can run it in vector lanes.
    for (int j = 0; j < n; ++j) {
        float dx = xs[j] - x;
        float dz = zs[j] - z;
        float d2 = dx * dx + dz * dz;
        count += d2 < kRadiusSquared;
        near += (d2 > kNearLow) & (d2 < kNearHigh);
    }
    return near == 0 ? count : countWithinBySqrt(xs, zs, n, x, z);
}

int countWithinBySqrt(const float* xs, const float* zs, int n, float x, float z) {
    int count = 0;
    for (int j = 0; j < n; ++j) {
        float dx = xs[j] - x;
        float dz = zs[j] - z;
        count += std::sqrt(dx * dx + dz * dz) < kRadius;
    }
    return count;
}

} // namespace spacing
