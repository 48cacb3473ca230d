// The street ambience that loops under the game: traffic rumble, distant
// voices and a car passing by, written as Resources/sound/background_street.wav.
// Everything sits below about 1.5 kHz, so that a microphone near the speakers
// never hears the game's own sound as the high pitch that lifts the insect.
#include "media.h"
#include "wave.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using wave::Noise;
using wave::OnePole;
using wave::rate;
using wave::twoPi;

constexpr double loopSeconds = 6.0;
constexpr double fadeSeconds = 0.5;

// Low road noise with the slow swell of traffic further away.
void addRumble(std::vector<double>& out, Noise& noise) {
    OnePole a(90.0), b(90.0), hissLow(600.0), hissHigh(250.0);
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / rate;
        double white = noise.next();
        double rumble = b(a(white)) * 9.0;
        double hiss = hissLow(white) - hissHigh(white); // a band around 250-600 Hz
        double swell = 0.75 + 0.25 * std::sin(twoPi * 0.11 * t) * std::sin(twoPi * 0.037 * t + 1.0);
        out[i] += swell * (0.5 * rumble + 0.12 * hiss);
    }
}

// People talking across the street: harmonics of a wandering pitch shaped by
// two vowel formants, in syllables and phrases with pauses.
void addVoices(std::vector<double>& out, Noise& noise) {
    struct Vowel {
        double f1, f2;
    };
    // Second formants kept low: the distant voices are muffled anyway.
    const Vowel vowels[] = {{730, 1090}, {570, 840}, {300, 870}, {530, 1150}, {660, 1000}};
    const double pitches[] = {115.0, 185.0, 140.0};
    const double levels[] = {0.10, 0.07, 0.08};
    for (int v = 0; v < 3; ++v) {
        double phase = 0.0;
        size_t i = 0;
        while (i < out.size()) {
            // A phrase of 3 to 8 syllables, then a pause.
            int syllables = 3 + int((noise.next() + 1.0) * 2.5);
            for (int s = 0; s < syllables && i < out.size(); ++s) {
                size_t length = size_t((0.16 + 0.06 * noise.next()) * rate);
                const Vowel& vowel = vowels[size_t((noise.next() + 1.0) * 2.499)];
                double pitch = pitches[v] * (1.0 + 0.08 * noise.next());
                for (size_t j = 0; j < length && i < out.size(); ++j, ++i) {
                    double u = double(j) / double(length);
                    double envelope = std::sin(u * twoPi / 2.0);
                    double f0 = pitch * (1.0 + 0.06 * std::sin(twoPi * u));
                    phase += twoPi * f0 / rate;
                    double sample = 0.0;
                    for (int h = 1; h * f0 < 1200.0; ++h) {
                        double f = h * f0;
                        double d1 = (f - vowel.f1) / 160.0, d2 = (f - vowel.f2) / 220.0;
                        double gain = std::exp(-d1 * d1) + 0.5 * std::exp(-d2 * d2) + 0.15 / h;
                        sample += gain * std::sin(h * phase);
                    }
                    out[i] += levels[v] * envelope * envelope * sample;
                }
            }
            size_t pause = size_t((0.35 + 0.3 * (noise.next() + 1.0)) * rate);
            i += pause;
        }
    }
}

// One car passing in front at about 60 km/h: louder as it comes close, its
// engine note a little higher while it approaches and lower as it leaves.
void addPassingCar(std::vector<double>& out, Noise& noise, double passTime) {
    const double speed = 17.0, closest = 6.0, sound = 343.0;
    OnePole tyres(350.0), tyres2(350.0);
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / rate - passTime;
        double x = speed * t;
        double distance = std::sqrt(x * x + closest * closest);
        double approach = speed * x / distance; // > 0 while leaving
        double doppler = sound / (sound + approach);
        double loudness = closest / distance;
        phase += twoPi * 62.0 * doppler / rate;
        double engine = 0.0;
        for (int h = 1; h <= 9; ++h)
            engine += std::sin(h * phase + 0.7 * h) / (h * 0.8 + 0.4);
        double road = tyres2(tyres(noise.next())) * 6.0;
        out[i] += loudness * (0.16 * engine + 0.9 * road);
    }
}

std::vector<int16_t> synthesise() {
    const size_t loop = size_t(loopSeconds * rate), fade = size_t(fadeSeconds * rate);
    std::vector<double> raw(loop + fade, 0.0);
    Noise noise(0x5eed2007ULL);
    addRumble(raw, noise);
    addVoices(raw, noise);
    addPassingCar(raw, noise, 3.2);

    // Band-limited like every sound the game plays, and no DC.
    wave::bandLimit(raw, 1200.0);
    OnePole dc(25.0);
    for (double& s : raw)
        s -= dc(s);

    // The loop's start is crossfaded with what follows its end, so the last
    // sample runs straight on into the first.
    std::vector<double> looped(raw.begin(), raw.begin() + long(loop));
    for (size_t i = 0; i < fade; ++i) {
        double u = (double(i) + 0.5) / double(fade) * twoPi / 4.0;
        looped[i] = raw[i] * std::sin(u) + raw[loop + i] * std::cos(u);
    }
    double peak = 0.0;
    for (double s : looped)
        peak = std::max(peak, std::fabs(s));
    std::vector<int16_t> pcm(loop);
    for (size_t i = 0; i < loop; ++i)
        pcm[i] = int16_t(std::lround(looped[i] / peak * 16000.0));
    return pcm;
}

void writeAmbience(const std::string& outDir) {
    wave::write(outDir, "background_street.wav", synthesise());
}

const MediaGenerator ambience("ambience", &writeAmbience, false);

} // namespace
