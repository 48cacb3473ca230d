// The generated street ambience and effects, checked with the game's own
// transform: none of them may ever look like the high sound that lifts the
// insect.
#include "audio/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Wave {
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    std::vector<int32_t> samples;
};

uint32_t little(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + size_t(i)];
    return v;
}

// A plain PCM file as the generator writes it: RIFF, "fmt ", "data".
Wave readWave(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Wave w;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt ")
        return w;
    w.channels = uint16_t(little(b, 22, 2));
    w.rate = little(b, 24, 4);
    w.bits = uint16_t(little(b, 34, 2));
    uint32_t bytes = little(b, 40, 4);
    for (size_t at = 44; at + 1 < b.size() && at < 44 + size_t(bytes); at += 2)
        w.samples.push_back(int16_t(little(b, at, 2)));
    return w;
}

class Ambience : public testing::Test {
protected:
    static void SetUpTestSuite() {
        wave = new Wave(readWave(NB_RUN_DIR "/Resources/sound/background_street.wav"));
    }
    static void TearDownTestSuite() {
        delete wave;
        wave = nullptr;
    }
    static Wave* wave;
};

Wave* Ambience::wave = nullptr;

} // namespace

TEST_F(Ambience, IsAFewSecondsOfMonoSixteenBitSound) {
    ASSERT_FALSE(wave->samples.empty()) << "missing or unreadable file";
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->bits, 16);
    EXPECT_EQ(wave->rate, 22050u);
    EXPECT_GE(wave->samples.size(), 4u * 22050);
    double energy = 0.0;
    for (int32_t s : wave->samples)
        energy += double(s) * s;
    EXPECT_GT(std::sqrt(energy / double(wave->samples.size())), 1000.0) << "practically silent";
}

TEST_F(Ambience, NeverPeaksAtTheLiftingPitch) {
    ASSERT_GE(wave->samples.size(), 4096u);
    // Every block the microphone could catch, looping round the end, at a
    // quarter-block step.
    const std::vector<int32_t>& s = wave->samples;
    Fft fft(4096);
    std::vector<int32_t> block(4096);
    double low = 0.0, high = 0.0;
    for (size_t start = 0; start < s.size(); start += 1024) {
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = s[(start + i) % s.size()];
        fft.transform(block);
        ASSERT_LT(fft.peakBin(), 300) << "block at sample " << start;
        for (uint32_t k = 1; k < 2048; ++k)
            (k < 279 ? low : high) += std::norm(fft.bin(k)); // 279: about 1.5 kHz
    }
    EXPECT_LT(high / (low + high), 0.01) << "energy above 1.5 kHz";
}

TEST_F(Ambience, LoopsWithoutAClick) {
    const std::vector<int32_t>& s = wave->samples;
    ASSERT_GE(s.size(), 2u);
    // The step from the last sample back to the first is an ordinary step:
    // a cut anywhere else would jump by about the sound's whole amplitude.
    double steps = 0.0;
    for (size_t i = 1; i < s.size(); ++i)
        steps += std::abs(s[i] - s[i - 1]);
    double meanStep = steps / double(s.size() - 1);
    EXPECT_LE(std::abs(s.front() - s.back()), 3.0 * meanStep);
}

// Every sound the game plays, the ambience too: Hann-windowed blocks (a plain
// cut would smear low notes upwards) overlapping by half, the short sounds
// padded with silence. Above 1.5 kHz lies less than a ten-thousandth of the
// energy (-40 dB), and no block peaks there.
TEST(GeneratedSounds, StayBelowTheLiftingPitch) {
    const char* const names[] = {"background_street", "buzz_0", "buzz_1", "buzz_2", "buzz_3",
                                 "slap", "drink", "bank", "warning"};
    const size_t n = 4096;
    Fft fft(n);
    std::vector<int32_t> block(n);
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Wave w = readWave(std::string(NB_RUN_DIR "/Resources/sound/") + name + ".wav");
        ASSERT_EQ(w.rate, 22050u);
        ASSERT_GT(w.samples.size(), 2000u);
        double low = 0.0, high = 0.0;
        for (size_t start = 0; start < w.samples.size(); start += n / 2) {
            for (size_t i = 0; i < n; ++i) {
                double hann = 0.5 - 0.5 * std::cos(2.0 * pi * double(i) / double(n));
                size_t at = start + i;
                block[i] = at < w.samples.size() ? int32_t(std::lround(w.samples[at] * hann * 16))
                                                 : 0;
            }
            fft.transform(block);
            EXPECT_LT(fft.peakBin(), 279) << "block at sample " << start;
            for (uint32_t k = 1; k < n / 2; ++k)
                (k < 279 ? low : high) += std::norm(fft.bin(k)); // 279: about 1.5 kHz
        }
        EXPECT_GT(low, 0.0) << "silent";
        EXPECT_LT(high / (low + high), 1e-4) << "energy above 1.5 kHz";
    }
}
