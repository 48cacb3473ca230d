// The people who walk the street: "man.mesh" and "woman.mesh", each with its
// own skeleton and the animations "step" (a walking cycle), "slap" (the right
// hand swats the neck) and "aftersuck" (the left hand scratches the bite).
//
// Model space: a person faces -Z (the game turns a walking person so that its
// local +Z points against the walking direction), Y up, its right hand on +X.
// The game scales a person's node by 18 (15 for a small one) and keeps the
// node 115 above the feet, so the soles lie at y = -115/18 and a person about
// 10 units tall stands about 180 tall in the street. The small people,
// "man_small.mesh" and "woman_small.mesh", are the same bodies with their
// soles at -115/15, so that at the small scale their feet, too, are on the
// ground.
#include "media.h"
#include "mesh_builder.h"

#include <cmath>

namespace {

using media::MeshBuilder;
using media::rotX;
using media::rotZ;
using media::SkeletonBuilder;
using Ogre::Quaternion;
using Ogre::Vector3;

struct Person {
    const char* mesh;
    const char* skeleton;
    float scale; // the game's scale for this body
    float height;
    float shoulder, hip; // half widths
    bool skirt, longHair;
    const char* top;
    const char* legs;
    const char* shoes;
    const char* hair;
};

const Person kPeople[] = {
    {"man.mesh", "man.skeleton", 18, 10.0f, 1.05f, 0.8f, false, false, "Nightbite/Man/Shirt",
     "Nightbite/Man/Trousers", "Nightbite/Man/Shoes", "Nightbite/Person/Hair/Dark"},
    {"woman.mesh", "woman.skeleton", 18, 9.7f, 0.9f, 0.85f, true, true, "Nightbite/Woman/Dress",
     "Nightbite/Person/Skin", "Nightbite/Woman/Shoes", "Nightbite/Person/Hair/Blond"},
    {"man_small.mesh", "man_small.skeleton", 15, 10.0f, 1.05f, 0.8f, false, false,
     "Nightbite/Man/Shirt", "Nightbite/Man/Trousers", "Nightbite/Man/Shoes",
     "Nightbite/Person/Hair/Dark"},
    {"woman_small.mesh", "woman_small.skeleton", 15, 9.7f, 0.9f, 0.85f, true, true,
     "Nightbite/Woman/Dress", "Nightbite/Person/Skin", "Nightbite/Woman/Shoes",
     "Nightbite/Person/Hair/Blond"},
};

// Heights along the body as fractions of the full height, from the soles.
struct Frame {
    float h;
    float sole;
    explicit Frame(const Person& p) : h(p.height), sole(-115.0f / p.scale) {}
    float at(float fraction) const { return sole + fraction * h; }
};

// Joint positions of one person in the binding pose (arms hanging down).
struct Joints {
    Vector3 pelvis, spine, neck, shoulder[2], elbow[2], wrist[2], hip[2], knee[2], ankle[2];
    float handLength;
};

// Side index 0 is the person's left (-X), 1 the right (+X).
float sideSign(int side) {
    return side ? 1.0f : -1.0f;
}

Joints jointsOf(const Person& p) {
    Frame f(p);
    Joints j;
    j.pelvis = {0, f.at(0.53f), 0};
    j.spine = {0, f.at(0.60f), 0};
    j.neck = {0, f.at(0.835f), 0};
    for (int s = 0; s < 2; ++s) {
        float x = sideSign(s);
        j.shoulder[s] = {x * (p.shoulder + 0.1f), f.at(0.80f), 0};
        j.elbow[s] = {x * (p.shoulder + 0.18f), f.at(0.62f), 0};
        j.wrist[s] = {x * (p.shoulder + 0.22f), f.at(0.46f), 0};
        j.hip[s] = {x * (p.hip * 0.55f), f.at(0.53f), 0};
        j.knee[s] = {x * (p.hip * 0.5f), f.at(0.285f), 0};
        j.ankle[s] = {x * (p.hip * 0.5f), f.at(0.045f), 0};
    }
    j.handLength = 0.06f * p.height;
    return j;
}

const char* const kLimbNames[2] = {"_l", "_r"};

void buildSkeleton(SkeletonBuilder& s, const Joints& j) {
    s.bone("root", "", Vector3::ZERO);
    s.bone("pelvis", "root", j.pelvis);
    s.bone("spine", "pelvis", j.spine);
    s.bone("head", "spine", j.neck);
    for (int side = 0; side < 2; ++side) {
        std::string n = kLimbNames[side];
        s.bone("arm" + n, "spine", j.shoulder[side]);
        s.bone("forearm" + n, "arm" + n, j.elbow[side]);
        // Hands and feet are not animated: their bones mark where they are.
        s.bone("hand" + n, "forearm" + n, j.wrist[side] - Vector3(0, 0.5f * j.handLength, 0));
        s.bone("thigh" + n, "pelvis", j.hip[side]);
        s.bone("shin" + n, "thigh" + n, j.knee[side]);
        s.bone("foot" + n, "shin" + n, j.ankle[side]);
    }
}

// A limb block hanging from `top` to `bottom`, a little longer at both ends
// so that bent joints do not open a gap.
void limb(MeshBuilder& m, const Vector3& top, const Vector3& bottom, float topHalf,
          float bottomHalf, float depthScale = 1) {
    Vector3 axis = (bottom - top).normalisedCopy();
    m.uprightBlock(bottom + axis * 0.08f, top - axis * 0.1f, bottomHalf, bottomHalf * depthScale,
                   topHalf, topHalf * depthScale);
}

void buildBody(MeshBuilder& m, const SkeletonBuilder& s, const Person& p, const Joints& j) {
    Frame f(p);
    // Legs, with the shoes on the shins.
    for (int side = 0; side < 2; ++side) {
        std::string n = kLimbNames[side];
        m.material(p.skirt ? "Nightbite/Person/Skin" : p.legs);
        m.bone(s.handle("thigh" + n));
        limb(m, j.hip[side], j.knee[side], 0.36f, 0.26f);
        m.bone(s.handle("shin" + n));
        m.material(p.legs);
        limb(m, j.knee[side], j.ankle[side], 0.26f, 0.18f);
        m.material(p.shoes);
        m.bone(s.handle("foot" + n));
        float x = j.ankle[side].x;
        m.box({x - 0.21f, f.sole, -0.95f}, {x + 0.21f, j.ankle[side].y + 0.1f, 0.3f});
    }

    // Hips and trunk.
    m.bone(s.handle("pelvis"));
    m.material(p.skirt ? p.top : p.legs);
    m.uprightBlock({0, f.at(0.49f), 0}, {0, f.at(0.61f), 0}, p.hip, 0.5f, p.hip * 0.95f, 0.5f);
    if (p.skirt) {
        // Flared to just above the knees; it moves with the hips, not the legs.
        m.uprightBlock({0, f.at(0.33f), 0}, {0, f.at(0.60f), 0}, p.hip + 0.35f, 0.85f,
                       p.hip * 0.95f, 0.52f);
    }
    m.bone(s.handle("spine"));
    m.material(p.top);
    m.uprightBlock({0, f.at(0.60f), 0}, {0, f.at(0.83f), 0}, p.hip * 0.92f, 0.48f, p.shoulder,
                   0.55f);

    // Arms, the hands bare.
    for (int side = 0; side < 2; ++side) {
        std::string n = kLimbNames[side];
        m.material(p.top);
        m.bone(s.handle("arm" + n));
        limb(m, j.shoulder[side], j.elbow[side], 0.23f, 0.19f);
        m.bone(s.handle("forearm" + n));
        m.material(p.skirt ? "Nightbite/Person/Skin" : p.top);
        limb(m, j.elbow[side], j.wrist[side], 0.18f, 0.15f);
        m.material("Nightbite/Person/Skin");
        m.bone(s.handle("hand" + n));
        Vector3 w = j.wrist[side];
        m.uprightBlock(w - Vector3(0, j.handLength, 0), w, 0.1f, 0.2f, 0.12f, 0.22f);
    }

    // Neck and head; the face looks along -Z.
    m.bone(s.handle("head"));
    m.material("Nightbite/Person/Skin");
    m.tube({0, f.at(0.80f), 0}, {0, f.at(0.885f), 0}, 0.3f, 0.27f, 6, false);
    Vector3 head(0, f.at(0.93f), -0.05f);
    m.ellipsoid(head, {0.56f, 0, 0}, {0, 0, 0.64f}, {0, 0.72f, 0}, 8, 5);
    m.material("Nightbite/Person/Eye");
    for (float x : {-0.22f, 0.22f}) {
        Vector3 e = head + Vector3(x, 0.08f, -0.6f);
        m.quad(e + Vector3(-0.08f, -0.05f, 0), e + Vector3(0.08f, -0.05f, 0),
               e + Vector3(0.08f, 0.06f, 0), e + Vector3(-0.08f, 0.06f, 0),
               Vector3::NEGATIVE_UNIT_Z);
    }
    // Hair: a cap set up and back on the head, so the face stays free.
    m.material(p.hair);
    m.ellipsoid(head + Vector3(0, 0.16f, 0.1f), {0.6f, 0, 0}, {0, 0, 0.64f}, {0, 0.66f, 0}, 8, 4);
    if (p.longHair)
        m.uprightBlock(head + Vector3(0, -1.15f, 0.42f), head + Vector3(0, 0.2f, 0.42f), 0.55f,
                       0.16f, 0.6f, 0.22f);
}

// Model-space turn that makes a limb hanging straight down point along dir.
Quaternion aim(const Vector3& dir) {
    return Vector3::NEGATIVE_UNIT_Y.getRotationTo(dir.normalisedCopy());
}

// Upper and lower arm turns that bring the hand to `target`, the elbow bent
// towards `pole`: an exact two-bone solution (clamped to the arm's reach).
std::pair<Quaternion, Quaternion> reach(const Joints& j, int side, const Vector3& target,
                                        const Vector3& pole) {
    Vector3 s = j.shoulder[side];
    float upper = (j.elbow[side] - s).length();
    float lower = (j.wrist[side] - j.elbow[side]).length() + 0.5f * j.handLength;
    Vector3 d = target - s;
    float dist = std::min(d.normalise(), upper + lower - 1e-3f);
    float cosA =
        std::clamp((upper * upper + dist * dist - lower * lower) / (2 * upper * dist), -1.0f, 1.0f);
    Vector3 bendDir = (pole - d * pole.dotProduct(d)).normalisedCopy();
    Vector3 elbow = s + d * (upper * cosA) + bendDir * (upper * std::sqrt(1 - cosA * cosA));
    Quaternion u = aim(elbow - s), l = aim(s + d * dist - elbow);
    // The lower arm's key is given relative to the upper arm it hangs from.
    return {u, u.Inverse() * l};
}

// "step": one stride of each leg per second of animation; the game plays it
// at 0.01 x walking speed, so a stroll of 100 units/s takes a second a cycle.
void buildStep(SkeletonBuilder& s) {
    Ogre::Animation* a = s.animation("step", 1.0f);
    const float t[5] = {0, 0.25f, 0.5f, 0.75f, 1.0f};
    const float thigh[5] = {25, 0, -25, 0, 25}; // right leg; + swings the foot forward
    const float knee[5] = {-5, -12, -18, -55, -5};
    const float bob[5] = {0, 0.12f, 0, 0.12f, 0};
    for (int k = 0; k < 5; ++k) {
        int h = (k + 2) % 4; // the left leg runs half a cycle behind
        s.key(a, "thigh_r", t[k], rotX(thigh[k]));
        s.key(a, "thigh_l", t[k], rotX(thigh[h]));
        s.key(a, "shin_r", t[k], rotX(knee[k]));
        s.key(a, "shin_l", t[k], rotX(knee[h]));
        s.key(a, "arm_r", t[k], rotX(-0.8f * thigh[k]));
        s.key(a, "arm_l", t[k], rotX(-0.8f * thigh[h]));
        s.key(a, "forearm_r", t[k], rotX(15 + 0.3f * std::max(0.0f, -thigh[k])));
        s.key(a, "forearm_l", t[k], rotX(15 + 0.3f * std::max(0.0f, -thigh[h])));
        // The hips turn with the forward leg, the shoulders against it.
        s.key(a, "pelvis", t[k], media::rotY(0.2f * thigh[k]), Vector3(0, bob[k], 0));
        s.key(a, "spine", t[k], media::rotY(-0.35f * thigh[k]));
    }
}

// "slap": the right hand swings up and out, then down onto the neck, holds
// and returns. The game plays it at 0.4 s per second, looping.
void buildSlap(SkeletonBuilder& s, const Joints& j, const Person& p) {
    Ogre::Animation* a = s.animation("slap", 1.0f);
    Frame f(p);
    Vector3 neck(0.34f, f.at(0.86f), 0.2f);
    auto raised = reach(j, 1, {j.shoulder[1].x + 0.7f, f.at(0.98f), -0.4f}, {1, -0.3f, 0.2f});
    auto hit = reach(j, 1, neck, {0.6f, -0.3f, -0.8f});
    const Quaternion id = Quaternion::IDENTITY;
    const std::pair<float, std::pair<Quaternion, Quaternion>> keys[] = {
        {0, {id, id}}, {0.3f, raised}, {0.42f, hit}, {0.65f, hit}, {1, {id, id}}};
    for (const auto& k : keys) {
        s.key(a, "arm_r", k.first, k.second.first);
        s.key(a, "forearm_r", k.first, k.second.second);
    }
    // The head ducks away from the blow.
    for (auto [time, tilt] :
         {std::pair{0.0f, 0.0f}, {0.3f, 4.0f}, {0.42f, 14.0f}, {0.65f, 10.0f}, {1.0f, 0.0f}})
        s.key(a, "head", time, rotZ(tilt) * rotX(tilt * 0.5f));
}

// "aftersuck": the bitten person flinches, then scratches the neck with the
// left hand.
void buildAftersuck(SkeletonBuilder& s, const Joints& j, const Person& p) {
    Ogre::Animation* a = s.animation("aftersuck", 1.0f);
    Frame f(p);
    const Vector3 pole(-0.6f, -0.3f, -0.7f);
    Vector3 neck(-0.34f, f.at(0.86f), 0.22f);
    const Quaternion id = Quaternion::IDENTITY;
    s.key(a, "arm_l", 0, id);
    s.key(a, "forearm_l", 0, id);
    for (int k = 0; k <= 6; ++k) {
        float time = 0.2f + 0.1f * float(k);
        auto pose = reach(j, 0, neck + Vector3(0, (k % 2 ? -0.22f : 0.12f), 0), pole);
        s.key(a, "arm_l", time, pose.first);
        s.key(a, "forearm_l", time, pose.second);
    }
    s.key(a, "arm_l", 1, id);
    s.key(a, "forearm_l", 1, id);
    // The flinch: shoulders up, head tilted towards the itch.
    for (auto [time, amount] :
         {std::pair{0.0f, 0.0f}, {0.1f, 1.0f}, {0.3f, 0.6f}, {0.8f, 0.5f}, {1.0f, 0.0f}}) {
        s.key(a, "spine", time, rotX(-6 * amount), Vector3(0, 0.12f * amount, 0));
        s.key(a, "head", time, rotZ(-12 * amount));
    }
}

void writePeople(const std::string& outDir) {
    for (const Person& p : kPeople) {
        Joints j = jointsOf(p);
        SkeletonBuilder skeleton(p.skeleton);
        buildSkeleton(skeleton, j);
        buildStep(skeleton);
        buildSlap(skeleton, j, p);
        buildAftersuck(skeleton, j, p);
        skeleton.write(outDir);
        MeshBuilder mesh;
        buildBody(mesh, skeleton, p, j);
        mesh.write(outDir, p.mesh, &skeleton);
    }
}

MediaGenerator people("people", writePeople);

} // namespace
