#include "audio/fft.h"
#include "audio/literal_fft.h"
#include "util/exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

std::vector<int32_t> cosine(uint32_t n, uint32_t bin, double amplitude) {
    std::vector<int32_t> s(n);
    for (uint32_t m = 0; m < n; ++m)
        s[m] = static_cast<int32_t>(std::lround(amplitude * std::cos(2.0 * pi * bin * m / n)));
    return s;
}

void expectMatchesLiteral(const std::vector<int32_t>& samples, uint32_t n) {
    Fft fast(n);
    LiteralFft literal(n);
    fast.transform(samples);
    literal.transform(samples);
    EXPECT_LE(relativeDifference(fast, literal), 1e-9);
    EXPECT_EQ(fast.peakBin(), literal.peakBin());
}

} // namespace

TEST(Fft, TablesFor4096And8) {
    Fft big(4096);
    EXPECT_EQ(big.levels, 12u);
    std::vector<int32_t> start(big.bitReverse.begin(), big.bitReverse.begin() + 5);
    EXPECT_EQ(start, (std::vector<int32_t>{0, 2048, 1024, 3072, 512}));
    EXPECT_EQ(big.bitReverse.back(), 4095);
    // A permutation that undoes itself.
    for (uint32_t i = 0; i < 4096; ++i)
        ASSERT_EQ(big.bitReverse[static_cast<size_t>(big.bitReverse[i])], static_cast<int32_t>(i));

    Fft small(8);
    EXPECT_EQ(small.levels, 3u);
    EXPECT_EQ(small.bitReverse, (std::vector<int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
    EXPECT_EQ(Fft(1).levels, 0u);
}

TEST(Fft, SizesThatAreNotPowersOfTwoAreRefused) {
    EXPECT_THROW(Fft(0), MyUtils::Exception);
    EXPECT_THROW(Fft(12), MyUtils::Exception);
}

TEST(Fft, SilenceAndConstantInput) {
    Fft fft(4096);
    fft.transform(std::vector<int32_t>(4096, 0));
    for (uint32_t k = 0; k < 4096; ++k)
        ASSERT_EQ(fft.bin(k), std::complex<double>(0.0, 0.0)) << k;
    EXPECT_EQ(fft.peakBin(), 0);

    fft.transform(std::vector<int32_t>(4096, 7));
    EXPECT_EQ(fft.bin(0), std::complex<double>(4096.0 * 7, 0.0));
    for (uint32_t k = 1; k < 4096; ++k)
        ASSERT_EQ(std::abs(fft.bin(k)), 0.0) << k;
    EXPECT_EQ(fft.peakBin(), 0);

    // Bin 1's zero beats the negative sum; the equal bins after it do not.
    fft.transform(std::vector<int32_t>(4096, -7));
    EXPECT_EQ(fft.bin(0).real(), -4096.0 * 7);
    EXPECT_EQ(fft.peakBin(), 1);
}

TEST(Fft, CosineOnABinPeaksThere) {
    for (uint32_t k : {1u, 300u, 372u, 2047u}) {
        Fft fft(4096);
        fft.transform(cosine(4096, k, 10000.0));
        EXPECT_NEAR(fft.bin(k).real(), 10000.0 * 4096 / 2, 10000.0 * 4096 * 1e-4) << k;
        EXPECT_EQ(fft.peakBin(), static_cast<int32_t>(k));
    }
    // Inverted, the bin becomes the smallest real part.
    Fft fft(4096);
    fft.transform(cosine(4096, 372, -10000.0));
    const std::vector<double>& re = fft.spectrumRe;
    EXPECT_EQ(std::min_element(re.begin(), re.begin() + 2048) - re.begin(), 372);
    EXPECT_NE(fft.peakBin(), 372);
}

TEST(Fft, TooManySamplesThrowAndChangeNothing) {
    Fft fft(4096);
    std::vector<int32_t> first(4096);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<int32_t>(i);
    fft.transform(first);
    std::vector<double> before = fft.history;
    try {
        fft.transform(std::vector<int32_t>(4097, 1));
        FAIL() << "no exception";
    } catch (const MyUtils::Exception& e) {
        EXPECT_STREQ(e.message, "Sample buffer larger than FFT capacity");
    }
    EXPECT_EQ(fft.history, before);
}

TEST(Fft, HistorySlidesWithShortBuffers) {
    Fft fft(8);
    fft.transform(std::vector<int32_t>{1, 2, 3, 4});
    fft.transform(std::vector<int32_t>{5, 6, 7, 8});
    EXPECT_EQ(fft.history, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));
    fft.transform(std::vector<int32_t>{9, 10, 11, 12});
    EXPECT_EQ(fft.history, (std::vector<double>{5, 6, 7, 8, 9, 10, 11, 12}));

    // Overlapping transforms still give the transform of the whole history.
    LiteralFft literal(8);
    literal.transform(std::vector<int32_t>{5, 6, 7, 8, 9, 10, 11, 12});
    EXPECT_LE(relativeDifference(fft, literal), 1e-12);
}

TEST(Fft, PeakSearchTiesAndNaN) {
    Fft fft(16);
    std::fill(fft.spectrumRe.begin(), fft.spectrumRe.end(), 1.0);
    EXPECT_EQ(fft.peakBin(), 0); // equal values: the lower bin wins
    fft.spectrumRe[3] = 5.0;
    fft.spectrumRe[5] = std::numeric_limits<double>::quiet_NaN();
    fft.spectrumRe[8] = 100.0; // bin N/2 is not looked at
    EXPECT_EQ(fft.peakBin(), 3);
    fft.spectrumRe[0] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(fft.peakBin(), 0); // nothing compares greater than a NaN
    EXPECT_EQ(Fft(2).peakBin(), 0);
}

TEST(Fft, MatchesTheLiteralTransform) {
    std::mt19937 random(20240517);
    std::uniform_int_distribution<int32_t> anySample(-32768, 32767);
    for (uint32_t n : {2u, 4u, 8u, 16u, 64u, 4096u}) {
        SCOPED_TRACE(n);
        std::vector<int32_t> noise(n);
        for (int32_t& s : noise)
            s = anySample(random);
        expectMatchesLiteral(noise, n);
        expectMatchesLiteral(std::vector<int32_t>(n, 12345), n);
        expectMatchesLiteral(std::vector<int32_t>(n, -3), n);
        expectMatchesLiteral(std::vector<int32_t>(n, 0), n);
    }
    for (double hz : {440.0, 1615.0, 2000.0, 5000.0, 11000.0}) {
        SCOPED_TRACE(hz);
        std::vector<int32_t> sine(4096);
        for (size_t m = 0; m < sine.size(); ++m)
            sine[m] = static_cast<int32_t>(20000.0 * std::sin(2.0 * pi * hz * m / 22050.0 + 0.3));
        expectMatchesLiteral(sine, 4096);
    }
    // Full-scale samples that would wrap a 32-bit sum.
    std::vector<int32_t> extremes(4096);
    for (size_t m = 0; m < extremes.size(); ++m)
        extremes[m] = m % 3 ? INT32_MAX : INT32_MIN;
    expectMatchesLiteral(extremes, 4096);
}

TEST(Fft, RepeatedTransformsMatchTheLiteralOne) {
    // The game's pattern: one transform per buffer on the same object.
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> anySample(-2000, 2000);
    Fft fast(4096);
    LiteralFft literal(4096);
    for (int buffer = 0; buffer < 5; ++buffer) {
        std::vector<int32_t> samples(buffer == 2 ? 1000 : 4096);
        for (int32_t& s : samples)
            s = anySample(random);
        fast.transform(samples);
        literal.transform(samples);
        EXPECT_LE(relativeDifference(fast, literal), 1e-9);
        EXPECT_EQ(fast.peakBin(), literal.peakBin());
    }
}
