// The sky's cloud texture: fractal value noise, tileable, blue sky with
// soft white clouds.
#include "media.h"

#include <Ogre.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A lattice of random values that wraps around, so the texture tiles.
class TilingNoise {
public:
    TilingNoise(int period, uint32_t seed) : period(period), values(period * period) {
        for (float& v : values) {
            seed = seed * 1664525u + 1013904223u;
            v = float(seed >> 8) / float(1u << 24);
        }
    }
    float at(float x, float y) const {
        int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        float fx = smooth(x - float(x0)), fy = smooth(y - float(y0));
        float a = lattice(x0, y0), b = lattice(x0 + 1, y0);
        float c = lattice(x0, y0 + 1), d = lattice(x0 + 1, y0 + 1);
        return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }
    float lattice(int x, int y) const {
        x = ((x % period) + period) % period;
        y = ((y % period) + period) % period;
        return values[y * period + x];
    }
    int period;
    std::vector<float> values;
};

void writeClouds(const std::string& outDir) {
    const int size = 512;
    std::vector<uint8_t> pixels(size * size * 3);
    std::vector<TilingNoise> octaves;
    for (int o = 0; o < 6; ++o)
        octaves.emplace_back(4 << o, 0x9e3779b9u + uint32_t(o) * 7919u);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float n = 0, amplitude = 0.5f;
            for (int o = 0; o < 6; ++o) {
                float scale = float(4 << o) / float(size);
                n += amplitude * octaves[o].at(float(x) * scale, float(y) * scale);
                amplitude *= 0.5f;
            }
            float cloud = std::clamp((n - 0.45f) * 2.8f, 0.0f, 1.0f);
            uint8_t* p = &pixels[(y * size + x) * 3];
            p[0] = uint8_t(70 + cloud * 170);  // red
            p[1] = uint8_t(110 + cloud * 135); // green
            p[2] = uint8_t(190 + cloud * 60);  // blue
        }
    }
    Ogre::Image image;
    image.loadDynamicImage(pixels.data(), size, size, 1, Ogre::PF_BYTE_RGB);
    image.save(outDir + "/clouds.png");
}

MediaGenerator clouds("clouds", writeClouds);

} // namespace
