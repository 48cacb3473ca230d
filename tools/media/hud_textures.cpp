// Textures of the heads-up display: the gun sight, the blood meter's frame and
// its bar, the lift meter's frame and fill, the hearing lamp, and the backing
// of the read-outs. Sizes match the pixel sizes the overlay gives the
// elements, so the pictures are drawn one texel to a pixel (the fills are
// stretched into their wells).
#include "media.h"
#include "picture.h"

#include <cmath>

namespace {

using media::Picture;
using media::Rgba;

float coverage(float distanceOutside) {
    return std::clamp(0.5f - distanceOutside, 0.0f, 1.0f);
}

// A ring, four hairs that stop short of the centre, and a centre dot, in
// green with a dark rim so the sight reads against the sky and the street.
void writeGunSight(const std::string& outDir) {
    const int size = 128;
    const float c = 0.5f * float(size);
    Picture pic(size, size);
    const Rgba rim{0, 0.08f, 0, 0.55f}, line{0.35f, 1.0f, 0.4f, 0.95f};
    for (int pass = 0; pass < 2; ++pass) {
        const Rgba& colour = pass ? line : rim;
        float grow = pass ? 0.0f : 1.5f; // the rim is the same shape, wider
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                float dx = float(x) + 0.5f - c, dy = float(y) + 0.5f - c;
                float r = std::sqrt(dx * dx + dy * dy);
                float ring = std::fabs(r - 40) - 1.5f - grow;
                float ax = std::fabs(dx), ay = std::fabs(dy);
                float along = std::max(ax, ay), across = std::min(ax, ay);
                float hair =
                    std::max(across - 1.0f - grow, std::max(12 - grow - along, along - 58 - grow));
                float dot = r - 2.5f - grow;
                float d = std::min(ring, std::min(hair, dot));
                pic.blend(x, y, colour, coverage(d));
            }
        }
    }
    pic.save(outDir + "/gunsight.dds");
}

// A meter's frame: a light rounded rim around a dark see-through well with
// `divisions` - 1 notches dividing the scale evenly.
void writeMeterFrame(const std::string& path, int divisions) {
    const int w = 32, h = 256;
    const float rim = 4, radius = 6;
    Picture pic(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float px = float(x) + 0.5f, py = float(y) + 0.5f;
            // Distance outside a rounded rectangle inset by `radius`.
            float qx = std::max(std::fabs(px - 0.5f * w) - (0.5f * w - radius), 0.0f);
            float qy = std::max(std::fabs(py - 0.5f * h) - (0.5f * h - radius), 0.0f);
            float outside = std::sqrt(qx * qx + qy * qy) - radius;
            if (outside > 1)
                continue;
            float inner = -outside - rim; // > 0 inside the well
            pic.blend(x, y, {0.05f, 0.02f, 0.02f, 0.45f}, coverage(outside));
            pic.blend(x, y, {0.85f, 0.85f, 0.88f, 0.9f}, coverage(outside) * coverage(inner));
        }
    }
    for (int q = 1; q < divisions; ++q) {
        int y = int(rim) + (h - 2 * int(rim)) * q / divisions;
        for (int x = int(rim); x < int(rim) + 7; ++x)
            pic.blend(x, y, {0.85f, 0.85f, 0.88f, 0.8f}, 1);
    }
    pic.save(path);
}

// The bar: dark red at its sides, bright in the middle, like a glass tube of
// blood. It only varies across, so stretching it to any height looks right.
void writeBloodBar(const std::string& outDir) {
    const int w = 32, h = 4;
    Picture pic(w, h);
    for (int x = 0; x < w; ++x) {
        float u = (float(x) + 0.5f) / float(w);
        float shade = std::sin(Ogre::Math::PI * u);
        float shine = std::exp(-std::pow((u - 0.35f) / 0.08f, 2.0f));
        for (int y = 0; y < h; ++y)
            pic.at(x, y) = {0.35f + 0.55f * shade + 0.3f * shine, 0.02f + 0.3f * shine,
                            0.03f + 0.3f * shine, 0.92f};
    }
    pic.save(outDir + "/blood_bar.dds");
}

// The lift meter's fill: eight cells, green at the bottom through yellow to
// red at the top, shaded like a tube across. The display shows its lower
// part as the level rises, so each cell keeps its colour and place.
void writeLevelBar(const std::string& outDir) {
    const int w = 32, h = 256, cells = 8;
    Picture pic(w, h);
    for (int y = 0; y < h; ++y) {
        // 0 at the bottom (the picture's last row), 1 at the top.
        float up = 1.0f - (float(y) + 0.5f) / float(h);
        Rgba c = up < 0.6f ? Rgba{0.25f + 1.2f * up, 0.85f, 0.2f, 0.95f}
                           : Rgba{0.97f, 0.85f - 1.6f * (up - 0.6f), 0.15f, 0.95f};
        int inCell = y % (h / cells);
        bool gap = inCell < 2 || inCell >= h / cells - 1;
        for (int x = 0; x < w; ++x) {
            float u = (float(x) + 0.5f) / float(w);
            float shade = 0.55f + 0.45f * std::sin(Ogre::Math::PI * u);
            pic.at(x, y) = gap ? Rgba{0, 0, 0, 0}
                               : Rgba{c.r * shade, c.g * shade, c.b * shade, c.a};
        }
    }
    pic.save(outDir + "/level_bar.dds");
}

// The hearing lamp, unlit on the left half and lit on the right: the display
// picks a half, so lighting it changes no material.
void writeHearingLamp(const std::string& outDir) {
    const int size = 32;
    Picture pic(2 * size, size);
    for (int half = 0; half < 2; ++half) {
        const float cx = float(half * size) + 0.5f * size, cy = 0.5f * size;
        const Rgba rim{0.75f, 0.75f, 0.7f, 0.9f};
        const Rgba face = half ? Rgba{1.0f, 0.9f, 0.25f, 1.0f} : Rgba{0.12f, 0.12f, 0.1f, 0.85f};
        for (int y = 0; y < size; ++y) {
            for (int x = half * size; x < (half + 1) * size; ++x) {
                float dx = float(x) + 0.5f - cx, dy = float(y) + 0.5f - cy;
                float r = std::sqrt(dx * dx + dy * dy);
                pic.blend(x, y, rim, coverage(r - 13));
                pic.blend(x, y, face, coverage(r - 11));
                if (half)
                    pic.blend(x, y, {1, 1, 0.9f, 0.8f}, coverage(r - 4));
            }
        }
    }
    pic.save(outDir + "/hearing_lamp.dds");
}

void writeHudTextures(const std::string& outDir) {
    // The read-outs' backing: plain dark, 40 % opaque.
    Picture(4, 4, {0, 0, 0, 0.4f}).save(outDir + "/hud_backdrop.dds");
    // Plain white, for the pause screen's materials to colour.
    Picture(4, 4, {1, 1, 1, 1}).save(outDir + "/hud_white.dds");
    writeGunSight(outDir);
    writeMeterFrame(outDir + "/blood_meter_frame.dds", 4);
    writeBloodBar(outDir);
    writeMeterFrame(outDir + "/level_meter_frame.dds", 8);
    writeLevelBar(outDir);
    writeHearingLamp(outDir);
}

MediaGenerator hudTextures("hud_textures", writeHudTextures);

} // namespace
