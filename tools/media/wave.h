// What the sound generators share: the game's sample rate, fixed-seed noise,
// simple filters and a plain PCM WAV writer. The sounds go to the folder next
// to the media folder, Resources/sound.
#pragma once
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace wave {

constexpr int rate = 22050;
const double twoPi = 4.0 * std::asin(1.0);

// Fixed-seed noise, so the files come out the same on every build.
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

// An eighth-order Butterworth low-pass run over the samples in place. Every
// sound the game plays goes through it (at most 1.2 kHz), so that nothing
// from the speakers reaches the pitch at which the microphone lifts the
// insect: at 1.5 times the corner it is 28 dB down, and falls 48 dB an octave.
inline void bandLimit(std::vector<double>& s, double hz) {
    const double q[4] = {0.5098, 0.6013, 0.9000, 2.5629};
    for (double qi : q) {
        LowPass stage(hz, qi);
        for (double& x : s)
            x = stage(x);
    }
}

inline void put16(std::ofstream& f, uint16_t v) {
    char b[2] = {char(v & 0xff), char(v >> 8)};
    f.write(b, 2);
}

inline void put32(std::ofstream& f, uint32_t v) {
    put16(f, uint16_t(v & 0xffff));
    put16(f, uint16_t(v >> 16));
}

// Scales the samples so that the loudest reaches `peak` (of full scale 32767).
inline std::vector<int16_t> toPcm(const std::vector<double>& s, double peak) {
    double top = 0.0;
    for (double x : s)
        top = std::max(top, std::fabs(x));
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        pcm[i] = int16_t(std::lround(top > 0 ? s[i] / top * peak : 0.0));
    return pcm;
}

// Writes Resources/sound/<name> for the media folder outDir: mono, 16 bits.
inline void write(const std::string& outDir, const std::string& name,
                  const std::vector<int16_t>& pcm) {
    std::filesystem::path folder = std::filesystem::path(outDir) / ".." / "sound";
    std::filesystem::create_directories(folder);
    std::filesystem::path file = folder / name;
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

} // namespace wave
