// The player's mosquito, in four bodies that differ by how much blood the
// abdomen holds: "komar_nic" (empty, slender), "komar_motor", "komar_nadrze"
// and "komar_full" (swollen and red). All four share "komar.skeleton" with
// the looping wing beat "let" and the landing pose "sedi".
//
// Model space: the insect faces +Z with Y up, its left side on +X, and its
// feet stand on y = 0, so a landed insect (position y 0) stands on the ground.
// About 53 units from the proboscis tip to the end of the abdomen (60 when
// full); the game shows it at 0.4 of that. Coordinates below are drawn at a
// smaller scale and enlarged by kUnit on output.
#include "media.h"
#include "mesh_builder.h"
#include "picture.h"

#include <cmath>

namespace {

using media::MeshBuilder;
using media::SkeletonBuilder;
using Ogre::Vector3;

const char* const kSkeleton = "komar.skeleton";
const float kUnit = 1.12f;

const Vector3 kThorax(0, 11, 3);
const Vector3 kNeck(0, 11.6f, 8);
const Vector3 kWaist(0, 10.8f, -1.5f);
// The left wing hinges a little higher so that the folded wings do not cut
// through each other.
const Vector3 kWingL(1.3f, 14.8f, 4.2f);
const Vector3 kWingR(-1.3f, 14.6f, 4.2f);
const float kWingSpan = 22;

struct Leg {
    const char* name;
    Vector3 coxa, knee, ankle, tip; // left side; the right legs mirror them
};
const Leg kLegs[3] = {
    {"1", {1.2f, 8.8f, 5.5f}, {6, 13.5f, 11}, {10.5f, 5, 16.5f}, {13, 0, 20}},
    {"2", {1.5f, 8.4f, 3.3f}, {8.5f, 14, 4.5f}, {14.5f, 4.5f, 3}, {17.5f, 0, 2}},
    // The hind legs rest raised behind, as a resting mosquito holds them.
    {"3", {1.2f, 8.8f, 1}, {6.5f, 14.5f, -4.5f}, {10, 3.5f, -12}, {11.5f, 10, -20}},
};

struct Variant {
    const char* mesh;
    float width, height, halfLength; // of the abdomen
    const char* material;
};
const Variant kVariants[4] = {
    {"komar_nic.mesh", 2.3f, 2.1f, 10, "Nightbite/Mosquito/Abdomen"},
    {"komar_motor.mesh", 3.3f, 3.2f, 10.8f, "Nightbite/Mosquito/BloodLight"},
    {"komar_nadrze.mesh", 4.6f, 4.5f, 11.8f, "Nightbite/Mosquito/Blood"},
    {"komar_full.mesh", 6.2f, 6.0f, 13, "Nightbite/Mosquito/BloodFull"},
};

Vector3 mirrored(const Vector3& v) {
    return {-v.x, v.y, v.z};
}
float sq(float x) {
    return x * x;
}

void buildSkeleton(SkeletonBuilder& s) {
    s.bone("root", "", Vector3::ZERO);
    s.bone("body", "root", kThorax);
    s.bone("head", "body", kNeck);
    s.bone("abdomen", "body", kWaist);
    s.bone("wing_l", "body", kWingL);
    s.bone("wing_r", "body", kWingR);
    for (const Leg& leg : kLegs) {
        s.bone(std::string("leg_l") + leg.name, "body", leg.coxa);
        s.bone(std::string("leg_r") + leg.name, "body", mirrored(leg.coxa));
    }
}

// "let": one wing beat per second of animation; the game plays it 20 times
// faster than thrust, about ten beats a second while hovering. The legs
// hang down and back in flight.
void buildFlight(SkeletonBuilder& s) {
    using media::rotX;
    using media::rotZ;
    Ogre::Animation* let = s.animation("let", 1.0f);
    const float times[5] = {0, 0.25f, 0.5f, 0.75f, 1.0f};
    const float lift[5] = {55, 10, -35, 10, 55};
    const float twist[5] = {0, -10, 0, 10, 0}; // leading edge down on the down stroke
    for (int k = 0; k < 5; ++k) {
        s.key(let, "wing_l", times[k], rotZ(lift[k]) * rotX(twist[k]));
        s.key(let, "wing_r", times[k], rotZ(-lift[k]) * rotX(twist[k]));
        s.key(let, "body", times[k], Ogre::Quaternion::IDENTITY,
              Vector3(0, k % 2 ? 0.0f : 0.3f, 0));
    }
    const float trail[3] = {10, 25, 30};
    for (int i = 0; i < 3; ++i) {
        std::string n = kLegs[i].name;
        for (float t : {0.0f, 1.0f}) {
            s.key(let, "leg_l" + n, t, rotX(trail[i]) * rotZ(-22));
            s.key(let, "leg_r" + n, t, rotX(trail[i]) * rotZ(22));
        }
    }
}

// "sedi": the wings swing back and lie over the abdomen. The game advances it
// once by 0.2 s and never rewinds it, so the pose is complete at 0.2 s and
// holds there on every later landing.
void buildSitting(SkeletonBuilder& s) {
    using media::rotY;
    using media::rotZ;
    Ogre::Animation* sedi = s.animation("sedi", 0.2f);
    s.key(sedi, "wing_l", 0, Ogre::Quaternion::IDENTITY);
    s.key(sedi, "wing_l", 0.2f, rotY(80) * rotZ(9));
    s.key(sedi, "wing_r", 0, Ogre::Quaternion::IDENTITY);
    s.key(sedi, "wing_r", 0.2f, rotY(-80) * rotZ(-5));
}

void buildBody(MeshBuilder& m, const SkeletonBuilder& s, const Variant& v) {
    m.material("Nightbite/Mosquito/Body");
    m.bone(s.handle("body"));
    // A hunched thorax, its front raised.
    Vector3 fwd = Vector3(0, 0.17f, 1).normalisedCopy(),
            up = Vector3(0, 1, -0.17f).normalisedCopy();
    m.ellipsoid(kThorax, {3.4f, 0, 0}, up * 4.0f, fwd * 5.4f, 12, 8);

    m.bone(s.handle("head"));
    m.ellipsoid({0, 11.7f, 10.4f}, {2.4f, 0, 0}, {0, 2.5f, 0}, {0, 0, 2.3f}, 10, 6);
    m.material("Nightbite/Mosquito/Eye");
    m.sphere({1.45f, 12.1f, 10.9f}, 1.75f, 8, 6);
    m.sphere({-1.45f, 12.1f, 10.9f}, 1.75f, 8, 6);
    m.material("Nightbite/Mosquito/Leg");
    m.tube({0, 10.6f, 12.2f}, {0, 8.2f, 27}, 0.45f, 0.12f, 6, false);
    for (float side : {1.0f, -1.0f}) {
        m.tube({0.5f * side, 10.9f, 12.3f}, {0.8f * side, 10.1f, 16.5f}, 0.3f, 0.2f, 5);
        m.tube({0.7f * side, 13.4f, 12.1f}, {2.6f * side, 17.5f, 18}, 0.22f, 0.07f, 4);
    }

    m.material(v.material);
    m.bone(s.handle("abdomen"));
    // Slightly drooping towards the tail; its front end sits inside the thorax.
    Vector3 back = Vector3(0, -0.1f, -1).normalisedCopy();
    Vector3 top = Vector3::UNIT_Y - back * back.y;
    top.normalise();
    m.ellipsoid(kWaist + back * (v.halfLength - 1), {v.width, 0, 0}, top * v.height,
                back * v.halfLength, 12, 12);

    m.material("Nightbite/Mosquito/Leg");
    for (const Leg& leg : kLegs) {
        for (int side = 0; side < 2; ++side) {
            auto at = [&](const Vector3& p) { return side ? mirrored(p) : p; };
            m.bone(s.handle(std::string(side ? "leg_r" : "leg_l") + leg.name));
            m.tube(at(leg.coxa), at(leg.knee), 0.6f, 0.5f, 5, false);
            m.sphere(at(leg.knee), 0.55f, 5, 3);
            m.tube(at(leg.knee), at(leg.ankle), 0.45f, 0.35f, 5, false);
            m.tube(at(leg.ankle), at(leg.tip), 0.3f, 0.15f, 4, false);
        }
    }

    // Each wing is one quad; its texture draws the outline and the veins.
    m.material("Nightbite/Mosquito/Wing");
    for (int side = 0; side < 2; ++side) {
        Vector3 hinge = side ? kWingR : kWingL;
        float x = side ? -1.0f : 1.0f;
        m.bone(s.handle(side ? "wing_r" : "wing_l"));
        m.quad(hinge + Vector3(0.3f * x, 0, 2.6f), hinge + Vector3(kWingSpan * x, 0, 0.5f),
               hinge + Vector3(kWingSpan * x, 0, -7.5f), hinge + Vector3(0.3f * x, 0, -2.6f),
               Vector3::UNIT_Y, true);
    }
}

// The wing: a long narrow blade, pale and see-through, with dark veins and a
// fringe along the trailing edge. u runs from the hinge to the tip, v from
// the leading edge to the trailing edge.
void writeWingTexture(const std::string& outDir) {
    media::Picture pic(256, 64);
    const media::Rgba membrane{0.88f, 0.90f, 0.93f, 0.42f};
    const media::Rgba vein{0.25f, 0.22f, 0.20f, 0.85f};
    const media::Rgba fringe{0.45f, 0.42f, 0.38f, 0.55f};
    for (int y = 0; y < pic.height(); ++y) {
        for (int x = 0; x < pic.width(); ++x) {
            float u = (float(x) + 0.5f) / float(pic.width());
            float v = (float(y) + 0.5f) / float(pic.height());
            // Narrow at the hinge, widest two thirds out, a rounded tip.
            float w = u < 0.62f ? 0.07f + 0.39f * std::sin(0.5f * Ogre::Math::PI * u / 0.62f)
                                : 0.46f * std::sqrt(std::max(0.0f, 1 - sq((u - 0.62f) / 0.38f)));
            float lead = 0.5f - 0.8f * w, trail = 0.5f + w;
            float px = float(pic.height()); // pixels per unit of v
            float inside = std::min(v - lead, trail - v) * px;
            if (inside < -1)
                continue;
            pic.blend(x, y, membrane, std::clamp(inside + 0.5f, 0.0f, 1.0f));
            for (float f : {0.0f, 0.18f, 0.38f, 0.58f, 0.78f}) {
                float line = lead + f * (trail - lead);
                float d = std::fabs(v - line) * px;
                pic.blend(x, y, vein, std::clamp((f == 0 ? 1.6f : 1.0f) - d, 0.0f, 1.0f));
            }
            float edge = std::fabs(v - trail) * px;
            pic.blend(x, y, fringe, std::clamp(2.0f - edge, 0.0f, 1.0f));
        }
    }
    pic.save(outDir + "/mosquito_wing.dds");
}

// Pale rings between dark scales, for the abdomen and the legs (tiled along
// v); the faint version for a blood-filled abdomen, its skin stretched thin.
void writeBandTextures(const std::string& outDir) {
    for (bool faint : {false, true}) {
        media::Picture pic(16, 128);
        for (int y = 0; y < pic.height(); ++y) {
            float phase = float(y % 16) / 16.0f;
            float light = std::clamp(std::min(phase, 1.0f - phase) * 8.0f - 0.6f, 0.0f, 1.0f);
            float g = faint ? 0.72f + 0.28f * light : 0.42f + 0.5f * light;
            for (int x = 0; x < pic.width(); ++x)
                pic.at(x, y) = {g, g * 0.97f, g * 0.92f, 1};
        }
        pic.save(outDir + (faint ? "/mosquito_bands_faint.dds" : "/mosquito_bands.dds"));
    }
}

void writeInsects(const std::string& outDir) {
    writeWingTexture(outDir);
    writeBandTextures(outDir);
    SkeletonBuilder skeleton(kSkeleton, kUnit);
    buildSkeleton(skeleton);
    buildFlight(skeleton);
    buildSitting(skeleton);
    skeleton.write(outDir);
    for (const Variant& v : kVariants) {
        MeshBuilder mesh(kUnit);
        buildBody(mesh, skeleton, v);
        mesh.write(outDir, v.mesh, &skeleton);
    }
}

MediaGenerator insects("insects", writeInsects);

} // namespace
