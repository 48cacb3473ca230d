// The transform's and the detector's inner loops for processors with AVX2 and
// fused multiply-add, four doubles at a time. Fft and findTone choose them at
// run time; elsewhere the portable loops of fft.cpp and tone_detector.cpp run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fft_avx2 {

// Whether this processor (and its operating system) runs AVX2 with FMA.
bool supported();

// The smallest transform these loops take; smaller ones stay portable.
constexpr uint32_t kMinPoints = 32;

// A real transform of N points as a complex one of M = N / 2 points without
// a bit-reversal pass: each pass reads four (last eight) quarters of its
// input and writes the sub-transforms interleaved, so the output comes out
// in natural order (the self-sorting arrangement), and every load and store
// takes four neighbouring points.
class Plan {
public:
    // n: a power of two, at least kMinPoints.
    explicit Plan(uint32_t n);

    // Bins 0 to N/2 of the transform of the N samples.
    void transform(const double* samples, double* re, double* im) const;

private:
    double* at(size_t offset) const;
    void firstPass(const double* samples, double* re, double* im) const;
    void middlePasses(double*& re, double*& im, double*& otherRe, double*& otherIm,
                      uint32_t& stride) const;
    void lastPass(const double* re, const double* im, double* outRe, double* outIm,
                  uint32_t stride) const;
    void split(const double* zr, const double* zi, double* xr, double* xi) const;

    uint32_t m;          // complex points
    uint32_t lastLength; // 4 or 8: the length of the sub-transforms of the last pass
    // One block of doubles, 32-byte aligned through at(): two work arrays of
    // M real and M imaginary parts, and the factor tables.
    mutable std::vector<double> storage;
    size_t workA, workB;  // offsets of the re parts; im follows after m
    size_t firstFactors;  // first pass: w, w^2, w^3 of four points, 24 numbers a group
    size_t middleFactors; // later passes: w, w^2, w^3 of one point, 6 numbers
    size_t splitFactors;  // e^(-2 pi i k / N), k = 0 to M/2: re parts, then im parts
};

// out[i] = samples[i] for i < count.
void convert(const int32_t* samples, size_t count, double* out);

// Among bins [first, last), the largest re^2 + im^2 and the lowest bin that
// holds it; a NaN never wins. best and bin are left alone when no bin beats
// best (pass -1 to take any number).
void strongestBin(const double* re, const double* im, uint32_t first, uint32_t last, double& best,
                  uint32_t& bin);

} // namespace fft_avx2
