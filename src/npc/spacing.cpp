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

Grid::Grid() {
    clear();
}

void Grid::clear() {
    for (int& h : head)
        h = -1;
    for (int i = 0; i < kEntries; ++i)
        list[i] = next[i] = prev[i] = -1;
}

bool Grid::inGrid(float x, float z) {
    return std::fabs(double(x)) < kGridReach && std::fabs(double(z)) < kGridReach;
}

namespace {
// The floor of a number of magnitude below 2^53, without a library call.
long long floorOf(double v) {
    const auto t = static_cast<long long>(v);
    return t - (double(t) > v);
}
} // namespace

Grid::Cell Grid::cellOf(float x, float z) {
    return {floorOf(double(x) / kCell), floorOf(double(z) / kCell)};
}

int Grid::bucketOf(const Cell& c) {
    const auto h = static_cast<unsigned long long>(c.x) * 0x9E3779B97F4A7C15ull ^
                   static_cast<unsigned long long>(c.z) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<int>((h >> 40) & (kBuckets - 1));
}

void Grid::unlink(int i) {
    if (list[i] < 0)
        return;
    if (prev[i] >= 0)
        next[prev[i]] = next[i];
    else
        head[list[i]] = next[i];
    if (next[i] >= 0)
        prev[next[i]] = prev[i];
    list[i] = -1;
}

void Grid::link(int i, int to) {
    prev[i] = -1;
    next[i] = head[to];
    if (next[i] >= 0)
        prev[next[i]] = i;
    head[to] = i;
    list[i] = to;
}

void Grid::place(int i, float x, float z) {
    xs[i] = x;
    zs[i] = z;
    // NaN and infinite positions are never within reach of anything.
    if (!std::isfinite(x) || !std::isfinite(z)) {
        unlink(i);
        return;
    }
    if (!inGrid(x, z)) {
        if (list[i] != kBuckets) {
            unlink(i);
            link(i, kBuckets);
        }
        return;
    }
    const Cell c = cellOf(x, z);
    if (list[i] >= 0 && list[i] < kBuckets && cells[i] == c)
        return;
    unlink(i);
    cells[i] = c;
    link(i, bucketOf(c));
}

void Grid::remove(int i) {
    unlink(i);
}

int Grid::countWithin(float x, float z) const {
    auto within = [&](int i) {
        const float dx = xs[i] - x, dz = zs[i] - z;
        return std::sqrt(dx * dx + dz * dz) < kRadius;
    };
    int count = 0;
    if (!std::isfinite(x) || !std::isfinite(z))
        return 0; // every distance is infinite or NaN
    for (int i = head[kBuckets]; i >= 0; i = next[i])
        count += within(i);
    if (!inGrid(x, z)) {
        // Far out, every placed entry is looked at.
        for (int b = 0; b < kBuckets; ++b)
            for (int i = head[b]; i >= 0; i = next[i])
                count += within(i);
        return count;
    }
    // Anything closer than 60 lies in this cell or in the neighbour on the
    // side of each axis that the point is nearer to: cells are 128 wide, so
    // from the near half of a cell 60 reaches one cell over on that side and
    // not past the far edge. Buckets may hold other cells too, and two of
    // the four may share a bucket, so each entry counts only under its own
    // cell.
    const Cell c = cellOf(x, z);
    const long long x0 = c.x - (double(x) - double(c.x) * kCell < kCell / 2);
    const long long z0 = c.z - (double(z) - double(c.z) * kCell < kCell / 2);
    for (long long cz = z0; cz <= z0 + 1; ++cz)
        for (long long cx = x0; cx <= x0 + 1; ++cx) {
            const Cell n{cx, cz};
            for (int i = head[bucketOf(n)]; i >= 0; i = next[i])
                count += cells[i] == n && within(i);
        }
    return count;
}

} // namespace spacing
