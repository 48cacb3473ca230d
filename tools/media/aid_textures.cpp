// Textures of the display's aids: the centre cross, the steering mark, the
// sixteen arrows of the goal marker, the annoyance bar's fill and the climb
// mark of the blood meter. The picture format wants sides that are powers of
// two; the centre cross and the steering mark are drawn one texel to a pixel.
#include "media.h"
#include "picture.h"

#include <cmath>

namespace {

using media::Picture;
using media::Rgba;

float coverage(float distanceOutside) {
    return std::clamp(0.5f - distanceOutside, 0.0f, 1.0f);
}

const Rgba kRim{0, 0, 0, 0.6f};

// Draws a shape given by its signed distance (negative inside) twice: a
// dark rim a little wider, then the shape in its colour.
template <class Distance>
void drawShape(Picture& pic, int x0, int y0, int size, Rgba colour, Distance distance) {
    for (int pass = 0; pass < 2; ++pass)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                float px = float(x) + 0.5f - 0.5f * float(size);
                float py = float(y) + 0.5f - 0.5f * float(size);
                float d = distance(px, py) - (pass ? 0.0f : 1.5f);
                pic.blend(x0 + x, y0 + y, pass ? colour : kRim, coverage(d));
            }
}

// A small cross, its arms stopping short of the middle, where the steering
// mark rests.
void writeCentre(const std::string& outDir) {
    Picture pic(16, 16);
    drawShape(pic, 0, 0, 16, {0.9f, 0.95f, 1, 0.85f}, [](float x, float y) {
        float along = std::max(std::fabs(x), std::fabs(y));
        float across = std::min(std::fabs(x), std::fabs(y));
        return std::max(across - 0.8f, std::max(3.0f - along, along - 6.5f));
    });
    pic.save(outDir + "/aid_centre.dds");
}

// A thin ring: it shows where the cursor is without covering what lies under
// it, the gun sight's centre included.
void writeSteering(const std::string& outDir) {
    Picture pic(32, 32);
    drawShape(pic, 0, 0, 32, {1, 0.85f, 0.2f, 0.95f},
              [](float x, float y) { return std::fabs(std::sqrt(x * x + y * y) - 9.0f) - 1.2f; });
    pic.save(outDir + "/aid_steering.dds");
}

// Sixteen arrows, four by four, each turned a sixteenth of a turn further
// clockwise from pointing right (cell k at column k % 4, row k / 4).
void writeArrows(const std::string& outDir) {
    const int cell = 64;
    Picture pic(4 * cell, 4 * cell);
    for (int k = 0; k < 16; ++k) {
        const float a = float(k) * 2.0f * Ogre::Math::PI / 16.0f;
        const float c = std::cos(a), s = std::sin(a);
        drawShape(pic, (k % 4) * cell, (k / 4) * cell, cell, {1, 0.62f, 0.12f, 1},
                  [c, s](float x, float y) {
                      // Into the arrow's own frame: u along it, v across.
                      float u = x * c + y * s, v = std::fabs(-x * s + y * c);
                      float head = std::max(v - 0.8f * (24 - u), 4 - u);
                      float shaft = std::max(v - 4.5f, std::max(-22 - u, u - 6));
                      return std::min(head, shaft);
                  });
    }
    pic.save(outDir + "/aid_arrows.dds");
}

// The annoyance bar's fill: yellow through orange to red at the slap. The
// display shows the left part of it as the bar fills.
void writeAnnoyance(const std::string& outDir) {
    Picture pic(64, 4);
    for (int x = 0; x < 64; ++x) {
        float t = (float(x) + 0.5f) / 64.0f;
        for (int y = 0; y < 4; ++y)
            pic.at(x, y) = {1, 0.9f * (1 - t) + 0.1f, 0.15f, 0.95f};
    }
    pic.save(outDir + "/aid_annoyance.dds");
}

// The climb mark: a line across the blood meter, a little wider than it,
// with a notch pointing in at each end (drawn 64 wide, shown 44).
void writeClimbMark(const std::string& outDir) {
    const int w = 64, h = 8;
    Picture pic(w, h);
    for (int pass = 0; pass < 2; ++pass)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float px = float(x) + 0.5f, py = std::fabs(float(y) + 0.5f - 0.5f * h);
                float line = py - 1.0f;
                float end = std::min(px, float(w) - px); // distance from the nearer end
                float notch = std::max(py - (8 - end) * 0.5f, end - 8); // a small wedge
                float d = std::min(line, notch) - (pass ? 0.0f : 1.0f);
                pic.blend(x, y, pass ? Rgba{1, 0.95f, 0.6f, 1} : kRim, coverage(d));
            }
    pic.save(outDir + "/climb_mark.dds");
}

void writeAidTextures(const std::string& outDir) {
    writeCentre(outDir);
    writeSteering(outDir);
    writeArrows(outDir);
    writeAnnoyance(outDir);
    writeClimbMark(outDir);
}

MediaGenerator aidTextures("aid_textures", writeAidTextures);

} // namespace
