#include "audio/tone_detector.h"

#include "audio/fft_avx2.h"
#include "audio/simd_pair.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A 16-bit sample's full scale.
constexpr double fullScale = 32768.0;

inline double power(const double* re, const double* im, uint32_t k) {
    return re[k] * re[k] + im[k] * im[k];
}

// The portable search for the strongest of bins 1 to top - 1 (the lower bin
// on equal powers; a NaN never wins).
void strongestBin(const double* re, const double* im, uint32_t top, double& best, uint32_t& peak) {
    // Four lanes each keep their largest power and the first bin holding it,
    // so that no long chain of compares forms; a NaN compares false and never
    // wins. The lanes, the bins before them and those after them are then
    // merged, the lower bin winning equal powers.
    auto consider = [&](double value, uint32_t bin) {
        if (value > best || (value == best && bin < peak)) {
            best = value;
            peak = bin;
        }
    };
    uint32_t k = 1;
    for (; k < top && (k & 3) != 0; ++k)
        consider(power(re, im, k), k);
    Pair m0 = {-1.0, -1.0}, m1 = m0, b0 = {0.0, 0.0}, b1 = b0;
    Pair k0 = {double(k), double(k + 1)}, k1 = {double(k + 2), double(k + 3)};
    const Pair step = {4.0, 4.0};
    for (; k + 4 <= top; k += 4, k0 += step, k1 += step) {
        Pair r0 = load(re + k), i0 = load(im + k), r1 = load(re + k + 2), i1 = load(im + k + 2);
        Pair p0 = r0 * r0 + i0 * i0, p1 = r1 * r1 + i1 * i1;
        auto g0 = p0 > m0, g1 = p1 > m1;
        m0 = g0 ? p0 : m0;
        b0 = g0 ? k0 : b0;
        m1 = g1 ? p1 : m1;
        b1 = g1 ? k1 : b1;
    }
    for (int lane = 0; lane < 2; ++lane) {
        consider(m0[lane], static_cast<uint32_t>(b0[lane]));
        consider(m1[lane], static_cast<uint32_t>(b1[lane]));
    }
    for (; k < top; ++k)
        consider(power(re, im, k), k);
}

} // namespace

double clampQuietestTone(double dbfs) {
    if (std::isnan(dbfs))
        return quietestToneDefaultDbfs;
    return std::clamp(dbfs, quietestToneMinDbfs, quietestToneMaxDbfs);
}

ToneReading findTone(const Fft& fft, const ToneRule& rule) {
    ToneReading reading;
    const uint32_t top = fft.size / 2; // bins 1 to top - 1
    if (top < 2)
        return reading;
    const double* re = fft.spectrumRe.data();
    const double* im = fft.spectrumIm.data();

    double best = -1.0;
    uint32_t peak = 0;
    if (fft.kernels() == FftKernels::Avx2)
        fft_avx2::strongestBin(re, im, 1, top, best, peak);
    else
        strongestBin(re, im, top, best, peak);
    if (peak == 0)
        return reading;
    reading.peakBin = static_cast<int32_t>(peak);

    // A tone of amplitude A on a bin has magnitude A * N / 2, and half-way
    // between two bins A * N / pi; the weaker case sets the bar.
    reading.peakDbfs = 20.0 * std::log10(std::sqrt(best) * pi / fft.size / fullScale);
    const double loudness =
        fullScale * std::pow(10.0, rule.quietestToneDbfs / 20.0) * fft.size / pi;
    if (best < loudness * loudness)
        return reading;

    // The floor is the median power of the bins around the peak (the middle
    // one in ascending order), and the peak is clear when best is at least
    // toneClearness times it. Multiplying by a positive number keeps the
    // order of the powers, so that holds exactly when more than half of the
    // bins (count / 2 + 1 of them) pass the same test: a count in one pass
    // instead of a partial sort.
    const uint32_t first =
        peak > static_cast<uint32_t>(toneFloorReach) + 1 ? peak - toneFloorReach : 1;
    const uint32_t last = std::min(peak + toneFloorReach, top - 1);
    uint32_t below = 0;
    for (uint32_t b = first; b <= last; ++b)
        below += best >= toneClearness * power(re, im, b);
    reading.clear = below >= (last - first + 1) / 2 + 1;
    return reading;
}
