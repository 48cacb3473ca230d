// The street ambience that loops under the game: traffic rumble, distant
// voices and a car passing by, written as Resources/sound/background_street.wav.
// Everything sits below about 1.5 kHz, so that a microphone near the speakers
// never hears the game's own sound as the high pitch that lifts the insect.
#include "media.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {

constexpr int rate = 22050;
constexpr double loopSeconds = 6.0;
constexpr double fadeSeconds = 0.5;
const double twoPi = 4.0 * std::asin(1.0);

// Fixed-seed noise, so the file comes out the same on every build.
class Noise {
public:
    explicit Noise(uint64_t seed) : state(seed) {}
    double next() { // -1 to 1
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return double((state * 0x2545F4914F6CDD1DULL) >> 11) / double(1ULL << 52) - 1.0;
    }

private:
    uint64_t state;
};

class OnePole {
public:
    explicit OnePole(double hz) : a(std::exp(-twoPi * hz / rate)) {}
    double operator()(double x) { return y = (1.0 - a) * x + a * y; }

private:
    double a;
    double y = 0.0;
};

// A second-order low-pass (bilinear transform, direct form I).
class LowPass {
public:
    LowPass(double hz, double q) {
        double w = twoPi * hz / rate, alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
        double a0 = 1.0 + alpha;
        b0 = (1.0 - c) / 2.0 / a0;
        b1 = (1.0 - c) / a0;
        a1 = -2.0 * c / a0;
        a2 = (1.0 - alpha) / a0;
    }
    double operator()(double x) {
        double y = b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    double b0, b1, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

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

    // Fourth-order Butterworth low-pass at 1.2 kHz, and no DC.
    LowPass first(1200.0, 0.5412), second(1200.0, 1.3066);
    OnePole dc(25.0);
    for (double& s : raw) {
        double y = second(first(s));
        s = y - dc(y);
    }

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

void put16(std::ofstream& f, uint16_t v) {
    char b[2] = {char(v & 0xff), char(v >> 8)};
    f.write(b, 2);
}

void put32(std::ofstream& f, uint32_t v) {
    put16(f, uint16_t(v & 0xffff));
    put16(f, uint16_t(v >> 16));
}

void writeAmbience(const std::string& outDir) {
    std::filesystem::path folder = std::filesystem::path(outDir) / ".." / "sound";
    std::filesystem::create_directories(folder);
    std::filesystem::path file = folder / "background_street.wav";
    std::vector<int16_t> pcm = synthesise();
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    if (!f)
        throw std::runtime_error("cannot write " + file.string());
    uint32_t dataBytes = uint32_t(pcm.size() * 2);
    f.write("RIFF", 4);
    put32(f, 36 + dataBytes);
    f.write("WAVEfmt ", 8);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 1); // mono
    put32(f, rate);
    put32(f, rate * 2);
    put16(f, 2);
    put16(f, 16);
    f.write("data", 4);
    put32(f, dataBytes);
    for (int16_t s : pcm)
        put16(f, uint16_t(s));
    if (!f)
        throw std::runtime_error("cannot write " + file.string());
}

const MediaGenerator ambience("ambience", &writeAmbience, false);

} // namespace
