// An RGBA picture drawn pixel by pixel and saved through the engine's own
// image code, for the generated textures.
//
// Pictures are written as uncompressed DDS, which the engine core reads and
// writes itself. Its PNG path goes through the STBI plug-in, which releases
// the pixel memory with the wrong deallocator (malloc against delete[]); the
// sanitizer build of the tool and of the tests stops on that.
#pragma once
#include <Ogre.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

struct Rgba {
    float r, g, b, a;
};

class Picture {
public:
    Picture(int width, int height, Rgba fill = {0, 0, 0, 0})
        : w(width), h(height), pixels(size_t(width) * size_t(height), fill) {}

    int width() const { return w; }
    int height() const { return h; }
    Rgba& at(int x, int y) { return pixels[size_t(y) * size_t(w) + size_t(x)]; }

    // Paints c over the pixel with coverage `amount` (0..1), like alpha blending.
    void blend(int x, int y, Rgba c, float amount) {
        if (x < 0 || y < 0 || x >= w || y >= h || amount <= 0)
            return;
        float k = std::min(1.0f, amount) * c.a;
        Rgba& d = at(x, y);
        float a = k + d.a * (1 - k);
        if (a > 0) {
            d.r = (c.r * k + d.r * d.a * (1 - k)) / a;
            d.g = (c.g * k + d.g * d.a * (1 - k)) / a;
            d.b = (c.b * k + d.b * d.a * (1 - k)) / a;
        }
        d.a = a;
    }

    // path should end in ".dds".
    void save(const std::string& path) const {
        std::vector<uint8_t> bytes(pixels.size() * 4);
        auto toByte = [](float v) { return uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
        for (size_t i = 0; i < pixels.size(); ++i) {
            uint8_t* p = &bytes[i * 4];
            p[0] = toByte(pixels[i].r);
            p[1] = toByte(pixels[i].g);
            p[2] = toByte(pixels[i].b);
            p[3] = toByte(pixels[i].a);
        }
        Ogre::Image image;
        image.loadDynamicImage(bytes.data(), uint32_t(w), uint32_t(h), 1, Ogre::PF_BYTE_RGBA);
        image.save(path);
    }

private:
    int w, h;
    std::vector<Rgba> pixels;
};

// A small repeatable pseudo-random sequence, so the media are the same on
// every build.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed) {}
    float next() {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24);
    }

private:
    uint32_t state;
};

} // namespace media
