// The game's sound effects, beside the ambience in Resources/sound:
//  - "buzz_0.wav" to "buzz_3.wav": the insect's wings, half-second loops of
//    rising pitch; the game picks one by the thrust and sets its loudness;
//  - "slap.wav": a hand striking skin;
//  - "drink.wav": the insect starting to drink, a few small gulps;
//  - "bank.wav": a low two-note chime when blood is banked at the nest;
//  - "warning.wav": a sharp falling "uh-oh", twice, when a person is about
//    to slap.
// Like the ambience, all of it stays below 1.5 kHz: the speakers must never
// whistle the insect up through the microphone. The buzz is built from
// harmonics below 1.3 kHz only; the rest goes through the band limit.
#include "media.h"
#include "wave.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using wave::Noise;
using wave::rate;
using wave::twoPi;

std::vector<double> silence(double seconds) {
    return std::vector<double>(size_t(seconds * rate), 0.0);
}

// A whole number of wing beats per loop, and of every harmonic and of the
// flutter, so that the loop runs on into itself without a step.
std::vector<int16_t> buzz(double fundamental) {
    const double seconds = 0.5, flutter = 6.0; // whole cycles in half a second
    std::vector<double> s = silence(seconds);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / rate, sample = 0.0;
        for (int h = 1; h * fundamental < 1300.0; ++h) {
            // A thin, reedy tone: strong upper partials that waver a little
            // against each other as the wings beat.
            double waver = 1.0 + 0.25 * std::sin(twoPi * flutter * t + 1.3 * h);
            sample += waver * std::sin(twoPi * h * fundamental * t + 0.4 * h * h) / (0.6 + 0.4 * h);
        }
        s[i] = sample;
    }
    return wave::toPcm(s, 14000.0);
}

std::vector<int16_t> slap() {
    std::vector<double> s = silence(0.35);
    Noise noise(0x51a9ULL);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / rate;
        double crack = noise.next() * std::exp(-t / 0.018);
        double thump = std::sin(twoPi * 110.0 * t) * std::exp(-t / 0.06);
        s[i] = crack + 0.8 * thump;
    }
    wave::bandLimit(s, 900.0);
    return wave::toPcm(s, 26000.0);
}

// Each gulp is a bubble: a tone that rises quickly as it dies away, with a
// little wet noise under it.
std::vector<int16_t> drink() {
    std::vector<double> s = silence(0.9);
    Noise noise(0xd1a1ULL);
    const double starts[] = {0.02, 0.27, 0.5};
    const double pitches[] = {260.0, 300.0, 240.0};
    for (int g = 0; g < 3; ++g) {
        double phase = 0.0;
        for (size_t i = size_t(starts[g] * rate); i < s.size(); ++i) {
            double t = double(i) / rate - starts[g];
            if (t > 0.2)
                break;
            double f = pitches[g] * (1.0 + 2.5 * t / 0.2);
            phase += twoPi * f / rate;
            double envelope = std::sin(std::min(1.0, t / 0.01) * twoPi / 4) * std::exp(-t / 0.05);
            s[i] += envelope * (std::sin(phase) + 0.15 * noise.next());
        }
    }
    wave::bandLimit(s, 1000.0);
    return wave::toPcm(s, 20000.0);
}

// Two notes of a small bell, the second a fifth below; the partials of a
// bell, all under 1.3 kHz.
std::vector<int16_t> bank() {
    std::vector<double> s = silence(2.2);
    struct Partial {
        double ratio, level, decay;
    };
    const Partial partials[] = {{0.5, 0.6, 1.2}, {1.0, 1.0, 0.9}, {1.19, 0.35, 0.6},
                                {1.5, 0.25, 0.5}, {2.0, 0.3, 0.4}};
    const double notes[][2] = {{392.0, 0.0}, {261.6, 0.45}}; // pitch, start
    for (const auto& note : notes)
        for (const Partial& p : partials) {
            double f = note[0] * p.ratio;
            for (size_t i = size_t(note[1] * rate); i < s.size(); ++i) {
                double t = double(i) / rate - note[1];
                double strike = std::min(1.0, t / 0.004);
                s[i] += strike * p.level * std::sin(twoPi * f * t) * std::exp(-t / p.decay);
            }
        }
    wave::bandLimit(s, 1200.0);
    return wave::toPcm(s, 20000.0);
}

// Two falling notes, played twice: reedy, so that they cut through the
// street's hum, and short, so that the slap after them is still heard.
std::vector<int16_t> warning() {
    std::vector<double> s = silence(0.75);
    const double notes[][2] = {{880.0, 0.0}, {660.0, 0.13}, {880.0, 0.36}, {660.0, 0.49}};
    for (const auto& note : notes)
        for (size_t i = size_t(note[1] * rate); i < s.size(); ++i) {
            double t = double(i) / rate - note[1];
            if (t > 0.12)
                break;
            double envelope = std::min(1.0, t / 0.005) * std::min(1.0, (0.12 - t) / 0.02);
            double tone = 0.0;
            for (int h = 1; h * note[0] < 1300.0; ++h)
                tone += std::sin(twoPi * h * note[0] * t) / h;
            s[i] += envelope * tone;
        }
    wave::bandLimit(s, 1300.0);
    return wave::toPcm(s, 18000.0);
}

void writeSounds(const std::string& outDir) {
    const double pitches[] = {250.0, 300.0, 360.0, 430.0};
    for (int i = 0; i < 4; ++i)
        wave::write(outDir, "buzz_" + std::to_string(i) + ".wav", buzz(pitches[i]));
    wave::write(outDir, "slap.wav", slap());
    wave::write(outDir, "drink.wav", drink());
    wave::write(outDir, "bank.wav", bank());
    wave::write(outDir, "warning.wav", warning());
}

const MediaGenerator sounds("sounds", &writeSounds, false);

} // namespace
