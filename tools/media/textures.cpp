// The sky's texture, fractal value noise that tiles, and the desktop icon.
#include "media.h"
#include "picture.h"

#include <Ogre.h>

#include <algorithm>
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

// The night sky over the street: deep blue, darker where thin clouds pass
// before the stars, and the stars themselves. The sky dome repeats the
// picture eight times across, so it has nothing that would show the repeat
// (no moon); the stars are soft dots of two or three texels, which stay
// visible without mipmaps at the dome's distance.
void writeNightSky(const std::string& outDir) {
    const int size = 512;
    media::Picture pic(size, size);
    std::vector<TilingNoise> octaves;
    for (int o = 0; o < 5; ++o)
        octaves.emplace_back(4 << o, 0x9e3779b9u + uint32_t(o) * 7919u);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float n = 0, amplitude = 0.5f;
            for (int o = 0; o < 5; ++o) {
                float scale = float(4 << o) / float(size);
                n += amplitude * octaves[o].at(float(x) * scale, float(y) * scale);
                amplitude *= 0.5f;
            }
            // Clouds lit faintly from below by the town.
            float cloud = std::clamp((n - 0.5f) * 2.5f, 0.0f, 1.0f);
            pic.at(x, y) = {0.025f + 0.06f * cloud, 0.035f + 0.05f * cloud,
                            0.09f + 0.04f * cloud, 1};
        }
    }
    media::Random random(0x57a25u);
    for (int i = 0; i < 260; ++i) {
        float cx = random.next() * size, cy = random.next() * size;
        float bright = 0.35f + 0.65f * random.next() * random.next();
        float radius = 0.8f + 0.9f * random.next();
        float warmth = random.next() * 0.15f;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                int ux = int(cx) + dx, uy = int(cy) + dy; // may lie off the edge
                float d = std::hypot(float(ux) + 0.5f - cx, float(uy) + 0.5f - cy);
                int px = (ux + size) % size, py = (uy + size) % size;
                float k = std::clamp(1.0f - d / radius, 0.0f, 1.0f);
                pic.blend(px, py, {bright, bright - warmth * 0.3f, bright - warmth, 1}, k);
            }
    }
    pic.save(outDir + "/night_sky.dds");
}

MediaGenerator nightSky("night_sky", writeNightSky);

} // namespace

namespace {

// Distance from p to the segment a-b.
float segment(float px, float py, float ax, float ay, float bx, float by) {
    float vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
    float t = std::clamp((wx * vx + wy * vy) / (vx * vx + vy * vy), 0.0f, 1.0f);
    float dx = wx - t * vx, dy = wy - t * vy;
    return std::sqrt(dx * dx + dy * dy);
}

// The desktop icon: a mosquito's silhouette against a pale moon.
void writeIcon(const std::string& outDir) {
    const int size = 256;
    std::vector<uint8_t> pixels(size * size * 4, 0);
    struct Stroke {
        float ax, ay, bx, by, width;
    };
    const Stroke strokes[] = {
        {70, 190, 150, 120, 13},  // abdomen
        {150, 120, 172, 100, 16}, // thorax
        {172, 100, 186, 88, 10},  // head
        {186, 88, 232, 50, 2.5f}, // proboscis
        {160, 112, 120, 40, 6},   {160, 112, 205, 45, 6},   // wings
        {158, 118, 100, 150, 2},  {100, 150, 60, 230, 2},   // legs
        {162, 116, 140, 170, 2},  {140, 170, 120, 240, 2},
        {166, 112, 190, 160, 2},  {190, 160, 215, 235, 2},
    };
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float moon = std::hypot(px - 128, py - 128) - 120;
            float ink = 1e9f;
            for (const Stroke& s : strokes)
                ink = std::min(ink, segment(px, py, s.ax, s.ay, s.bx, s.by) - s.width);
            uint8_t* p = &pixels[(y * size + x) * 4];
            float inMoon = std::clamp(0.5f - moon, 0.0f, 1.0f);
            float inInk = std::clamp(0.5f - ink, 0.0f, 1.0f);
            p[0] = uint8_t((240 * (1 - inInk) + 30 * inInk));
            p[1] = uint8_t((220 * (1 - inInk) + 20 * inInk));
            p[2] = uint8_t((160 * (1 - inInk) + 25 * inInk));
            p[3] = uint8_t(255 * std::max(inMoon, inInk));
        }
    }
    Ogre::Image image;
    image.loadDynamicImage(pixels.data(), size, size, 1, Ogre::PF_BYTE_RGBA);
    image.save(outDir + "/nightbite_icon.png");
}

MediaGenerator icon("icon", writeIcon);

} // namespace
