// The transform exactly as the game's design writes it down: the full N-point
// complex working array, one twiddle table of N factors per level, and a peak
// search that compares against the stored best bin. Tests and the benchmark
// hold the game's fast transform against it.
#pragma once
#include "audio/fft.h"

#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <vector>

struct LiteralFft {
    struct Complex {
        double re, im;
    };

    explicit LiteralFft(uint32_t n) : size(n), levels(0), history(n, 0.0), spectrum(n, {0, 0}) {
        while (((n - 1) >> levels) != 0)
            ++levels;
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
        twiddles.resize(levels + 1);
        for (uint32_t level = 1; level <= levels; ++level) {
            double span = static_cast<double>(1u << level);
            twiddles[level].resize(n);
            for (uint32_t k = 0; k < n; ++k) {
                double theta = 2.0 * pi * k / span;
                twiddles[level][k] = {std::cos(theta), -std::sin(theta)};
            }
        }
    }

    void transform(const std::vector<int32_t>& samples) {
        size_t count = samples.size();
        std::memmove(history.data(), history.data() + count, (size - count) * sizeof(double));
        for (size_t i = 0; i < count; ++i)
            history[size - count + i] = samples[i];
        for (uint32_t i = 0; i < size; ++i)
            spectrum[static_cast<size_t>(bitReverse[i])] = {history[i], 0.0};
        uint32_t half = 1;
        for (uint32_t level = 1; level <= levels; ++level) {
            uint32_t span = 2 * half;
            for (uint32_t j = 0; j < half; ++j) {
                Complex w = twiddles[level][j];
                for (uint32_t i = j; i < size; i += span) {
                    Complex b = spectrum[i + half];
                    Complex t = {w.re * b.re - w.im * b.im, w.re * b.im + w.im * b.re};
                    spectrum[i + half] = {spectrum[i].re - t.re, spectrum[i].im - t.im};
                    spectrum[i] = {spectrum[i].re + t.re, spectrum[i].im + t.im};
                }
            }
            half = span;
        }
    }

    int32_t peakBin() const {
        if ((size >> 1) <= 1)
            return 0;
        uint32_t best = 0;
        for (uint32_t k = 1; k < size / 2; ++k)
            if (spectrum[k].re > spectrum[best].re)
                best = k;
        return static_cast<int32_t>(best);
    }

    uint32_t size;
    uint32_t levels;
    std::vector<int32_t> bitReverse;
    std::vector<double> history;
    std::vector<Complex> spectrum;
    std::vector<std::vector<Complex>> twiddles;
};

// The largest difference between a fast spectrum and the literal one,
// relative to the literal one's largest bin (bins near zero have no
// meaningful relative error).
inline double relativeDifference(const Fft& fast, const LiteralFft& literal) {
    double largest = 0.0, difference = 0.0;
    for (uint32_t k = 0; k < literal.size; ++k) {
        std::complex<double> want(literal.spectrum[k].re, literal.spectrum[k].im);
        largest = std::max(largest, std::abs(want));
        difference = std::max(difference, std::abs(fast.bin(k) - want));
    }
    return largest == 0.0 ? difference : difference / largest;
}
