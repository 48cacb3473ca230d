#include "audio/fft.h"

#include "audio/fft_avx2.h"
#include "audio/simd_pair.h"
#include "util/exception.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

const double pi = 2.0 * std::asin(1.0);

namespace {

inline void store(double* p, Pair v) {
    std::memcpy(p, &v, sizeof v);
}

inline Pair swapped(Pair v) {
    return Pair{v[1], v[0]};
}

} // namespace

FftKernels fastestFftKernels() {
    static const bool avx2 = fft_avx2::supported();
    return avx2 ? FftKernels::Avx2 : FftKernels::Portable;
}

Fft::~Fft() = default;
Fft::Fft(Fft&&) noexcept = default;
Fft& Fft::operator=(Fft&&) noexcept = default;

Fft::Fft(uint32_t n, FftKernels kernels) : size(n), levels(0) {
    if (n == 0 || (n & (n - 1)) != 0)
        throw MyUtils::Exception{EINVAL, "FFT size must be a power of two"};
    while (((n - 1) >> levels) != 0)
        ++levels;

    // Incremental bit reversal: j runs through the reversed counting order.
    bitReverse.assign(n, 0);
    uint32_t j = 0;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        bitReverse[i] = static_cast<int32_t>(j);
        uint32_t k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    bitReverse[n - 1] = static_cast<int32_t>(n - 1);

    history.assign(n, 0.0);
    half = n / 2;
    spectrumRe.assign(half + 1, 0.0);
    spectrumIm.assign(half + 1, 0.0);
    if (kernels == FftKernels::Avx2 && n >= fft_avx2::kMinPoints && fft_avx2::supported()) {
        avx2 = std::make_unique<fft_avx2::Plan>(n);
        return;
    }
    workRe.assign(half, 0.0);
    workIm.assign(half, 0.0);

    uint32_t q = 4;
    for (; 4 * q <= half; q *= 4) {
        for (uint32_t k = 0; k < q; k += 2) {
            for (int power = 1; power <= 3; ++power) {
                double theta0 = 2.0 * pi * power * k / (4.0 * q);
                double theta1 = 2.0 * pi * power * (k + 1) / (4.0 * q);
                passFactors.insert(passFactors.end(), {std::cos(theta0), std::cos(theta1),
                                                       -std::sin(theta0), -std::sin(theta1)});
            }
        }
    }
    if (half >= 4 && q < half) {
        for (uint32_t k = 0; k < q; ++k) {
            double theta = 2.0 * pi * k / half;
            lastRe.push_back(std::cos(theta));
            lastIm.push_back(-std::sin(theta));
        }
    }

    splitRe.assign(half / 2 + 1, 0.0);
    splitIm.assign(half / 2 + 1, 0.0);
    for (uint32_t k = 0; k <= half / 2; ++k) {
        double theta = 2.0 * pi * k / n;
        splitRe[k] = std::cos(theta);
        splitIm[k] = -std::sin(theta);
    }
}

void Fft::transform(const int32_t* samples, size_t count) {
    if (count > size)
        throw MyUtils::Exception{static_cast<uint32_t>(errno),
                                 "Sample buffer larger than FFT capacity"};
    std::memmove(history.data(), history.data() + count, (size - count) * sizeof(double));
    double* tail = history.data() + (size - count);
    if (avx2) {
        fft_avx2::convert(samples, count, tail);
        avx2->transform(history.data(), spectrumRe.data(), spectrumIm.data());
        return;
    }
    size_t i = 0;
#ifdef __SSE2__
    for (; i + 2 <= count; i += 2)
        _mm_storeu_pd(tail + i, _mm_cvtepi32_pd(_mm_loadl_epi64(
                                    reinterpret_cast<const __m128i*>(samples + i))));
#endif
    for (; i < count; ++i)
        tail[i] = samples[i];

    if (size == 1) {
        spectrumRe[0] = history[0];
        spectrumIm[0] = 0.0;
        return;
    }
    transformHalf();
    splitHalfSpectrum();
}

void Fft::transformHalf() {
    const double* x = history.data();
    const int32_t* rev = bitReverse.data();
    double* re = workRe.data();
    double* im = workIm.data();
    const uint32_t m = half;

    // The even samples are the real parts and the odd ones the imaginary
    // parts; entry p of the half-size input sits at bitReverse[2p].
    if (m < 4) {
        for (uint32_t p = 0; p < m; ++p) {
            re[p] = x[2 * rev[2 * p]];
            im[p] = x[2 * rev[2 * p] + 1];
        }
        if (m == 2) {
            double r = re[1], i = im[1];
            re[1] = re[0] - r;
            im[1] = im[0] - i;
            re[0] += r;
            im[0] += i;
        }
        return;
    }

    // Blocks of four straight from the history: the first two stages, whose
    // factors are 1 and -i. In bit-reversed order the block holds the
    // sub-transforms of the residues 0, 2, 1, 3.
    for (uint32_t p = 0; p < m; p += 4) {
        const double* a = x + 2 * rev[2 * p];
        const double* b = x + 2 * rev[2 * p + 2];
        const double* c = x + 2 * rev[2 * p + 4];
        const double* d = x + 2 * rev[2 * p + 6];
        double s02r = a[0] + b[0], s02i = a[1] + b[1];
        double d02r = a[0] - b[0], d02i = a[1] - b[1];
        double s13r = c[0] + d[0], s13i = c[1] + d[1];
        double d13r = c[0] - d[0], d13i = c[1] - d[1];
        re[p] = s02r + s13r;
        im[p] = s02i + s13i;
        re[p + 2] = s02r - s13r;
        im[p + 2] = s02i - s13i;
        re[p + 1] = d02r + d13i;
        im[p + 1] = d02i - d13r;
        re[p + 3] = d02r - d13i;
        im[p + 3] = d02i + d13r;
    }

    // Radix-4 passes: four sub-transforms of q points become one of 4q.
    uint32_t q = 4;
    const double* w = passFactors.data();
    for (; 4 * q <= m; q *= 4) {
        const double* passStart = w;
        for (uint32_t g = 0; g < m; g += 4 * q) {
            double* r = re + g;
            double* i = im + g;
            w = passStart;
            for (uint32_t k = 0; k < q; k += 2, r += 2, i += 2, w += 12) {
                // t0 = residue 0, t1 = w * residue 1, t2 = w^2 * residue 2,
                // t3 = w^3 * residue 3; residue 2 sits in the second quarter.
                Pair t0r = load(r), t0i = load(i);
                Pair br = load(r + q), bi = load(i + q);
                Pair cr = load(r + 2 * q), ci = load(i + 2 * q);
                Pair dr = load(r + 3 * q), di = load(i + 3 * q);
                Pair wr = load(w), wi = load(w + 2);
                Pair t1r = wr * cr - wi * ci, t1i = wr * ci + wi * cr;
                wr = load(w + 4);
                wi = load(w + 6);
                Pair t2r = wr * br - wi * bi, t2i = wr * bi + wi * br;
                wr = load(w + 8);
                wi = load(w + 10);
                Pair t3r = wr * dr - wi * di, t3i = wr * di + wi * dr;
                Pair s02r = t0r + t2r, s02i = t0i + t2i;
                Pair d02r = t0r - t2r, d02i = t0i - t2i;
                Pair s13r = t1r + t3r, s13i = t1i + t3i;
                Pair d13r = t1r - t3r, d13i = t1i - t3i;
                store(r, s02r + s13r);
                store(i, s02i + s13i);
                store(r + 2 * q, s02r - s13r);
                store(i + 2 * q, s02i - s13i);
                store(r + q, d02r + d13i);
                store(i + q, d02i - d13r);
                store(r + 3 * q, d02r - d13i);
                store(i + 3 * q, d02i + d13r);
            }
        }
    }

    // An odd number of stages ends with one radix-2 stage over the halves.
    if (q < m) {
        double* r1 = re + q;
        double* i1 = im + q;
        for (uint32_t k = 0; k < q; k += 2) {
            Pair wr = load(lastRe.data() + k), wi = load(lastIm.data() + k);
            Pair br = load(r1 + k), bi = load(i1 + k);
            Pair ar = load(re + k), ai = load(im + k);
            Pair tr = wr * br - wi * bi, ti = wr * bi + wi * br;
            store(r1 + k, ar - tr);
            store(i1 + k, ai - ti);
            store(re + k, ar + tr);
            store(im + k, ai + ti);
        }
    }
}

void Fft::splitHalfSpectrum() {
    // Z is the transform of z[p] = x[2p] + i x[2p+1]. With E and O the
    // transforms of the even and the odd samples, and W = e^(-2 pi i / N):
    // X[k] = E[k] + W^k O[k] and X[M-k] = conj(E[k]) - conj(W^k O[k]), so one
    // pass over the pairs (k, M-k) fills bins 0 to M.
    const double* zr = workRe.data();
    const double* zi = workIm.data();
    double* xr = spectrumRe.data();
    double* xi = spectrumIm.data();
    const uint32_t m = half;

    xr[0] = zr[0] + zi[0];
    xi[0] = 0.0;
    xr[m] = zr[0] - zi[0];
    xi[m] = 0.0;
    uint32_t k = 1;
    for (; k + 1 < m / 2; k += 2) {
        // Lanes k and k + 1 against m - k and m - k - 1.
        Pair ar = load(zr + k), ai = load(zi + k);
        Pair br = swapped(load(zr + m - k - 1)), bi = swapped(load(zi + m - k - 1));
        Pair er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
        Pair or_ = 0.5 * (ai + bi), oi = 0.5 * (br - ar);
        Pair wr = load(splitRe.data() + k), wi = load(splitIm.data() + k);
        Pair p = wr * or_ - wi * oi;
        Pair q = wr * oi + wi * or_;
        store(xr + k, er + p);
        store(xi + k, ei + q);
        store(xr + m - k - 1, swapped(er - p));
        store(xi + m - k - 1, swapped(q - ei));
    }
    for (; k < (m + 1) / 2; ++k) {
        double ar = zr[k], ai = zi[k], br = zr[m - k], bi = zi[m - k];
        double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
        double or_ = 0.5 * (ai + bi), oi = 0.5 * (br - ar);
        double p = splitRe[k] * or_ - splitIm[k] * oi;
        double q = splitRe[k] * oi + splitIm[k] * or_;
        xr[k] = er + p;
        xi[k] = ei + q;
        xr[m - k] = er - p;
        xi[m - k] = q - ei;
    }
    if (m >= 2) {
        // W^(N/4) = -i: the middle bin is exact.
        xr[m / 2] = zr[m / 2];
        xi[m / 2] = -zi[m / 2];
    }
}

int32_t Fft::peakBin() const {
    if (size / 2 <= 1)
        return 0;
    // The lowest bin holding the largest value is the bin a scan keeping the
    // first strictly greater value would end on. Finding the value first lets
    // that search run on independent lanes instead of one long chain.
    const double* re = spectrumRe.data();
    const uint32_t n = half;
    double bestValue = re[0];
    if (bestValue != bestValue)
        return 0; // nothing compares greater than a NaN in bin 0
    Pair m0 = {bestValue, bestValue}, m1 = m0, m2 = m0, m3 = m0;
    uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        // A NaN lane compares false and keeps the old best.
        Pair v0 = load(re + k), v1 = load(re + k + 2), v2 = load(re + k + 4), v3 = load(re + k + 6);
        m0 = v0 > m0 ? v0 : m0;
        m1 = v1 > m1 ? v1 : m1;
        m2 = v2 > m2 ? v2 : m2;
        m3 = v3 > m3 ? v3 : m3;
    }
    m0 = m1 > m0 ? m1 : m0;
    m2 = m3 > m2 ? m3 : m2;
    m0 = m2 > m0 ? m2 : m0;
    bestValue = m0[1] > m0[0] ? m0[1] : m0[0];
    for (; k < n; ++k)
        if (re[k] > bestValue)
            bestValue = re[k];
    for (k = 0; re[k] != bestValue; ++k) {
    }
    return static_cast<int32_t>(k);
}

std::complex<double> Fft::bin(uint32_t k) const {
    if (k <= half)
        return {spectrumRe[k], spectrumIm[k]};
    return {spectrumRe[size - k], -spectrumIm[size - k]};
}
