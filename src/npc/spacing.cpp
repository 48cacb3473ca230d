#include "npc/spacing.h"

#include <cmath>
#include <cstring>

namespace spacing {

namespace {
constexpr float kRadiusSquared = kRadius * kRadius;
// A squared compare agrees with sqrt(d2) < 60 except within a rounding step
// of 3600; distances in this window are decided by the square root itself.
constexpr float kNearLow = 3600.0f - 4 * 0.000244140625f; // four steps of a float at 3600
constexpr float kNearHigh = 3600.0f + 4 * 0.000244140625f;
} // namespace

int countWithin(const float* xs, const float* zs, int n, float x, float z) {
    // Four lanes at a time with the compiler's vector types (plain SSE2 on
    // x86-64): the same IEEE operations as the scalar rule, lane by lane. A
    // true comparison gives -1 in its lane.
    typedef float Floats __attribute__((vector_size(16)));
    typedef int Ints __attribute__((vector_size(16)));
    const Floats px = {x, x, x, x}, pz = {z, z, z, z};
    const Floats r2 = {kRadiusSquared, kRadiusSquared, kRadiusSquared, kRadiusSquared};
    const Floats lo = {kNearLow, kNearLow, kNearLow, kNearLow};
    const Floats hi = {kNearHigh, kNearHigh, kNearHigh, kNearHigh};
    Ints inside = {0, 0, 0, 0}, near = {0, 0, 0, 0};
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        Floats ax, az;
        std::memcpy(&ax, xs + j, sizeof ax);
        std::memcpy(&az, zs + j, sizeof az);
        const Floats dx = ax - px, dz = az - pz;
        const Floats d2 = dx * dx + dz * dz;
        inside += d2 < r2;
        near += (d2 > lo) & (d2 < hi);
    }
    int count = -(inside[0] + inside[1] + inside[2] + inside[3]);
    int nearCount = -(near[0] + near[1] + near[2] + near[3]);
    for (; j < n; ++j) {
        float dx = xs[j] - x;
        float dz = zs[j] - z;
        float d2 = dx * dx + dz * dz;
        count += d2 < kRadiusSquared;
        nearCount += (d2 > kNearLow) & (d2 < kNearHigh);
    }
    return nearCount == 0 ? count : countWithinBySqrt(xs, zs, n, x, z);
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
