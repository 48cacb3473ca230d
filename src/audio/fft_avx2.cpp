#include "audio/fft_avx2.h"

#include "audio/fft.h"

#include <cmath>
#include <cstdint>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

// Only the functions marked so use AVX2 and FMA; the rest of this file, and
// every library function it calls, stays runnable on any x86-64.
#define NB_AVX2 __attribute__((target("avx2,fma")))

namespace fft_avx2 {

bool supported() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

namespace {

typedef __m256d V;

// Four complex numbers, real and imaginary parts apart.
struct C4 {
    V re, im;
};

NB_AVX2 inline V load(const double* p) {
    return _mm256_loadu_pd(p);
}
NB_AVX2 inline void store(double* p, V v) {
    _mm256_storeu_pd(p, v);
}
NB_AVX2 inline C4 load(const double* re, const double* im) {
    return {load(re), load(im)};
}
NB_AVX2 inline void store(double* re, double* im, const C4& c) {
    store(re, c.re);
    store(im, c.im);
}
NB_AVX2 inline C4 operator+(const C4& a, const C4& b) {
    return {a.re + b.re, a.im + b.im};
}
NB_AVX2 inline C4 operator-(const C4& a, const C4& b) {
    return {a.re - b.re, a.im - b.im};
}
// a - i b and a + i b.
NB_AVX2 inline C4 minusI(const C4& a, const C4& b) {
    return {a.re + b.im, a.im - b.re};
}
NB_AVX2 inline C4 plusI(const C4& a, const C4& b) {
    return {a.re - b.im, a.im + b.re};
}
NB_AVX2 inline C4 times(const C4& a, V wr, V wi) {
    return {_mm256_fmsub_pd(a.re, wr, a.im * wi), _mm256_fmadd_pd(a.re, wi, a.im * wr)};
}
// a * (1 - i) / sqrt 2 and a * (-1 - i) / sqrt 2: the odd eighths of a turn.
NB_AVX2 inline C4 eighth(const C4& a, V r) {
    return {(a.re + a.im) * r, (a.im - a.re) * r};
}
NB_AVX2 inline C4 threeEighths(const C4& a, V r) {
    return {(a.im - a.re) * r, (a.re + a.im) * -r};
}

// The radix-4 butterfly: y[j] = sum over k of x[k] * (-i)^(jk).
NB_AVX2 inline void dft4(const C4& a, const C4& b, const C4& c, const C4& d, C4 (&y)[4]) {
    const C4 apc = a + c, amc = a - c, bpd = b + d, bmd = b - d;
    y[0] = apc + bpd;
    y[1] = minusI(amc, bmd);
    y[2] = apc - bpd;
    y[3] = plusI(amc, bmd);
}

// Points p, p+1, p+2, p+3 from interleaved (re, im) pairs, left in the lane
// order p, p+2, p+1, p+3 that unpacking gives: the first pass's factors and
// stores follow that order instead of spending a shuffle to undo it.
NB_AVX2 inline C4 loadPairs(const double* p) {
    const V v0 = load(p), v1 = load(p + 4);
    return {_mm256_unpacklo_pd(v0, v1), _mm256_unpackhi_pd(v0, v1)};
}

// Writes y[0..3][lane] as four consecutive numbers at rows[lane].
NB_AVX2 inline void storeTransposed(const V (&y)[4], double* row0, double* row1, double* row2,
                                    double* row3) {
    const V t0 = _mm256_unpacklo_pd(y[0], y[1]), t1 = _mm256_unpackhi_pd(y[0], y[1]);
    const V t2 = _mm256_unpacklo_pd(y[2], y[3]), t3 = _mm256_unpackhi_pd(y[2], y[3]);
    store(row0, _mm256_permute2f128_pd(t0, t2, 0x20));
    store(row1, _mm256_permute2f128_pd(t1, t3, 0x20));
    store(row2, _mm256_permute2f128_pd(t0, t2, 0x31));
    store(row3, _mm256_permute2f128_pd(t1, t3, 0x31));
}

NB_AVX2 inline V reversed(V v) {
    return _mm256_permute4x64_pd(v, 0x1B);
}

// w^j for j = 1, 2, 3 with w = e^(-2 pi i p / length), (re, im) pairs.
void factors(uint32_t p, uint32_t length, double* w) {
    for (int j = 1; j <= 3; ++j) {
        const double theta = 2.0 * pi * j * p / length;
        w[2 * j - 2] = std::cos(theta);
        w[2 * j - 1] = -std::sin(theta);
    }
}

} // namespace

Plan::Plan(uint32_t n) : m(n / 2) {
    uint32_t length = m / 4; // after the first pass
    uint32_t middleCount = 0;
    while (length > 8) {
        middleCount += length / 4;
        length /= 4;
    }
    lastLength = length;

    workA = 0;
    workB = 2 * size_t(m);
    firstFactors = 4 * size_t(m);
    middleFactors = firstFactors + 6 * size_t(m / 4);
    splitFactors = middleFactors + 6 * size_t(middleCount);
    // Four spare numbers to align the start on 32 bytes.
    storage.assign(splitFactors + 2 * size_t(m / 2 + 1) + 4, 0.0);

    double* first = at(firstFactors);
    for (uint32_t p = 0; p < m / 4; p += 4) {
        const uint32_t lanes[4] = {p, p + 2, p + 1, p + 3};
        for (int lane = 0; lane < 4; ++lane) {
            double w[6];
            factors(lanes[lane], m, w);
            for (int k = 0; k < 6; ++k)
                first[6 * p + 4 * k + lane] = w[k];
        }
    }
    double* middle = at(middleFactors);
    for (length = m / 4; length > 8; length /= 4)
        for (uint32_t p = 0; p < length / 4; ++p, middle += 6)
            factors(p, length, middle);
    double* splitRe = at(splitFactors);
    double* splitIm = splitRe + m / 2 + 1;
    for (uint32_t k = 0; k <= m / 2; ++k) {
        const double theta = 2.0 * pi * k / n;
        splitRe[k] = std::cos(theta);
        splitIm[k] = -std::sin(theta);
    }
}

double* Plan::at(size_t offset) const {
    double* base = storage.data();
    const auto misalignment = reinterpret_cast<uintptr_t>(base) % 32;
    return base + (misalignment ? (32 - misalignment) / sizeof(double) : 0) + offset;
}

void Plan::transform(const double* samples, double* re, double* im) const {
    double* ar = at(workA);
    double* ai = ar + m;
    double* br = at(workB);
    double* bi = br + m;
    firstPass(samples, ar, ai);
    uint32_t stride = 4;
    middlePasses(ar, ai, br, bi, stride);
    lastPass(ar, ai, br, bi, stride);
    split(br, bi, re, im);
}

// Length M to M / 4 with stride 1: point p of the complex input is samples
// 2p and 2p + 1, and the four outputs of a butterfly land next to each other.
NB_AVX2 void Plan::firstPass(const double* samples, double* re, double* im) const {
    const uint32_t quarter = m / 4;
    const double* w = at(firstFactors);
    for (uint32_t p = 0; p < quarter; p += 4, w += 24) {
        C4 y[4];
        dft4(loadPairs(samples + 2 * p), loadPairs(samples + 2 * (p + quarter)),
             loadPairs(samples + 2 * (p + 2 * quarter)), loadPairs(samples + 2 * (p + 3 * quarter)),
             y);
        y[1] = times(y[1], load(w), load(w + 4));
        y[2] = times(y[2], load(w + 8), load(w + 12));
        y[3] = times(y[3], load(w + 16), load(w + 20));
        const V yr[4] = {y[0].re, y[1].re, y[2].re, y[3].re};
        const V yi[4] = {y[0].im, y[1].im, y[2].im, y[3].im};
        storeTransposed(yr, re + 4 * p, re + 4 * (p + 2), re + 4 * (p + 1), re + 4 * (p + 3));
        storeTransposed(yi, im + 4 * p, im + 4 * (p + 2), im + 4 * (p + 1), im + 4 * (p + 3));
    }
}

// Length L to L / 4, stride s to 4s: input point q + s p (q < s, p < L), output
// q + s (4p + j); the work arrays swap after each pass.
NB_AVX2 void Plan::middlePasses(double*& re, double*& im, double*& otherRe, double*& otherIm,
                                uint32_t& stride) const {
    const double* w = at(middleFactors);
    for (uint32_t length = m / 4; length > lastLength; length /= 4) {
        const uint32_t quarter = length / 4, s = stride;
        for (uint32_t p = 0; p < quarter; ++p, w += 6) {
            const V w1r = _mm256_broadcast_sd(w), w1i = _mm256_broadcast_sd(w + 1);
            const V w2r = _mm256_broadcast_sd(w + 2), w2i = _mm256_broadcast_sd(w + 3);
            const V w3r = _mm256_broadcast_sd(w + 4), w3i = _mm256_broadcast_sd(w + 5);
            const double* xr = re + s * p;
            const double* xi = im + s * p;
            double* yr = otherRe + 4 * s * p;
            double* yi = otherIm + 4 * s * p;
            const size_t in = size_t(s) * quarter;
            for (uint32_t q = 0; q < s; q += 4) {
                C4 y[4];
                dft4(load(xr + q, xi + q), load(xr + q + in, xi + q + in),
                     load(xr + q + 2 * in, xi + q + 2 * in), load(xr + q + 3 * in, xi + q + 3 * in),
                     y);
                store(yr + q, yi + q, y[0]);
                store(yr + q + s, yi + q + s, times(y[1], w1r, w1i));
                store(yr + q + 2 * s, yi + q + 2 * s, times(y[2], w2r, w2i));
                store(yr + q + 3 * s, yi + q + 3 * s, times(y[3], w3r, w3i));
            }
        }
        std::swap(re, otherRe);
        std::swap(im, otherIm);
        stride *= 4;
    }
}

// The last sub-transforms, of 4 or 8 points, need no factors between passes.
NB_AVX2 void Plan::lastPass(const double* re, const double* im, double* outRe, double* outIm,
                            uint32_t s) const {
    if (lastLength == 4) {
        for (uint32_t q = 0; q < s; q += 4) {
            C4 y[4];
            dft4(load(re + q, im + q), load(re + q + s, im + q + s),
                 load(re + q + 2 * s, im + q + 2 * s), load(re + q + 3 * s, im + q + 3 * s), y);
            for (uint32_t j = 0; j < 4; ++j)
                store(outRe + q + j * s, outIm + q + j * s, y[j]);
        }
        return;
    }
    // Eight points: a radix-2 step (the odd half turned by w8^j) and two
    // 4-point transforms giving the even and the odd outputs.
    const V r = _mm256_set1_pd(std::sqrt(0.5));
    for (uint32_t q = 0; q < s; q += 4) {
        C4 x[8];
        for (uint32_t j = 0; j < 8; ++j)
            x[j] = load(re + q + j * s, im + q + j * s);
        const C4 d1 = x[1] - x[5], d3 = x[3] - x[7], d2 = x[2] - x[6];
        C4 even[4], odd[4];
        dft4(x[0] + x[4], x[1] + x[5], x[2] + x[6], x[3] + x[7], even);
        dft4(x[0] - x[4], eighth(d1, r), C4{d2.im, -d2.re}, threeEighths(d3, r), odd);
        for (uint32_t j = 0; j < 4; ++j) {
            store(outRe + q + 2 * j * s, outIm + q + 2 * j * s, even[j]);
            store(outRe + q + (2 * j + 1) * s, outIm + q + (2 * j + 1) * s, odd[j]);
        }
    }
}

// The half-size transform Z of z[p] = x[2p] + i x[2p+1] gives bins k and M-k
// together: X[k] = E + W^k O and X[M-k] = conj(E) - conj(W^k O), with
// E = (Z[k] + conj Z[M-k]) / 2 and O = (Z[k] - conj Z[M-k]) / 2i.
NB_AVX2 void Plan::split(const double* zr, const double* zi, double* xr, double* xi) const {
    const double* wRe = at(splitFactors);
    const double* wIm = wRe + m / 2 + 1;
    xr[0] = zr[0] + zi[0];
    xi[0] = 0.0;
    xr[m] = zr[0] - zi[0];
    xi[m] = 0.0;
    const V half = _mm256_set1_pd(0.5);
    uint32_t k = 1;
    for (; k + 3 < m / 2; k += 4) {
        // Lanes k to k + 3 against M - k down to M - k - 3.
        const V ar = load(zr + k), ai = load(zi + k);
        const V br = reversed(load(zr + m - k - 3)), bi = reversed(load(zi + m - k - 3));
        const V er = half * (ar + br), ei = half * (ai - bi);
        const C4 o = times(C4{half * (ai + bi), half * (br - ar)}, load(wRe + k), load(wIm + k));
        store(xr + k, er + o.re);
        store(xi + k, ei + o.im);
        store(xr + m - k - 3, reversed(er - o.re));
        store(xi + m - k - 3, reversed(o.im - ei));
    }
    for (; k < m / 2; ++k) {
        const double ar = zr[k], ai = zi[k], br = zr[m - k], bi = zi[m - k];
        const double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
        const double or_ = 0.5 * (ai + bi), oi = 0.5 * (br - ar);
        const double p = wRe[k] * or_ - wIm[k] * oi;
        const double q = wRe[k] * oi + wIm[k] * or_;
        xr[k] = er + p;
        xi[k] = ei + q;
        xr[m - k] = er - p;
        xi[m - k] = q - ei;
    }
    // W^(N/4) = -i: the middle bin is exact.
    xr[m / 2] = zr[m / 2];
    xi[m / 2] = -zi[m / 2];
}

NB_AVX2 void convert(const int32_t* samples, size_t count, double* out) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4)
        store(out + i,
              _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i))));
    for (; i < count; ++i)
        out[i] = samples[i];
}

NB_AVX2 void strongestBin(const double* re, const double* im, uint32_t first, uint32_t last,
                          double& best, uint32_t& bin) {
    // Two sets of four lanes keep their largest power and the first bin that
    // held it; a NaN compares false and never replaces a lane's best.
    uint32_t k = first;
    V m0 = _mm256_set1_pd(-1.0), m1 = m0, b0 = _mm256_setzero_pd(), b1 = b0;
    V k0 = _mm256_setr_pd(k, k + 1, k + 2, k + 3), k1 = k0 + _mm256_set1_pd(4.0);
    const V step = _mm256_set1_pd(8.0);
    for (; k + 8 <= last; k += 8, k0 += step, k1 += step) {
        const V r0 = load(re + k), i0 = load(im + k), r1 = load(re + k + 4), i1 = load(im + k + 4);
        // Rounded as re * re + im * im everywhere else, so that the portable
        // loops and any plain search name the same bin.
        const V p0 = _mm256_add_pd(r0 * r0, i0 * i0), p1 = _mm256_add_pd(r1 * r1, i1 * i1);
        const V g0 = _mm256_cmp_pd(p0, m0, _CMP_GT_OQ), g1 = _mm256_cmp_pd(p1, m1, _CMP_GT_OQ);
        m0 = _mm256_blendv_pd(m0, p0, g0);
        b0 = _mm256_blendv_pd(b0, k0, g0);
        m1 = _mm256_blendv_pd(m1, p1, g1);
        b1 = _mm256_blendv_pd(b1, k1, g1);
    }
    double lanes[8], bins[8];
    store(lanes, m0);
    store(lanes + 4, m1);
    store(bins, b0);
    store(bins + 4, b1);
    for (int lane = 0; lane < 8; ++lane) {
        const auto laneBin = static_cast<uint32_t>(bins[lane]);
        if (lanes[lane] > best || (lanes[lane] == best && laneBin < bin)) {
            best = lanes[lane];
            bin = laneBin;
        }
    }
    for (; k < last; ++k) {
        const double power = re[k] * re[k] + im[k] * im[k];
        if (power > best) {
            best = power;
            bin = k;
        }
    }
}

} // namespace fft_avx2

#else

namespace fft_avx2 {

bool supported() {
    return false;
}
Plan::Plan(uint32_t n)
    : m(n / 2), lastLength(0), workA(0), workB(0), firstFactors(0), middleFactors(0),
      splitFactors(0) {}
void Plan::transform(const double*, double*, double*) const {}
void convert(const int32_t*, size_t, double*) {}
void strongestBin(const double*, const double*, uint32_t, uint32_t, double&, uint32_t&) {}

} // namespace fft_avx2

#endif
