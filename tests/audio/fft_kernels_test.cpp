// The transform and the detector run AVX2 loops where the processor has them
// and portable ones elsewhere. Both sets are tried here, whichever this
// machine would choose, against the literal transform and against each other.
#include "audio/fft.h"
#include "audio/literal_fft.h"
#include "audio/tone_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

bool machineHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

std::vector<FftKernels> kernelsToTry() {
    if (machineHasAvx2())
        return {FftKernels::Portable, FftKernels::Avx2};
    return {FftKernels::Portable};
}

const char* nameOf(FftKernels k) {
    return k == FftKernels::Avx2 ? "AVX2" : "portable";
}

} // namespace

TEST(FftKernels, TheWideLoopsRunWhereTheProcessorHasThem) {
    const FftKernels best = machineHasAvx2() ? FftKernels::Avx2 : FftKernels::Portable;
    EXPECT_EQ(fastestFftKernels(), best);
    EXPECT_EQ(Fft(4096).kernels(), best);
    EXPECT_EQ(Fft(4096, FftKernels::Portable).kernels(), FftKernels::Portable);
    // Too small for four-wide passes.
    EXPECT_EQ(Fft(16, FftKernels::Avx2).kernels(), FftKernels::Portable);
}

TEST(FftKernels, EachMatchesTheLiteralTransform) {
    std::mt19937 random(31);
    std::uniform_int_distribution<int32_t> anySample(-32768, 32767);
    // 32 and 128 end on 8-point transforms, 64 and 4096 on 4-point ones.
    for (FftKernels kernels : kernelsToTry()) {
        for (uint32_t n : {32u, 64u, 128u, 512u, 2048u, 4096u}) {
            SCOPED_TRACE(testing::Message() << nameOf(kernels) << ", N = " << n);
            Fft fast(n, kernels);
            ASSERT_EQ(fast.kernels(), kernels);
            LiteralFft literal(n);
            // Noise, a sine, full-scale extremes, then buffers a quarter long
            // that slide the history.
            std::vector<std::vector<int32_t>> buffers(3, std::vector<int32_t>(n));
            for (uint32_t m = 0; m < n; ++m) {
                buffers[0][m] = anySample(random);
                buffers[1][m] = int32_t(20000.0 * std::sin(2.0 * pi * 1615.0 * m / 22050.0 + 0.3));
                buffers[2][m] = m % 3 ? INT32_MAX : INT32_MIN;
            }
            for (int shortOne = 0; shortOne < 4; ++shortOne) {
                buffers.emplace_back(n / 4);
                for (int32_t& s : buffers.back())
                    s = anySample(random);
            }
            for (const std::vector<int32_t>& samples : buffers) {
                fast.transform(samples);
                literal.transform(samples);
                EXPECT_LE(relativeDifference(fast, literal), 1e-9);
                EXPECT_EQ(fast.peakBin(), literal.peakBin());
                EXPECT_EQ(fast.history, literal.history);
            }
        }
    }
}

TEST(FftKernels, TheDetectorReadsTheSameSpectrumAlike) {
    if (!machineHasAvx2())
        GTEST_SKIP() << "this processor has no AVX2";
    // Peaks in the wide part of the search and in the bins after it, powers
    // tied across lanes, NaNs, and a spectrum of nothing but NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::vector<uint32_t> peaks; // equal strongest bins
        std::vector<uint32_t> nans;
        bool allNaN;
    } cases[] = {
        {{300}, {}, false},
        {{1}, {}, false},
        {{2047}, {}, false},
        {{2040, 2041}, {}, false},
        {{9, 17, 2046}, {}, false},
        {{700, 702}, {5, 900}, false},
        {{1500}, {1300, 1, 2047}, false},
        {{}, {}, true},
    };
    std::mt19937 random(8);
    std::uniform_real_distribution<double> floor(-30.0, 30.0);
    for (const auto& c : cases) {
        Fft portable(4096, FftKernels::Portable), wide(4096, FftKernels::Avx2);
        for (size_t k = 0; k < portable.spectrumRe.size(); ++k) {
            portable.spectrumRe[k] = c.allNaN ? nan : floor(random);
            portable.spectrumIm[k] = c.allNaN ? nan : floor(random);
        }
        for (uint32_t k : c.peaks) {
            portable.spectrumRe[k] = 3.0e5;
            portable.spectrumIm[k] = -4.0e5;
        }
        for (uint32_t k : c.nans)
            portable.spectrumIm[k] = nan;
        wide.spectrumRe = portable.spectrumRe;
        wide.spectrumIm = portable.spectrumIm;
        const ToneReading a = findTone(portable), b = findTone(wide);
        const int32_t expected = c.peaks.empty() ? 0 : int32_t(c.peaks.front());
        EXPECT_EQ(a.peakBin, expected);
        EXPECT_EQ(b.peakBin, expected);
        EXPECT_EQ(a.clear, b.clear);
        EXPECT_EQ(b.clear, !c.peaks.empty());
    }
}
