// The spectrum behind the thrust: a radix-2 transform of fixed size N over a
// sliding history of the last N samples, and the bin with the largest real part.
#pragma once
#include <complex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Computed once at program start as 2 * asin(1).
extern const double pi;

namespace fft_avx2 {
class Plan;
}

// The inner loops a transform and its detector run: the portable ones (two
// doubles at a time, SSE2 on x86-64), or AVX2 with fused multiply-add on
// processors that have it.
enum class FftKernels { Portable, Avx2 };

// Avx2 when this processor runs it, else Portable.
FftKernels fastestFftKernels();

class Fft {
public:
    // N must be a power of two; anything else throws MyUtils::Exception.
    // Asked for Avx2, a processor without it or an N below 32 gets Portable.
    explicit Fft(uint32_t n, FftKernels kernels = fastestFftKernels());
    ~Fft();
    Fft(Fft&&) noexcept;
    Fft& operator=(Fft&&) noexcept;

    // The loops this transform runs.
    FftKernels kernels() const { return avx2 ? FftKernels::Avx2 : FftKernels::Portable; }

    // Appends the samples to the history and transforms the whole history.
    // More than N samples throw MyUtils::Exception "Sample buffer larger than
    // FFT capacity" and change nothing.
    void transform(const std::vector<int32_t>& samples) {
        transform(samples.data(), samples.size());
    }
    void transform(const int32_t* samples, size_t count);

    // Among bins 0 to N/2 - 1, the one with the largest real part; the lower
    // bin wins ties, and a NaN never wins.
    int32_t peakBin() const;

    // Bin k (0 to N - 1) of the last transform. The input is real, so the
    // upper half is the mirror image of the lower and is not stored.
    std::complex<double> bin(uint32_t k) const;

    uint32_t size;
    uint32_t levels;
    // i with its `levels` low bits reversed.
    std::vector<int32_t> bitReverse;
    // Bins 0 to N/2, real and imaginary parts kept apart.
    std::vector<double> spectrumRe;
    std::vector<double> spectrumIm;
    // The last N samples, oldest first.
    std::vector<double> history;

private:
    // Set when the AVX2 loops run; the portable tables below stay empty then.
    std::unique_ptr<fft_avx2::Plan> avx2;

    void transformHalf();
    void splitHalfSpectrum();

    // The N real samples are transformed as N/2 complex ones (even samples as
    // real parts, odd ones as imaginary parts) and then separated.
    uint32_t half;
    std::vector<double> workRe, workIm;
    // Factors of the half-size transform. Its first two stages need none;
    // after them come radix-4 passes, each over blocks four times the size of
    // the last, and a radix-2 stage ends the transform when the number of
    // stages is odd. A pass's factors w, w^2 and w^3 for two neighbouring
    // points lie together (12 numbers), in the order the pass reads them.
    std::vector<double> passFactors;
    std::vector<double> lastRe, lastIm;
    // e^(-2 pi i k / N) for k = 0 to N/4, used to separate the halves.
    std::vector<double> splitRe, splitIm;
};
