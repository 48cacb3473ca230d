// The nest on the roof, where the blood is banked ("nest.mesh"): a bowl of
// twigs 300 across and 70 high, woven round and round, on a dark floor, with
// a few drops of banked blood in it. Its origin is the middle of its floor,
// which lies on the roof. Its materials carry light of their own, so that it
// reads at night from down in the street.
#include "media.h"
#include "mesh_builder.h"
#include "picture.h"

#include <cmath>

namespace {

using media::MeshBuilder;
using Ogre::Vector3;

constexpr float kRadius = 150, kHeight = 70;

// Twigs laid round the bowl in layers, each leaning along the ring and a
// little in or out, so that the rim reads as woven.
void twigs(MeshBuilder& m) {
    media::Random pick(17);
    const int layers = 7, perLayer = 26;
    for (int layer = 0; layer < layers; ++layer) {
        const float up = kHeight * (float(layer) + 0.5f) / float(layers);
        // The bowl widens towards its rim.
        const float r = kRadius * (0.72f + 0.28f * std::sqrt(up / kHeight));
        for (int i = 0; i < perLayer; ++i) {
            const float a = Ogre::Math::TWO_PI * (float(i) + 0.5f * float(layer % 2)) / perLayer;
            const float span = 0.45f + 0.2f * pick.next();
            const float b = a + span, lift = 12 * (pick.next() - 0.5f);
            const float r0 = r * (0.93f + 0.1f * pick.next()),
                        r1 = r * (0.93f + 0.1f * pick.next());
            m.tube({r0 * std::cos(a), up, r0 * std::sin(a)},
                   {r1 * std::cos(b), up + lift, r1 * std::sin(b)}, 4.5f, 3.0f, 5);
        }
    }
}

void writeNest(const std::string& outDir) {
    MeshBuilder m;
    m.material("Nightbite/Props/NestFloor");
    // A shallow dish under the twigs; its rim hides under them.
    const int sides = 24;
    for (int i = 0; i < sides; ++i) {
        const float a0 = Ogre::Math::TWO_PI * float(i) / sides;
        const float a1 = Ogre::Math::TWO_PI * float(i + 1) / sides;
        const float r = kRadius * 0.8f;
        m.quad({0, 2, 0}, {0, 2, 0}, {r * std::cos(a1), 12, r * std::sin(a1)},
               {r * std::cos(a0), 12, r * std::sin(a0)}, Vector3::UNIT_Y);
    }
    m.material("Nightbite/Props/NestTwigs");
    twigs(m);
    m.material("Nightbite/Props/NestBlood");
    const Vector3 drops[] = {{-30, 14, 10}, {25, 14, -20}, {10, 14, 35}, {-10, 14, -35}};
    for (const Vector3& d : drops)
        m.ellipsoid(d, {14, 0, 0}, {0, 0, 14}, {0, 9, 0}, 10, 6);
    m.write(outDir, "nest.mesh");
}

MediaGenerator nest("nest", writeNest);

} // namespace
