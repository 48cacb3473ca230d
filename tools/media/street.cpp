// The street the scripts build from world objects:
//  - "ground.mesh": 4000 x 4000 at y = 0, centred on its origin; a road 600
//    wide along Z (|x| < 300) between pavements, lit by the street's lamps
//    (pairs across the street at z = -1200, -400, 400 and 1200).
//  - "house.mesh": a three-storey house, 1000 wide (x), 600 deep (z), 900
//    high; origin at the middle of its ground plan, front (door) facing +Z.
//  - "house_b.mesh": the same house with other windows lit.
//  - "lamp.mesh": a street lamp 520 high; origin at the foot of the post
//    (44 across); the arm reaches along +Z, the light hangs 140 out and the
//    lamp head ends 170 out.
//  - "lamp_pool.mesh": the light a lamp throws on the street, a flat disc of
//    warm light 560 across drawn over the ground (origin at its centre),
//    placed under a lamp head a little above the ground; a sixteen-sided
//    polygon, its box 560 by 560.
//  - "tower.mesh": a block of flats 1000 wide (x), 600 deep (z) and 1900
//    high, windows on every side; the street's ends and the ground behind
//    its houses are closed by rows of them, taller than the insect can fly.
// Sizes are in the game's units, where a person stands 180 tall.
#include "media.h"
#include "mesh_builder.h"
#include "picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

using media::MeshBuilder;
using media::Picture;
using media::Rgba;
using Ogre::Vector2;
using Ogre::Vector3;

// The lamps stand in pairs across the street at these distances along it
// (new_game.lua puts them there), and each throws its pool of light this far
// out from its post's side of the road, in a circle of this radius.
constexpr float kLampRows[] = {-1200, -400, 400, 1200};
constexpr float kPoolX = 190, kPoolRadius = 280;
// A band under each pair of lamps, across the road and into the pavements,
// holds both pools.
constexpr float kBandHalfWidth = kPoolX + kPoolRadius;

// The light of a pool at (u, v) from its centre, in radii: warm, brightest
// under the lamp and fading to nothing well inside the circle, so its edge
// never shows.
Rgba poolLight(float u, float v) {
    float d2 = std::min(1.0f, (u * u + v * v) / 0.95f);
    float k = (1 - d2) * (1 - d2) * (0.35f + 0.65f * (1 - d2));
    return {0.62f * k, 0.46f * k, 0.24f * k, 1};
}

// The ground under the lamps carries their light as a second picture, added
// after the ground is lit: far cheaper to draw than pools laid over the ground
// (under a software renderer, a second pass over the same pixels costs more
// than a second texture in one). One picture serves every band: u runs across
// the band from -kBandHalfWidth to kBandHalfWidth, v from its far edge (+Z)
// to its near one.
void writeLampBandTexture(const std::string& outDir) {
    Picture pic(256, 128);
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            float bx = kBandHalfWidth * ((float(x) + 0.5f) / 128.0f - 1.0f);
            float v = (float(y) + 0.5f) / 64.0f - 1.0f;
            Rgba sum{0, 0, 0, 1};
            for (float side : {-1.0f, 1.0f}) {
                Rgba c = poolLight((bx - side * kPoolX) / kPoolRadius, v);
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, 1};
            }
            pic.at(x, y) = sum;
        }
    pic.save(outDir + "/lamp_band.dds");
}

// One rectangle of ground, tiled as `tile` gives for a point; in a lamp band
// (bandZ its middle), the band's light on the second coordinates.
template <class Tile>
void groundRect(MeshBuilder& m, float x0, float x1, float z0, float z1, Tile tile,
                const float* bandZ) {
    auto at = [&](float x, float z) {
        Vector2 light = Vector2::ZERO;
        if (bandZ)
            light = {0.5f + 0.5f * x / kBandHalfWidth, 0.5f - 0.5f * (z - *bandZ) / kPoolRadius};
        return m.vertex({x, 0, z}, Vector3::UNIT_Y, tile(x, z), light);
    };
    uint32_t a = at(x0, z0), b = at(x1, z0), c = at(x1, z1), d = at(x0, z1);
    m.triangle(a, b, c);
    m.triangle(a, c, d);
}

void writeGround(const std::string& outDir) {
    const float half = 2000, road = 300;
    // The road's texture spans its width once and repeats every 400 along it;
    // the pavement tiles repeat every 100, from the kerb outwards.
    auto roadTile = [&](float x, float z) {
        return Vector2((x + road) / (2 * road), (z + half) / 400);
    };
    auto pavementTile = [&](float x, float z) {
        return Vector2((std::fabs(x) - road) / 100, (z + half) / 100);
    };
    MeshBuilder m;
    // Along the street, from z to z1: ground, or a lamp band (its middle at
    // *band) as far as the light reaches across the street.
    float z = -half;
    auto span = [&](float z1, const float* band) {
        const std::string lit = band ? "UnderLamps" : "";
        m.material("Nightbite/Street/Road" + lit);
        groundRect(m, -road, road, z, z1, roadTile, band);
        for (float side : {-1.0f, 1.0f}) {
            m.material("Nightbite/Street/Pavement" + lit);
            groundRect(m, side * road, side * kBandHalfWidth, z, z1, pavementTile, band);
            m.material("Nightbite/Street/Pavement");
            groundRect(m, side * kBandHalfWidth, side * half, z, z1, pavementTile, nullptr);
        }
        z = z1;
    };
    for (const float& row : kLampRows) {
        span(row - kPoolRadius, nullptr);
        span(row + kPoolRadius, &row);
    }
    span(half, nullptr);
    m.write(outDir, "ground.mesh");
}

void writeHouse(const std::string& outDir, const char* facade, const char* name) {
    const float hx = 500, hz = 300, h = 900;
    MeshBuilder m;
    // Front and back carry the facade picture (u left to right, v top down).
    m.material(facade);
    m.quad({-hx, h, hz}, {hx, h, hz}, {hx, 0, hz}, {-hx, 0, hz}, Vector3::UNIT_Z);
    m.quad({hx, h, -hz}, {-hx, h, -hz}, {-hx, 0, -hz}, {hx, 0, -hz}, Vector3::NEGATIVE_UNIT_Z);
    m.material("Nightbite/Street/Wall");
    m.quad({hx, h, hz}, {hx, h, -hz}, {hx, 0, -hz}, {hx, 0, hz}, Vector3::UNIT_X);
    m.quad({-hx, h, -hz}, {-hx, h, hz}, {-hx, 0, hz}, {-hx, 0, -hz}, Vector3::NEGATIVE_UNIT_X);
    // A flat roof under a cornice that overhangs a little.
    m.material("Nightbite/Street/Roof");
    m.box({-hx - 15, h, -hz - 15}, {hx + 15, h + 30, hz + 15});
    m.write(outDir, name);
}

void writeLamp(const std::string& outDir) {
    MeshBuilder m;
    m.material("Nightbite/Street/LampPost");
    m.tube({0, 0, 0}, {0, 25, 0}, 16, 12, 8);
    m.tube({0, 25, 0}, {0, 500, 0}, 7, 5, 8);
    m.tube({0, 491, 0}, {0, 516, 140}, 4, 4, 6);
    m.uprightBlock({0, 492, 140}, {0, 515, 140}, 22, 30, 12, 18);
    m.material("Nightbite/Street/LampLight");
    m.box({-16, 486, 118}, {16, 492, 162});
    m.write(outDir, "lamp.mesh");
}

// A sixteen-sided disc rather than the square of its picture: the light fades
// to nothing well inside the circle, so the corners only cost the added
// drawing of black. Four of its sides lie on the square's, which keeps the
// mesh's box 560 by 560; the texture keeps the square's mapping.
void writeLampPool(const std::string& outDir) {
    const float r = 280;
    const int sides = 16;
    const float corner = r / std::cos(Ogre::Math::PI / sides);
    MeshBuilder m;
    m.material("Nightbite/Street/LampPool");
    // Corners that round to just off the square's sides are put on them.
    auto snap = [&](float v) {
        return std::fabs(std::fabs(v) - r) < 1e-3f ? std::copysign(r, v) : v;
    };
    auto at = [&](float x, float z) {
        x = snap(x);
        z = snap(z);
        return m.vertex({x, 0, z}, Vector3::UNIT_Y, {0.5f + 0.5f * x / r, 0.5f - 0.5f * z / r});
    };
    const uint32_t centre = at(0, 0);
    for (int i = 0; i < sides; ++i) {
        const float a = Ogre::Math::TWO_PI * (float(i) + 0.5f) / float(sides);
        at(corner * std::cos(a), corner * std::sin(a));
    }
    for (int i = 0; i < sides; ++i)
        m.triangle(centre, centre + 1 + uint32_t(i), centre + 1 + uint32_t((i + 1) % sides));
    m.write(outDir, "lamp_pool.mesh");
}

// A single pool's light, for a lamp placed by a script (the nest's light).
void writeLampPoolTexture(const std::string& outDir) {
    Picture pic(128, 128);
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            pic.at(x, y) =
                poolLight((float(x) + 0.5f) / 64.0f - 1.0f, (float(y) + 0.5f) / 64.0f - 1.0f);
    pic.save(outDir + "/lamp_pool.dds");
}

// Asphalt with white edge lines and a dashed centre line; u across the road.
void writeRoadTexture(const std::string& outDir) {
    Picture pic(128, 256);
    media::Random noise(7);
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            float g = 0.30f + 0.08f * noise.next();
            float u = (float(x) + 0.5f) / float(pic.width());
            bool edge = std::fabs(u - 0.05f) < 0.022f || std::fabs(u - 0.95f) < 0.022f;
            bool centre = std::fabs(u - 0.5f) < 0.018f && y < pic.height() / 2;
            if (edge || centre)
                g = 0.85f;
            pic.at(x, y) = {g, g, g * 1.03f, 1};
        }
    pic.save(outDir + "/street_road.dds");
}

// Square paving slabs, two by two per texture, with dark joints.
void writePavementTexture(const std::string& outDir) {
    Picture pic(128, 128);
    media::Random noise(11);
    float slab[4];
    for (float& s : slab)
        s = 0.62f + 0.08f * noise.next();
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            bool joint = x % 64 < 2 || y % 64 < 2;
            float g = joint ? 0.35f : slab[(y / 64) * 2 + x / 64] + 0.05f * noise.next();
            pic.at(x, y) = {g, g * 0.97f, g * 0.92f, 1};
        }
    pic.save(outDir + "/street_pavement.dds");
}

void fillRect(Picture& pic, int x0, int y0, int x1, int y1, Rgba c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            pic.blend(x, y, c, 1);
}

// Plaster with three rows of windows, a door in the middle of the ground
// floor and a band between the floors.
void writeFacadeTexture(const std::string& outDir) {
    Picture pic(256, 256, {0.86f, 0.78f, 0.62f, 1});
    media::Random noise(5);
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            float k = 0.96f + 0.06f * noise.next();
            Rgba& p = pic.at(x, y);
            p = {p.r * k, p.g * k, p.b * k, 1};
        }
    const Rgba frame{0.95f, 0.95f, 0.92f, 1}, glass{0.22f, 0.3f, 0.42f, 1};
    const Rgba band{0.7f, 0.62f, 0.5f, 1}, door{0.35f, 0.22f, 0.14f, 1};
    const int floorHeight = 256 / 3;
    for (int f = 0; f < 3; ++f) {
        int top = f * floorHeight;
        fillRect(pic, 0, top + floorHeight - 5, 256, top + floorHeight, band);
        for (int w = 0; w < 4; ++w) {
            int cx = 32 + w * 64;
            if (f == 2 && (w == 1 || w == 2))
                continue; // the door's place
            fillRect(pic, cx - 14, top + 18, cx + 14, top + 64, frame);
            fillRect(pic, cx - 11, top + 21, cx + 11, top + 61, glass);
            fillRect(pic, cx - 11, top + 39, cx + 11, top + 42, frame);
        }
    }
    int top = 2 * floorHeight;
    fillRect(pic, 104, top + 22, 152, 256, frame);
    fillRect(pic, 108, top + 26, 148, 256, door);
    pic.save(outDir + "/house_facade.dds");
}

// The light of the windows at night, added over the facade: black, but for
// the lit windows, which glow warm, brighter at their middle. Each variant
// lights its own choice of windows.
void writeFacadeLights(const std::string& outDir, uint32_t seed, const char* file) {
    Picture pic(256, 256, {0, 0, 0, 1});
    media::Random pick(seed);
    const int floorHeight = 256 / 3;
    for (int f = 0; f < 3; ++f) {
        int top = f * floorHeight;
        for (int w = 0; w < 4; ++w) {
            if (f == 2 && (w == 1 || w == 2))
                continue; // the door
            if (pick.next() > 0.45f)
                continue;
            int cx = 32 + w * 64;
            float warmth = 0.8f + 0.2f * pick.next();
            for (int y = top + 21; y < top + 61; ++y)
                for (int x = cx - 11; x < cx + 11; ++x) {
                    if (y >= top + 39 && y < top + 42)
                        continue; // the transom bar stays dark
                    float dx = float(x - cx) / 11.0f, dy = float(y - top - 41) / 20.0f;
                    float k = warmth * (0.75f + 0.25f * (1 - std::min(1.0f, dx * dx + dy * dy)));
                    pic.at(x, y) = {0.85f * k, 0.6f * k, 0.3f * k, 1};
                }
        }
    }
    pic.save(outDir + "/" + file);
}

// A tall block seen from afar: every side carries rows of windows, the
// picture repeating once per three floors (300 high) and per 500 across.
void writeTower(const std::string& outDir) {
    const float hx = 500, hz = 300, h = 1900;
    const Vector2 repeat{2 * hx / 500, h / 300}, side{2 * hz / 500, h / 300};
    MeshBuilder m;
    m.material("Nightbite/Street/Tower");
    m.quad({-hx, h, hz}, {hx, h, hz}, {hx, 0, hz}, {-hx, 0, hz}, Vector3::UNIT_Z, false, repeat);
    m.quad({hx, h, -hz}, {-hx, h, -hz}, {-hx, 0, -hz}, {hx, 0, -hz}, Vector3::NEGATIVE_UNIT_Z,
           false, repeat);
    m.quad({hx, h, hz}, {hx, h, -hz}, {hx, 0, -hz}, {hx, 0, hz}, Vector3::UNIT_X, false, side);
    m.quad({-hx, h, -hz}, {-hx, h, hz}, {-hx, 0, hz}, {-hx, 0, -hz}, Vector3::NEGATIVE_UNIT_X,
           false, side);
    m.material("Nightbite/Street/Roof");
    m.quad({-hx, h, -hz}, {hx, h, -hz}, {hx, h, hz}, {-hx, h, hz}, Vector3::UNIT_Y);
    m.write(outDir, "tower.mesh");
}

// The blocks' walls as the night shows them, lit beforehand (the blocks are
// drawn unlit, with one picture, since they fill much of the screen): three
// floors of four plain windows, no door, made to repeat, a window lit here
// and there.
void writeTowerTexture(const std::string& outDir) {
    Picture wall(128, 128, {0.11f, 0.11f, 0.14f, 1});
    media::Random pick(97);
    for (int f = 0; f < 3; ++f)
        for (int w = 0; w < 4; ++w) {
            const int x0 = 6 + w * 32, y0 = 10 + f * 43;
            fillRect(wall, x0, y0, x0 + 20, y0 + 26, {0.03f, 0.04f, 0.07f, 1});
            if (pick.next() < 0.22f) {
                const float k = 0.7f + 0.3f * pick.next();
                fillRect(wall, x0 + 1, y0 + 1, x0 + 19, y0 + 25,
                         {0.8f * k, 0.55f * k, 0.28f * k, 1});
            }
        }
    wall.save(outDir + "/tower_night.dds");
}

void writeStreet(const std::string& outDir) {
    writeRoadTexture(outDir);
    writePavementTexture(outDir);
    writeFacadeTexture(outDir);
    writeFacadeLights(outDir, 23, "house_lights.dds");
    writeFacadeLights(outDir, 61, "house_lights_b.dds");
    writeLampPoolTexture(outDir);
    writeLampBandTexture(outDir);
    writeGround(outDir);
    writeHouse(outDir, "Nightbite/Street/Facade", "house.mesh");
    writeHouse(outDir, "Nightbite/Street/FacadeB", "house_b.mesh");
    writeLamp(outDir);
    writeLampPool(outDir);
    writeTowerTexture(outDir);
    writeTower(outDir);
}

MediaGenerator street("street", writeStreet);

} // namespace
