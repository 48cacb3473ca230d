// The people's spacing rule as a plain function over position arrays.
#pragma once

namespace spacing {

constexpr float kRadius = 60.0f;

// How many of the n points (xs[j], zs[j]) lie horizontally closer than 60 to
// (x, z), with exactly the result of sqrt(dx*dx + dz*dz) < 60 in single
// precision. A NaN coordinate marks an empty entry and is never counted.
int countWithin(const float* xs, const float* zs, int n, float x, float z);

// The same by the square root of every distance: the rule as written.
int countWithinBySqrt(const float* xs, const float* zs, int n, float x, float z);

} // namespace spacing
