// The push-out of the collision zones: the worked examples, the tie order, the
// strict tests, and the fast path against the plain scan bit for bit.
#include "world/collision_zones.h"
#include "world/zone_geometry.h"
#include "world/zone_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

const double kPi = 2 * std::asin(1.0);
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

ZoneBox box(float ox, float oy, float oz, float sx, float sy, float sz, double angle = 0) {
    ZoneBox b;
    b.origin[0] = ox;
    b.origin[1] = oy;
    b.origin[2] = oz;
    b.size[0] = sx;
    b.size[1] = sy;
    b.size[2] = sz;
    b.angle = angle;
    return b;
}

struct Outcome {
    bool hit;
    float out[3];
    bool onTop;
};

// Outputs start as a marker, so that a write that should not happen shows.
Outcome resolveWith(ZoneIndex& index, float x, float y, float z, bool onTopBefore = false) {
    Outcome o{false, {-77, -77, -77}, onTopBefore};
    const float in[3] = {x, y, z};
    o.hit = index.resolve(in, o.out, o.onTop);
    return o;
}

class ZoneIndexTest : public ::testing::Test {
protected:
    ZoneIndex index;
};

TEST_F(ZoneIndexTest, NoZonesTouchNothingAndWriteNothing) {
    const Outcome o = resolveWith(index, 1, 2, 3, true);
    EXPECT_FALSE(o.hit);
    EXPECT_EQ(o.out[0], -77);
    EXPECT_TRUE(o.onTop);
}

TEST_F(ZoneIndexTest, TopAndBottomFacesOfAFlatZone) {
    index.set(0, box(0, 0, 0, 10, 2, 10));
    Outcome top = resolveWith(index, 5, 1.5f, 5);
    ASSERT_TRUE(top.hit);
    EXPECT_EQ(top.out[0], 5);
    EXPECT_EQ(top.out[1], 2);
    EXPECT_EQ(top.out[2], 5);
    EXPECT_TRUE(top.onTop);

    Outcome bottom = resolveWith(index, 5, 0.4f, 5, true);
    ASSERT_TRUE(bottom.hit);
    EXPECT_EQ(bottom.out[1], 0);
    EXPECT_FALSE(bottom.onTop) << "a containing zone resets the flag";
}

TEST_F(ZoneIndexTest, CentreOfACubeLeavesThroughTheFarXFace) {
    index.set(0, box(0, 0, 0, 2, 2, 2));
    const Outcome o = resolveWith(index, 1, 1, 1);
    ASSERT_TRUE(o.hit);
    EXPECT_EQ(o.out[0], 2);
    EXPECT_EQ(o.out[1], 1);
    EXPECT_EQ(o.out[2], 1);
    EXPECT_FALSE(o.onTop);
}

TEST_F(ZoneIndexTest, TieOrderAfterFarXIsNearXThenTopThenBottomThenFarZThenNearZ) {
    // Sizes chosen so that exactly two faces tie for the smallest distance.
    index.set(0, box(0, 0, 0, 10, 10, 10));
    EXPECT_EQ(resolveWith(index, 1, 1, 5).out[0], 0) << "near x beats bottom";
    EXPECT_EQ(resolveWith(index, 5, 9, 9).out[1], 10) << "top beats far z";
    Outcome bottom = resolveWith(index, 5, 1, 1);
    EXPECT_EQ(bottom.out[1], 0) << "bottom beats near z";
    EXPECT_EQ(bottom.out[2], 1);
    EXPECT_EQ(resolveWith(index, 5, 5, 9).out[2], 10) << "far z alone";
    EXPECT_EQ(resolveWith(index, 5, 5, 1).out[2], 0) << "near z alone";
}

TEST_F(ZoneIndexTest, PointsOnFacesEdgesAndCornersAreOutside) {
    index.set(0, box(1, 2, 3, 4, 5, 6));
    const float probes[][3] = {{1, 4, 5}, {5, 4, 5}, {3, 2, 5}, {3, 7, 5}, {3, 4, 3},
                               {3, 4, 9}, {1, 2, 5}, {5, 7, 9}, {1, 2, 3}, {5, 4, 9}};
    for (const auto& p : probes)
        EXPECT_FALSE(resolveWith(index, p[0], p[1], p[2]).hit)
            << p[0] << "," << p[1] << "," << p[2];
}

TEST_F(ZoneIndexTest, TurnedZoneCoversTheQuarterItIsTurnedInto) {
    index.set(0, box(0, 0, 0, 4, 4, 4, kPi / 2));
    Outcome a = resolveWith(index, 1, 1, -3.5f);
    ASSERT_TRUE(a.hit);
    EXPECT_NEAR(a.out[0], 1, 1e-6);
    EXPECT_NEAR(a.out[1], 1, 1e-6);
    EXPECT_NEAR(a.out[2], -4, 1e-6);
    Outcome b = resolveWith(index, 3.8f, 2, -2);
    ASSERT_TRUE(b.hit);
    EXPECT_NEAR(b.out[0], 4, 1e-6);
    EXPECT_NEAR(b.out[1], 2, 1e-6);
    EXPECT_NEAR(b.out[2], -2, 1e-6);
    EXPECT_FALSE(resolveWith(index, 1, 1, 1).hit) << "the unturned quarter is empty";
}

TEST_F(ZoneIndexTest, OverlappingZonesPushInSlotOrderAndTheLastDecidesOnTop) {
    // Slot 0 lifts the point onto its top, which lies inside slot 1; slot 1
    // then pushes it out sideways, so onTop ends false.
    index.set(0, box(0, 0, 0, 10, 2, 10));
    index.set(1, box(4, 1, 4, 2, 4, 2));
    Outcome o = resolveWith(index, 5.5f, 1.8f, 5);
    ASSERT_TRUE(o.hit);
    EXPECT_EQ(o.out[0], 6);
    EXPECT_EQ(o.out[1], 2);
    EXPECT_FALSE(o.onTop);
}

TEST_F(ZoneIndexTest, ALaterZoneMayPushThePointBackIntoAnEarlierOne) {
    // Slot 0 pushes out through its near x face into slot 1, which pushes it
    // back through its far x face into slot 0; slot 0 is not visited again.
    index.set(0, box(0, 0, 0, 4, 4, 4));
    index.set(1, box(-3, 0, 0, 3.5f, 4, 4));
    Outcome o = resolveWith(index, 0.2f, 2, 2);
    ASSERT_TRUE(o.hit);
    EXPECT_EQ(o.out[0], 0.5f);
}

TEST_F(ZoneIndexTest, ZonesThatCanHoldNothingNeverPush) {
    index.set(0, box(0, 0, 0, 0, 5, 5));
    index.set(1, box(0, 0, 0, 5, -1, 5));
    index.set(2, box(kNaN, 0, 0, 5, 5, 5));
    index.set(3, box(0, 0, 0, 5, kNaN, 5));
    index.set(4, box(0, 0, 0, 5, 5, 5, std::numeric_limits<double>::quiet_NaN()));
    index.set(5, box(0, 0, 0, 5, 5, 5, std::numeric_limits<double>::infinity()));
    index.set(6, box(kInf, 0, 0, 5, 5, 5));
    EXPECT_FALSE(resolveWith(index, 1, 1, 1).hit);
    EXPECT_FALSE(resolveWith(index, kNaN, 1, 1).hit);
}

TEST_F(ZoneIndexTest, AnInfinitelyLargeZoneStillPushesToAFiniteFace) {
    index.set(0, box(0, 0, 0, kInf, 3, kInf));
    Outcome o = resolveWith(index, 1e30f, 2, 5);
    ASSERT_TRUE(o.hit);
    EXPECT_EQ(o.out[0], 1e30f);
    EXPECT_EQ(o.out[1], 3);
    EXPECT_TRUE(o.onTop);
    EXPECT_FALSE(resolveWith(index, -1, 2, 5).hit);
}

TEST_F(ZoneIndexTest, ClearedSlotsAndReplacedGeometryTakeEffect) {
    index.set(3, box(0, 0, 0, 2, 2, 2));
    EXPECT_TRUE(resolveWith(index, 1, 1, 1).hit);
    index.clear(3);
    EXPECT_FALSE(resolveWith(index, 1, 1, 1).hit);
    index.set(3, box(100, 0, 0, 2, 2, 2));
    EXPECT_FALSE(resolveWith(index, 1, 1, 1).hit);
    EXPECT_TRUE(resolveWith(index, 101, 1, 1).hit);
    index.clearAll();
    EXPECT_FALSE(resolveWith(index, 101, 1, 1).hit);
}

// ---- The fast path against the plain scan ---------------------------------

struct Scene {
    ReferenceZones reference{};
    ZoneIndex index;
    void set(int slot, const ZoneBox& b) {
        ReferenceZone& r = reference[slot];
        r.used = true;
        std::memcpy(r.origin, b.origin, sizeof r.origin);
        std::memcpy(r.size, b.size, sizeof r.size);
        r.angle = b.angle;
        index.set(slot, b);
    }
    void clear(int slot) {
        reference[slot] = ReferenceZone{};
        index.clear(slot);
    }
};

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class SceneMaker {
public:
    explicit SceneMaker(unsigned seed) : rng(seed) {}

    double uniform(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    double angle() {
        static const double fixed[] = {0, kPi / 2, kPi, -kPi / 2, kPi / 4, -kPi / 4, 3 * kPi / 2};
        return below(3) == 0 ? uniform(-7, 7) : fixed[below(7)];
    }
    // Small integers and halves make exact ties and exact faces common.
    float coordinate(double span) {
        return below(2) ? float(below(int(span) * 2)) / 2.0f : float(uniform(0, span));
    }
    ZoneBox zone(double span) {
        ZoneBox b = box(coordinate(span), float(below(3)), coordinate(span), 0, 0, 0, angle());
        for (float& s : b.size)
            s = below(20) == 0 ? float(below(2)) - 0.5f : 0.5f + coordinate(span / 3);
        return b;
    }

    // Probe points: random ones, and ones placed on or near a zone's faces,
    // corners and centre.
    void probe(const Scene& scene, double span, float p[3]) {
        std::vector<int> used;
        for (int slot = 0; slot < 1024; ++slot)
            if (scene.reference[slot].used)
                used.push_back(slot);
        if (below(4) == 0 || used.empty()) {
            p[0] = coordinate(span);
            p[1] = float(uniform(-1, 6));
            p[2] = coordinate(span);
            return;
        }
        const ReferenceZone& z = scene.reference[used[below(int(used.size()))]];
        double l[3];
        for (int i = 0; i < 3; ++i) {
            const double size = z.size[i] > 0 && std::isfinite(z.size[i]) ? z.size[i] : 1.0;
            const int where = below(5);
            l[i] = where == 0 ? 0 : where == 1 ? size : where == 2 ? size / 2.0 : uniform(0, size);
        }
        const double c = std::cos(z.angle), s = std::sin(z.angle);
        p[0] = float(z.origin[0] + l[0] * c + l[2] * s);
        p[1] = float(z.origin[1] + l[1]);
        p[2] = float(z.origin[2] - l[0] * s + l[2] * c);
    }

private:
    std::mt19937 rng;
};

void expectSameAsReference(Scene& scene, const float p[3], bool onTopBefore, int sceneNo) {
    float refOut[3] = {-77, -77, -77}, fastOut[3] = {-77, -77, -77};
    bool refTop = onTopBefore, fastTop = onTopBefore;
    const bool refHit = referenceResolve(scene.reference, p, refOut, refTop);
    const bool fastHit = scene.index.resolve(p, fastOut, fastTop);
    ASSERT_EQ(refHit, fastHit) << "scene " << sceneNo << " at " << p[0] << "," << p[1] << ","
                               << p[2];
    ASSERT_EQ(refTop, fastTop) << "scene " << sceneNo;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(sameBits(refOut[i], fastOut[i]))
            << "scene " << sceneNo << " axis " << i << ": " << refOut[i] << " vs " << fastOut[i];
}

TEST(ZoneFastPath, AgreesWithThePlainScanBitForBitOnRandomScenes) {
    SceneMaker maker(20240601);
    int hits = 0;
    for (int sceneNo = 0; sceneNo < 3000; ++sceneNo) {
        auto scene = std::make_unique<Scene>();
        // Mostly small crowded scenes (many overlaps), some full tables.
        const bool full = sceneNo % 100 == 0;
        const int zones = full ? 1024 : 1 + maker.below(48);
        const double span = full ? 400 : 4 + maker.below(30);
        for (int i = 0; i < zones; ++i)
            scene->set(full ? i : maker.below(1024), maker.zone(span));
        for (int k = 0; k < 40; ++k) {
            if (k == 20 && !full) {
                // Change the table between queries: the index must follow.
                scene->clear(maker.below(1024));
                scene->set(maker.below(1024), maker.zone(span));
            }
            float p[3];
            maker.probe(*scene, span, p);
            expectSameAsReference(*scene, p, maker.below(2) == 1, sceneNo);
            if (HasFatalFailure())
                return;
            float out[3];
            bool top = false;
            hits += referenceResolve(scene->reference, p, out, top);
        }
    }
    // The scenes must actually exercise the push-out, not only the misses.
    EXPECT_GT(hits, 30000);
}

TEST(ZoneFastPath, AgreesWhereZonesAreHugeTinyOrFarAway) {
    SceneMaker maker(7);
    for (int sceneNo = 0; sceneNo < 200; ++sceneNo) {
        auto scene = std::make_unique<Scene>();
        const float scales[] = {1e-20f, 1e-3f, 1, 1e4f, 1e12f, 1e30f, 3e38f};
        for (int i = 0; i < 30; ++i) {
            const float scale = scales[maker.below(7)];
            ZoneBox b = maker.zone(8);
            for (int a = 0; a < 3; ++a) {
                b.origin[a] *= scale;
                b.size[a] *= scale;
            }
            if (maker.below(10) == 0)
                b.size[maker.below(3)] = kInf;
            scene->set(maker.below(1024), b);
        }
        for (int k = 0; k < 60; ++k) {
            float p[3];
            maker.probe(*scene, 8, p);
            expectSameAsReference(*scene, p, false, sceneNo);
            if (HasFatalFailure())
                return;
        }
    }
}

// ---- Through the game's table ---------------------------------------------

TEST(CollisionZoneTable, AddingUnderAnExistingNameReplacesEvenWhenFull) {
    resetZones();
    for (int i = 0; i < kCollisionZoneSlots; ++i)
        ASSERT_TRUE(addCollisionZone("z" + std::to_string(i), {float(i) * 10, 0, 0}, {1, 1, 1}, 0));
    EXPECT_FALSE(addCollisionZone("extra", {0, 0, 0}, {1, 1, 1}, 0));
    EXPECT_EQ(collisionZoneCount(), kCollisionZoneSlots);

    EXPECT_TRUE(addCollisionZone("z5", {-100, 0, 0}, {10, 10, 10}, 0));
    Ogre::Vector3 out(-1, -1, -1);
    bool onTop = false;
    EXPECT_FALSE(resolveZoneCollisions({50.5f, 0.5f, 0.5f}, out, onTop)) << "old z5 is gone";
    EXPECT_TRUE(resolveZoneCollisions({-95, 9, 5}, out, onTop));
    EXPECT_EQ(out, Ogre::Vector3(-95, 10, 5));
    EXPECT_TRUE(onTop);

    removeCollisionZone("z5");
    EXPECT_EQ(collisionZoneCount(), kCollisionZoneSlots - 1);
    resetZones();
    EXPECT_EQ(collisionZoneCount(), 0);
}

TEST(CollisionZoneTable, NamesAreComparedByEveryByte) {
    resetZones();
    const std::string withZero("wall\0a", 6), otherZero("wall\0b", 6);
    addCollisionZone(withZero, {0, 0, 0}, {2, 2, 2}, 0);
    addCollisionZone(otherZero, {10, 0, 0}, {2, 2, 2}, 0);
    removeCollisionZone("wall");
    EXPECT_EQ(collisionZoneCount(), 2);
    removeCollisionZone(otherZero);
    EXPECT_EQ(collisionZoneCount(), 1);
    Ogre::Vector3 out;
    bool onTop = false;
    EXPECT_TRUE(resolveZoneCollisions({1, 1.9f, 1}, out, onTop));
    resetZones();
}

TEST(LandingZoneTable, ResetLeavesOnlyTheGroundPlane) {
    resetZones();
    const LandingZone& ground = landingZone(0);
    EXPECT_TRUE(ground.inUse);
    EXPECT_EQ(ground.min[0], -10000000.0f);
    EXPECT_EQ(ground.max[2], 10000000.0f);
    EXPECT_EQ(ground.min[1], 0);
    for (int id = 1; id < kLandingZoneSlots; ++id)
        EXPECT_FALSE(landingZone(id).inUse);
}

// Where a segment first enters a zone, as the camera asks it of the walls:
// open faces, turned zones, segments that start inside, and NaN.
TEST(ZoneSegment, FirstEntry) {
    const ZoneBox cube = box(0, 0, 0, 10, 10, 10);
    const ZoneBox turned = box(0, 0, 0, 4, 4, 4, kPi / 2); // x 0..4, z -4..0
    struct Row {
        const char* what;
        ZoneBox zone;
        float a[3], b[3];
        double entry; // above 1: never enters
    } rows[] = {
        {"through the middle", cube, {-10, 5, 5}, {10, 5, 5}, 0.5},
        {"stops short", cube, {-10, 5, 5}, {-1, 5, 5}, 2},
        {"ends on the face", cube, {-10, 5, 5}, {0, 5, 5}, 2},
        {"along a face", cube, {-10, 0, 5}, {20, 0, 5}, 2},
        {"down onto the top", cube, {5, 30, 5}, {5, -10, 5}, 0.5},
        {"starts inside", cube, {5, 5, 5}, {50, 5, 5}, 2},
        {"starts on the top, leaves upwards", cube, {5, 10, 5}, {5, 40, 5}, 2},
        {"misses beside", cube, {-10, 5, 12}, {10, 5, 12}, 2},
        {"turned zone, from +z", turned, {2, 2, 4}, {2, 2, -8}, 1.0 / 3},
        {"turned zone, missed where it would be unturned", turned, {2, 2, 8}, {2, 2, 1}, 2},
        {"NaN", cube, {kNaN, 5, 5}, {10, 5, 5}, 2},
    };
    for (const Row& r : rows) {
        const double t = segmentEntry(r.zone, r.a, r.b);
        if (r.entry > 1)
            EXPECT_GT(t, 1.0) << r.what;
        else
            EXPECT_NEAR(t, r.entry, 1e-6) << r.what;
    }
}

} // namespace
