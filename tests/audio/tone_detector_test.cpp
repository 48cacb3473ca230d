// The detector and the level rule together, buffer by buffer, the way the
// sound manager's worker runs them, over recorded instruments, speech, noise
// and clicks that make_sounds.sh renders into the build tree.
#include "audio/fft.h"
#include "audio/level_rule.h"
#include "audio/room_measure.h"
#include "audio/tone_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint32_t points = 4096;
constexpr double rate = 22050.0;
constexpr double bufferSeconds = points / rate;

struct BufferResult {
    bool high;
    float level;
    double peakHz;
};

// The first bin of largest power among 1 to N/2 - 1, one bin at a time.
int32_t strongestBin(const Fft& fft) {
    int32_t strongest = 0;
    double most = -1.0;
    for (uint32_t k = 1; k < points / 2; ++k) {
        double power =
            fft.spectrumRe[k] * fft.spectrumRe[k] + fft.spectrumIm[k] * fft.spectrumIm[k];
        if (power > most) {
            most = power;
            strongest = static_cast<int32_t>(k);
        }
    }
    return strongest;
}

// Every whole buffer of the sound, through a fresh transform, the detector
// and the level rule. Also checks the detector's peak against a plain search.
std::vector<BufferResult> analyse(const std::vector<int32_t>& sound, const ToneRule& rule = {}) {
    Fft fft(points);
    LevelState state;
    std::vector<BufferResult> results;
    for (size_t start = 0; start + points <= sound.size(); start += points) {
        fft.transform(sound.data() + start, points);
        ToneReading tone = findTone(fft, rule);
        EXPECT_EQ(tone.peakBin, strongestBin(fft)) << "buffer at sample " << start;
        bool high = countsAsHigh(tone);
        applyBuffer(state, high);
        results.push_back({high, state.level, tone.peakBin * rate / points});
    }
    return results;
}

// A rendered sound: raw signed 16-bit little-endian mono at 22050 Hz.
std::vector<int32_t> loadSound(const std::string& name) {
    std::string path = std::string(NB_SOUNDS_DIR) + "/" + name + ".raw";
    std::ifstream in(path, std::ios::binary);
    std::vector<int32_t> samples;
    unsigned char bytes[2];
    while (in.read(reinterpret_cast<char*>(bytes), 2))
        samples.push_back(static_cast<int16_t>(bytes[0] | bytes[1] << 8));
    return samples;
}

// Fails the test unless the sound is there and lasts its 20 s.
#define LOAD_SOUND(samples, name)                                                                  \
    std::vector<int32_t> samples = loadSound(name);                                                \
    ASSERT_EQ(samples.size(), 20u * 22050)                                                         \
        << "test sound " << (name) << ".raw missing or cut short in " NB_SOUNDS_DIR                \
        << ": it is made by tests/audio/make_sounds.sh (the sounds fixture of the pure tier; "     \
           "needs sox, fluidsynth, fluid-soundfont-gm and espeak-ng)"

} // namespace

TEST(RecordedSounds, NoiseHumClicksSpeechAndLowNotesNeverLift) {
    const char* sounds[] = {"white-90", "white-80", "white-70", "white-60", "white-50", "white-40",
                            "white-30", "pink-40", "pink-20", "brown-40", "brown-20", "hum50",
                            "hum100", "typing", "speech_male", "speech_female", "breath_72",
                            // Notes from 523 to 1480 Hz, held from 3 s to 15 s.
                            "flute_72", "flute_84", "whistle_84", "whistle_90", "recorder_88",
                            "ocarina_79", "piccolo_90"};
    for (const char* name : sounds) {
        SCOPED_TRACE(name);
        LOAD_SOUND(sound, name);
        std::vector<BufferResult> results = analyse(sound);
        for (size_t b = 0; b < results.size(); ++b)
            ASSERT_EQ(results[b].level, 0.0f)
                << "buffer " << b << " counted as high, peak at " << results[b].peakHz << " Hz";
    }
}

TEST(RecordedSounds, WhistlesAndFlutesOverRoomNoiseLiftToFullAndHold) {
    // Held from 3 s to 15 s, 15 dB above the room's noise.
    const struct {
        const char* name;
        int key;
    } notes[] = {{"whistle_94", 94},   {"whistle_98", 98},  {"whistle_103", 103},
                 {"whistle_107", 107}, {"flute_94", 94},    {"flute_101", 101},
                 {"flute_106", 106},   {"piccolo_98", 98},  {"piccolo_105", 105},
                 {"recorder_96", 96},  {"recorder_94", 94}, {"ocarina_94", 94},
                 {"ocarina_100", 100}};
    const double start = 3.0, end = 15.0;
    for (const auto& note : notes) {
        SCOPED_TRACE(note.name);
        LOAD_SOUND(sound, note.name);
        std::vector<BufferResult> results = analyse(sound);
        const double pitch = 440.0 * std::pow(2.0, (note.key - 69) / 12.0);

        // The level reaches 8 within 2.5 s of the note's start, counting to
        // the end of the buffer that brings it there.
        size_t full = 0;
        while (full < results.size() && results[full].level < 8.0f)
            ++full;
        ASSERT_LT(full, results.size()) << "never reached full thrust";
        EXPECT_LE((full + 1) * bufferSeconds - start, 2.5);
        for (size_t b = 0; b < full; ++b)
            ASSERT_FALSE(results[b].high && (b + 1) * bufferSeconds < start)
                << "room noise counted as high in buffer " << b;

        // While the note is held, at least 95% of its buffers count as high
        // and name the note's pitch.
        size_t held = 0, high = 0;
        for (size_t b = 0; b < results.size(); ++b) {
            if (b * bufferSeconds < start + 0.5 || (b + 1) * bufferSeconds > end)
                continue;
            ++held;
            if (results[b].high) {
                ++high;
                EXPECT_NEAR(results[b].peakHz, pitch, pitch * 0.03) << "buffer " << b;
            }
        }
        EXPECT_GE(high, held * 95 / 100) << high << " of " << held << " held buffers high";
    }
}

TEST(ToneDetector, SteadyTonesCountAtAnyPhaseDriftAndOnlyWhenLoudEnough) {
    // Sines between the bins and on them, so that the phase at the start of
    // each buffer drifts by any amount, over white noise at -60 dBFS.
    std::mt19937 random(5);
    std::normal_distribution<double> hiss(0.0, 32.8);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * pi);
    const struct {
        double hz;
        double amplitude;
        bool high;
        double quietestDbfs = quietestToneDefaultDbfs; // the player's sensitivity
    } tones[] = {
        {1700.0, 1000.0, true},
        {1808.79, 300.0, true},
        {2000.0, 3000.0, true},
        {2500.5, 200.0, true},
        {3333.3, 1000.0, true},
        {4000.0, 20000.0, true},
        {5512.5, 500.0, true},
        {8000.0, 1000.0, true},
        // Clear but too faint: about -66 dBFS, under the noise's level.
        {2345.6, 16.0, false},
        // Clear and loud but below the line (bin 300, about 1615 Hz).
        {1400.0, 5000.0, false},
        {1600.0, 5000.0, false},
        // The sensitivity: -30 dBFS counts from a bar of -40 but not of -25;
        // -41 dBFS between bins at -45 but not at -37.
        {2000.0, 1000.0, true, -40.0},
        {2000.0, 1000.0, false, -25.0},
        {3333.3, 300.0, true, -45.0},
        {3333.3, 300.0, false, -37.0},
        // -36 dBFS exactly on a bin reads 4 dB louder, as the bar is set for
        // the weaker placement half-way between bins.
        {5512.5, 500.0, true, -33.0},
        {5512.5, 500.0, false, -31.0},
    };
    for (const auto& tone : tones) {
        SCOPED_TRACE(testing::Message() << tone.hz << " Hz, amplitude " << tone.amplitude
                                        << ", quietest " << tone.quietestDbfs << " dBFS");
        const double start = phase(random);
        std::vector<int32_t> sound(20 * 22050);
        for (size_t m = 0; m < sound.size(); ++m)
            sound[m] = static_cast<int32_t>(std::lround(
                tone.amplitude * std::sin(start + 2.0 * pi * tone.hz * double(m) / rate) +
                hiss(random)));
        std::vector<BufferResult> results = analyse(sound, ToneRule{tone.quietestDbfs});
        size_t high = 0;
        for (const BufferResult& r : results)
            high += r.high;
        if (tone.high)
            EXPECT_GE(high, results.size() * 95 / 100) << high << " of " << results.size();
        else
            EXPECT_EQ(high, 0u);
    }
}

namespace {

// "Measure the room" over the buffers of a sound from the given one on, as
// the worker runs it: the detector lets a line of any loudness through, and
// the measure keeps the loudest clear one at or above the threshold.
double measureRoom(const std::vector<int32_t>& sound, size_t firstBuffer = 0) {
    Fft fft(points);
    RoomMeasure room;
    startRoomMeasure(room);
    for (size_t b = firstBuffer; (b + 1) * points <= sound.size(); ++b) {
        fft.transform(sound.data() + b * points, points);
        if (hearRoom(room, findTone(fft, ToneRule{-HUGE_VAL})))
            return roomSensitivity(room);
    }
    ADD_FAILURE() << "the sound ended before the measure";
    return 0.0;
}

// The sound with a steady sine added: a whine of the room.
std::vector<int32_t> withWhine(std::vector<int32_t> sound, double hz, double dbfs) {
    const double amplitude = 32768.0 * std::pow(10.0, dbfs / 20.0);
    for (size_t m = 0; m < sound.size(); ++m)
        sound[m] += static_cast<int32_t>(
            std::lround(amplitude * std::sin(2.0 * pi * hz * double(m) / rate)));
    return sound;
}

// The share of the buffers wholly inside the seconds from..to that count.
double highShare(const std::vector<BufferResult>& results, double from, double to) {
    size_t high = 0, inside = 0;
    for (size_t b = 0; b < results.size(); ++b)
        if (b * bufferSeconds >= from && (b + 1) * bufferSeconds <= to) {
            ++inside;
            high += results[b].high;
        }
    return inside ? double(high) / double(inside) : 0.0;
}

} // namespace

TEST(RoomMeasure, QuietNoisyAndLowRoomsKeepTheMostSensitiveBar) {
    // Noise, hum, typing and speech never stand clear above the line, nor do
    // low notes: the bar stays at -60 dBFS whatever their loudness.
    for (const char* name : {"white-60", "white-30", "pink-20", "brown-20", "hum50", "hum100",
                             "typing", "speech_male", "speech_female", "breath_72", "whistle_90"}) {
        SCOPED_TRACE(name);
        LOAD_SOUND(sound, name);
        EXPECT_EQ(measureRoom(sound, 20), quietestToneMinDbfs);
    }
}

TEST(RoomMeasure, AWhineIsMeasuredAndStopsCountingWhileWhistlesStillLift) {
    // A quiet room with a monitor's whine at 3 kHz, which on its own lifts
    // the insect at the default bar; and a recorded whistle in a room with the
    // same whine.
    LOAD_SOUND(quiet, "white-60");
    LOAD_SOUND(whistle, "whistle_98");
    for (const double whineDbfs : {-55.0, -48.0, -44.0}) {
        SCOPED_TRACE(testing::Message() << "whine at " << whineDbfs << " dBFS");
        const std::vector<int32_t> room = withWhine(quiet, 3000.0, whineDbfs);
        EXPECT_GE(highShare(analyse(room), 0.0, 20.0), 0.95) << "the whine does not lift by itself";

        // Just above the whine: 3 dB over its reading, which lies between its
        // level and 4 dB above it.
        const double bar = measureRoom(room);
        EXPECT_GE(bar, whineDbfs + roomMarginDb - 0.5);
        EXPECT_LE(bar, whineDbfs + roomMarginDb + 4.5);

        // At that bar the whine no longer counts, and the whistle over it
        // still lifts to full and holds.
        EXPECT_EQ(highShare(analyse(room, ToneRule{bar}), 0.0, 20.0), 0.0);
        std::vector<BufferResult> results =
            analyse(withWhine(whistle, 3000.0, whineDbfs), ToneRule{bar});
        EXPECT_EQ(highShare(results, 0.0, 2.9), 0.0);
        EXPECT_GE(highShare(results, 3.5, 15.0), 0.95);
        EXPECT_EQ(results[static_cast<size_t>(8.0 / bufferSeconds)].level, maxLevel);
    }
}

TEST(RoomMeasure, AWhistleDuringTheMeasureRaisesTheBarAboveItselfWithinTheRange) {
    for (const char* name : {"whistle_94", "flute_101", "recorder_96"}) {
        SCOPED_TRACE(name);
        LOAD_SOUND(sound, name);
        // From 5 s on the note is held: the player whistled while measuring.
        const double bar = measureRoom(sound, static_cast<size_t>(5.0 / bufferSeconds));
        EXPECT_GT(bar, -40.0);
        EXPECT_LE(bar, quietestToneMaxDbfs);
        EXPECT_EQ(highShare(analyse(sound, ToneRule{bar}), 3.5, 15.0), 0.0);
    }
    // A loud whistle: its line is above the range, which holds at -20 dBFS.
    LOAD_SOUND(loud, "whistle_94");
    for (int32_t& v : loud)
        v *= 10;
    EXPECT_EQ(measureRoom(loud, static_cast<size_t>(5.0 / bufferSeconds)), quietestToneMaxDbfs);
}
