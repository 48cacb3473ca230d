#include "audio/tone_detector.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

typedef double Pair __attribute__((vector_size(16)));

inline Pair load(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline double power(const double* re, const double* im, uint32_t k) {
    return re[k] * re[k] + im[k] * im[k];
}

} // namespace

ToneReading findTone(const Fft& fft) {
    ToneReading reading;
    const uint32_t top = fft.size / 2; // bins 1 to top - 1
    if (top < 2)
        return reading;
    const double* re = fft.spectrumRe.data();
    const double* im = fft.spectrumIm.data();

    // The largest power first, on independent lanes; then the first bin that
    // holds it. A NaN compares false and never becomes the best.
    Pair m0 = {-1.0, -1.0}, m1 = m0;
    uint32_t k = 1;
    double best = -1.0;
    for (; k < top && (k & 3) != 0; ++k)
        best = std::max(best, power(re, im, k));
    for (; k + 4 <= top; k += 4) {
        Pair r0 = load(re + k), i0 = load(im + k), r1 = load(re + k + 2), i1 = load(im + k + 2);
        Pair p0 = r0 * r0 + i0 * i0, p1 = r1 * r1 + i1 * i1;
        m0 = p0 > m0 ? p0 : m0;
        m1 = p1 > m1 ? p1 : m1;
    }
    m0 = m1 > m0 ? m1 : m0;
    best = std::max({best, m0[0], m0[1]});
    for (; k < top; ++k)
        best = std::max(best, power(re, im, k));
    if (!(best >= 0.0))
        return reading;
    uint32_t peak = 1;
    while (peak < top && power(re, im, peak) != best)
        ++peak;
    if (peak == top)
        return reading;
    reading.peakBin = static_cast<int32_t>(peak);

    // A tone of amplitude A on a bin has magnitude A * N / 2, and half-way
    // between two bins A * N / pi; the weaker case sets the bar.
    const double loudness = minToneAmplitude * fft.size / pi;
    if (best < loudness * loudness)
        return reading;

    std::array<double, 2 * toneFloorReach + 1> around{};
    const uint32_t first =
        peak > static_cast<uint32_t>(toneFloorReach) + 1 ? peak - toneFloorReach : 1;
    const uint32_t last = std::min(peak + toneFloorReach, top - 1);
    size_t count = 0;
    for (uint32_t b = first; b <= last; ++b)
        around[count++] = power(re, im, b);
    auto middle = around.begin() + count / 2;
    std::nth_element(around.begin(), middle, around.begin() + count);
    reading.clear = best >= toneClearness * *middle;
    return reading;
}
