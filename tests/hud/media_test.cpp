// The generated media as the game loads them: the insect bodies, the people,
// the street props and the display's overlay, read back through the media
// folder by the headless engine. Poses are checked on the skeletons, which the
// engine animates without a render system.
#include "support/headless.h"

#include "util/globals.h"

#include <Ogre.h>
#include <Overlay/OgreFont.h>
#include <Overlay/OgreFontManager.h>
#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayContainer.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgreOverlaySystem.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Ogre::Vector3;

const char* const kInsects[] = {"komar_nic.mesh", "komar_motor.mesh", "komar_nadrze.mesh",
                                "komar_full.mesh"};
const char* const kPeople[] = {"man.mesh", "woman.mesh"};

class MediaTest : public nbtest::HeadlessTest {
protected:
    Ogre::Entity* load(const std::string& mesh) {
        return sceneManager->createEntity("media_" + std::to_string(entities++), mesh);
    }

    // Poses the skeleton as animation `name` at `time`, alone.
    static void pose(Ogre::Entity* e, const char* name, float time) {
        for (auto& [n, state] : e->getAllAnimationStates()->getAnimationStates())
            state->setEnabled(false);
        Ogre::AnimationState* state = e->getAnimationState(name);
        state->setEnabled(true);
        state->setTimePosition(time);
        e->getSkeleton()->setAnimationState(*e->getAllAnimationStates());
    }
    static Vector3 at(Ogre::Entity* e, const char* bone) {
        return e->getSkeleton()->getBone(bone)->_getDerivedPosition();
    }
    // Where a bone's model-space axis points in the current pose.
    static Vector3 axis(Ogre::Entity* e, const char* bone, const Vector3& local) {
        return e->getSkeleton()->getBone(bone)->_getDerivedOrientation() * local;
    }

    int entities = 0;
};

// Positions of the triangles drawn with materials whose name contains `part`.
std::vector<Vector3> positionsOf(const Ogre::MeshPtr& mesh, const std::string& part) {
    const Ogre::VertexData* data = mesh->sharedVertexData;
    const Ogre::VertexElement* pos =
        data->vertexDeclaration->findElementBySemantic(Ogre::VES_POSITION);
    auto vbuf = data->vertexBufferBinding->getBuffer(pos->getSource());
    std::vector<unsigned char> vertices(vbuf->getSizeInBytes());
    vbuf->readData(0, vertices.size(), vertices.data());
    std::vector<Vector3> out;
    for (const Ogre::SubMesh* sub : mesh->getSubMeshes()) {
        if (sub->getMaterialName().find(part) == std::string::npos)
            continue;
        auto ibuf = sub->indexData->indexBuffer;
        std::vector<unsigned char> indices(ibuf->getSizeInBytes());
        ibuf->readData(0, indices.size(), indices.data());
        for (size_t i = 0; i < sub->indexData->indexCount; ++i) {
            size_t v = ibuf->getType() == Ogre::HardwareIndexBuffer::IT_16BIT
                           ? reinterpret_cast<const uint16_t*>(indices.data())[i]
                           : reinterpret_cast<const uint32_t*>(indices.data())[i];
            const float* p = reinterpret_cast<const float*>(
                vertices.data() + v * vbuf->getVertexSize() + pos->getOffset());
            out.emplace_back(p[0], p[1], p[2]);
        }
    }
    return out;
}

Ogre::AxisAlignedBox boundsOf(const std::vector<Vector3>& points) {
    Ogre::AxisAlignedBox box;
    for (const Vector3& p : points)
        box.merge(p);
    return box;
}

size_t triangles(const Ogre::MeshPtr& mesh) {
    size_t n = 0;
    for (const Ogre::SubMesh* sub : mesh->getSubMeshes())
        n += sub->indexData->indexCount / 3;
    return n;
}

TEST_F(MediaTest, InsectsFlyAndSitWithTheirWings) {
    for (const char* mesh : kInsects) {
        SCOPED_TRACE(mesh);
        Ogre::Entity* e = load(mesh);
        ASSERT_TRUE(e->hasSkeleton());
        ASSERT_TRUE(e->hasAnimationState("let"));
        ASSERT_TRUE(e->hasAnimationState("sedi"));

        // The wing beat loops: the game plays it on and on, 20 x thrust fast.
        Ogre::AnimationState* let = e->getAnimationState("let");
        EXPECT_NEAR(let->getLength(), 1.0f, 1e-4f);
        let->setLoop(true);
        let->setTimePosition(0);
        let->addTime(2.25f);
        EXPECT_NEAR(let->getTimePosition(), 0.25f, 1e-4f);
        pose(e, "let", 0);
        EXPECT_GT(axis(e, "wing_l", Vector3::UNIT_X).y, 0.5f) << "up stroke";
        EXPECT_GT(axis(e, "wing_r", Vector3::NEGATIVE_UNIT_X).y, 0.5f);
        Ogre::Quaternion start = e->getSkeleton()->getBone("wing_l")->_getDerivedOrientation();
        pose(e, "let", 0.5f);
        EXPECT_LT(axis(e, "wing_l", Vector3::UNIT_X).y, -0.3f) << "down stroke";
        EXPECT_LT(axis(e, "wing_r", Vector3::NEGATIVE_UNIT_X).y, -0.3f);
        pose(e, "let", 0.999f);
        Ogre::Radian gap;
        Vector3 unused;
        (start.Inverse() * e->getSkeleton()->getBone("wing_l")->_getDerivedOrientation())
            .ToAngleAxis(gap, unused);
        EXPECT_LT(gap.valueDegrees(), 1.0f) << "the beat's end joins its start";

        // Landing advances "sedi" once by 0.2 s and never again: by then the
        // wings lie folded back, each on its own side, and stay so.
        Ogre::AnimationState* sedi = e->getAnimationState("sedi");
        sedi->setLoop(false);
        sedi->setTimePosition(0);
        sedi->addTime(0.2f);
        EXPECT_TRUE(sedi->hasEnded());
        pose(e, "sedi", 0);
        EXPECT_GT(axis(e, "wing_l", Vector3::UNIT_X).x, 0.9f) << "spread before landing";
        pose(e, "sedi", 0.2f);
        Vector3 left = axis(e, "wing_l", Vector3::UNIT_X);
        Vector3 right = axis(e, "wing_r", Vector3::NEGATIVE_UNIT_X);
        EXPECT_LT(left.z, -0.9f);
        EXPECT_LT(right.z, -0.9f);
        EXPECT_GT(left.x, 0.0f);
        EXPECT_LT(right.x, 0.0f);
        sedi->addTime(0.2f);
        EXPECT_FLOAT_EQ(sedi->getTimePosition(), 0.2f) << "a second landing keeps the pose";
    }
}

TEST_F(MediaTest, InsectsFaceForwardAndStandOnTheirFeet) {
    for (const char* mesh : kInsects) {
        SCOPED_TRACE(mesh);
        Ogre::MeshPtr m = load(mesh)->getMesh();
        const Ogre::AxisAlignedBox& box = m->getBounds();
        // Shown at 0.4 scale: about 20 long on screen.
        float length = box.getSize().z;
        EXPECT_GT(length, 40);
        EXPECT_LT(length, 62);
        // A landed insect is at y 0: its feet are there, its body above.
        EXPECT_NEAR(box.getMinimum().y, 0, 0.5f);
        EXPECT_GT(positionsOf(m, "Body").front().y, 5);
        // The proboscis is the front-most point, on the middle line, ahead.
        Vector3 tip(0, 0, -1e9f);
        for (const Vector3& p : positionsOf(m, "Nightbite/Mosquito/Leg"))
            if (p.z > tip.z)
                tip = p;
        EXPECT_FLOAT_EQ(tip.z, box.getMaximum().z);
        EXPECT_LT(std::fabs(tip.x), 1);
        // Two wings, one each side, see-through.
        Ogre::AxisAlignedBox wings = boundsOf(positionsOf(m, "Wing"));
        EXPECT_GT(wings.getMaximum().x, 20);
        EXPECT_LT(wings.getMinimum().x, -20);
        for (const Ogre::SubMesh* sub : m->getSubMeshes())
            EXPECT_TRUE(Ogre::MaterialManager::getSingleton().resourceExists(sub->getMaterialName(),
                                                                             Ogre::RGN_DEFAULT))
                << sub->getMaterialName();
    }
}

TEST_F(MediaTest, FullerInsectsCarryBiggerRedderAbdomens) {
    float previous = 0;
    std::string previousMaterial;
    for (const char* mesh : kInsects) {
        SCOPED_TRACE(mesh);
        Ogre::MeshPtr m = load(mesh)->getMesh();
        std::string material;
        for (const Ogre::SubMesh* sub : m->getSubMeshes())
            if (sub->getMaterialName().find("Abdomen") != std::string::npos ||
                sub->getMaterialName().find("Blood") != std::string::npos)
                material = sub->getMaterialName();
        ASSERT_FALSE(material.empty());
        EXPECT_NE(material, previousMaterial);
        Ogre::Vector3 size = boundsOf(positionsOf(m, material)).getSize();
        float volume = size.x * size.y * size.z;
        EXPECT_GT(volume, previous * 1.3f);
        previous = volume;
        previousMaterial = material;
    }
    // The empty one is dark, the full one red.
    auto colour = [](const char* name) {
        Ogre::MaterialPtr m = Ogre::MaterialManager::getSingleton().getByName(name);
        return m->getTechnique(0)->getPass(0)->getDiffuse();
    };
    Ogre::ColourValue empty = colour("Nightbite/Mosquito/Abdomen");
    Ogre::ColourValue full = colour("Nightbite/Mosquito/BloodFull");
    EXPECT_LT(empty.r, 2 * empty.g);
    EXPECT_GT(full.r, 5 * full.g);
}

TEST_F(MediaTest, PeopleStandOnTheStreetFacingTheirWay) {
    // The small bodies are for the game's small scale, 15.
    const std::pair<const char*, float> people[] = {
        {"man.mesh", 18}, {"woman.mesh", 18}, {"man_small.mesh", 15}, {"woman_small.mesh", 15}};
    for (auto [mesh, scale] : people) {
        SCOPED_TRACE(mesh);
        Ogre::Entity* e = load(mesh);
        Ogre::MeshPtr m = e->getMesh();
        const Ogre::AxisAlignedBox& box = m->getBounds();
        // Scaled and held 115 above the feet, as the game places them.
        EXPECT_NEAR(box.getMinimum().y * scale, -115, 1);
        EXPECT_NEAR(box.getSize().y * scale, 180 * scale / 18, 8);
        // The face is on the front, -Z, and so are the toes.
        for (const Vector3& p : positionsOf(m, "Eye"))
            EXPECT_LT(p.z, -0.4f);
        EXPECT_LT(boundsOf(positionsOf(m, "Shoes")).getMinimum().z, -0.8f);
        EXPECT_GT(boundsOf(positionsOf(m, "Shoes")).getMaximum().z, 0.2f);
        // Cheap enough to draw a few hundred of them in software.
        EXPECT_LE(triangles(m), 400u);
        EXPECT_LE(e->getSkeleton()->getNumBones(), 16u);
    }
}

TEST_F(MediaTest, PeopleWalkSlapAndScratch) {
    for (const char* mesh : kPeople) {
        SCOPED_TRACE(mesh);
        Ogre::Entity* e = load(mesh);
        for (const char* name : {"step", "slap", "aftersuck"}) {
            ASSERT_TRUE(e->hasAnimationState(name)) << name;
            EXPECT_NEAR(e->getAnimationState(name)->getLength(), 1.0f, 1e-4f) << name;
        }
        // "slap" plays over "step" at full strength, not averaged with it.
        EXPECT_EQ(e->getSkeleton()->getBlendMode(), Ogre::ANIMBLEND_CUMULATIVE);

        // A stride: the feet swap places at half the cycle and are back at
        // its end; forward is -Z.
        pose(e, "step", 0);
        Vector3 right = at(e, "foot_r"), left = at(e, "foot_l");
        EXPECT_LT(right.z, left.z - 0.8f);
        pose(e, "step", 0.5f);
        EXPECT_GT(at(e, "foot_r").z, at(e, "foot_l").z + 0.8f);
        pose(e, "step", 0.999f);
        EXPECT_LT(at(e, "foot_r").distance(right), 0.05f);
        EXPECT_LT(at(e, "foot_l").distance(left), 0.05f);

        // The slap brings the right hand to the neck and back.
        pose(e, "slap", 0);
        Vector3 neck = at(e, "head");
        EXPECT_GT(at(e, "hand_r").distance(neck), 2.5f);
        pose(e, "slap", 0.5f);
        EXPECT_LT(at(e, "hand_r").distance(neck), 0.8f);
        EXPECT_GT(at(e, "hand_r").x, 0.0f) << "the right hand, from the right";
        pose(e, "slap", 0.999f);
        EXPECT_GT(at(e, "hand_r").distance(neck), 2.5f);

        // After a bite the left hand scratches the neck: it stays there and
        // moves up and down.
        pose(e, "aftersuck", 0.4f);
        Vector3 scratch = at(e, "hand_l");
        EXPECT_LT(scratch.distance(at(e, "head")), 1.0f);
        EXPECT_LT(scratch.x, 0.0f);
        pose(e, "aftersuck", 0.5f);
        EXPECT_LT(at(e, "hand_l").distance(at(e, "head")), 1.0f);
        EXPECT_GT(at(e, "hand_l").distance(scratch), 0.15f);
    }
}

TEST_F(MediaTest, StreetPropsHaveTheirDocumentedSizes) {
    struct Prop {
        const char* mesh;
        Vector3 min, max;
    } props[] = {
        {"ground.mesh", {-2000, 0, -2000}, {2000, 0, 2000}},
        {"house.mesh", {-515, 0, -315}, {515, 930, 315}},
        {"lamp.mesh", {-22, 0, -16}, {22, 520, 170}},
    };
    for (const Prop& p : props) {
        SCOPED_TRACE(p.mesh);
        const Ogre::AxisAlignedBox& box = load(p.mesh)->getMesh()->getBounds();
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(box.getMinimum()[i], p.min[i], 1) << "axis " << i;
            EXPECT_NEAR(box.getMaximum()[i], p.max[i], 1) << "axis " << i;
        }
    }
    // Every mesh is drawn with one of the game's own materials: the engine's
    // plain white, lit by the one sun only, leaves the shaded faces black.
    for (const auto& file : std::filesystem::directory_iterator(NB_MEDIA_DIR)) {
        if (file.path().extension() != ".mesh")
            continue;
        const std::string name = file.path().filename().string();
        for (const Ogre::SubMesh* sub : load(name.c_str())->getMesh()->getSubMeshes()) {
            EXPECT_NE(sub->getMaterialName(), "BaseWhite") << name;
            EXPECT_TRUE(Ogre::MaterialManager::getSingleton().resourceExists(sub->getMaterialName(),
                                                                             Ogre::RGN_DEFAULT))
                << name << ": " << sub->getMaterialName();
        }
    }
}

// The overlay and font scripts, parsed as the game's overlay system parses
// them at start-up.
class OverlayMediaTest : public MediaTest {
protected:
    void SetUp() override {
        MediaTest::SetUp();
        ASSERT_NE(Ogre::TextureManager::getSingletonPtr(), nullptr)
            << "the display's font is drawn into a texture";
        overlays = new Ogre::OverlaySystem();
        auto& resources = Ogre::ResourceGroupManager::getSingleton();
        Ogre::DataStreamPtr fonts = resources.openResource("nightbite.fontdef");
        Ogre::FontManager::getSingleton().parseScript(fonts, Ogre::RGN_DEFAULT);
        Ogre::DataStreamPtr display = resources.openResource("nightbite.overlay");
        Ogre::OverlayManager::getSingleton().parseScript(display, Ogre::RGN_DEFAULT);
    }
    void TearDown() override {
        if (overlays) {
            Ogre::OverlayManager::getSingleton().destroyAll();
            Ogre::OverlayManager::getSingleton().destroyAllOverlayElements();
            delete overlays;
        }
        MediaTest::TearDown();
    }
    static Ogre::OverlayElement* element(const char* name) {
        return Ogre::OverlayManager::getSingleton().getOverlayElement(name);
    }
    Ogre::OverlaySystem* overlays = nullptr;
};

TEST_F(OverlayMediaTest, DisplayHasItsFiveElements) {
    Ogre::Overlay* overlay = Ogre::OverlayManager::getSingleton().getByName("Nightbite_new");
    ASSERT_NE(overlay, nullptr);
    const struct {
        const char* name;
        const char* type;
        const char* caption;
    } readouts[] = {{"Nightbite_new/Elements/ThrustIndicator", "TextArea", "X: 0"},
                    {"Nightbite_new/Elements/AltituteIndicator", "TextArea", "Y: 0"},
                    {"Nightbite_new/Elements/SpeedIndicator", "TextArea", "Z: 0"}};
    for (const auto& r : readouts) {
        SCOPED_TRACE(r.name);
        Ogre::OverlayElement* e = element(r.name);
        EXPECT_EQ(e->getTypeName(), r.type);
        EXPECT_EQ(std::string(e->getCaption()), r.caption);
        EXPECT_EQ(e->getParameter("font_name"), "NightbiteFont");
        EXPECT_EQ(e->getColour(), Ogre::ColourValue::Green);
    }
    // The sight: a picture centred on the screen.
    Ogre::OverlayElement* sight = element("Nightbite_new/GunSight");
    EXPECT_EQ(sight->getTypeName(), "Panel");
    EXPECT_EQ(sight->getHorizontalAlignment(), Ogre::GHA_CENTER);
    EXPECT_EQ(sight->getVerticalAlignment(), Ogre::GVA_CENTER);
    EXPECT_FLOAT_EQ(sight->getLeft(), -sight->getWidth() / 2);
    EXPECT_FLOAT_EQ(sight->getTop(), -sight->getHeight() / 2);
    EXPECT_EQ(sight->getMaterialName(), "Nightbite/HUD/GunSight");
    EXPECT_EQ(overlay->getChild("Nightbite_new/GunSight"), sight);

    // The bar sits in the meter's well; the program keeps top + height, its
    // bottom edge, where the script puts it and scales the height. The well
    // holds the whole load drinking allows, 200: the bar's own height, what
    // 100 fills, is half the well (5 to 251).
    Ogre::OverlayElement* bar = element("Nightbite_new/BloodMeter/Blood");
    Ogre::OverlayElement* meter = element("Nightbite_new/BloodMeter");
    EXPECT_EQ(bar->getParent(), meter);
    EXPECT_EQ(overlay->getChild("Nightbite_new/BloodMeter"), meter);
    EXPECT_NEAR(bar->getHeight(), 0.5f * (meter->getHeight() - 10), 1.0f);
    EXPECT_GT(bar->getTop(), 0);
    float bottom = bar->getTop() + bar->getHeight();
    EXPECT_LT(bottom, meter->getHeight());
    EXPECT_GT(bottom, 0.95f * meter->getHeight());
    EXPECT_EQ(bar->getMaterialName(), "Nightbite/HUD/BloodBar");
    EXPECT_EQ(meter->getMaterialName(), "Nightbite/HUD/BloodMeterFrame");
}

TEST_F(OverlayMediaTest, FontComesFromDejaVuSans) {
    Ogre::FontPtr font = Ogre::FontManager::getSingleton().getByName("NightbiteFont");
    ASSERT_TRUE(font);
    EXPECT_EQ(font->getType(), Ogre::FT_TRUETYPE);
    EXPECT_EQ(font->getSource(), "DejaVuSans.ttf");
    EXPECT_TRUE(Ogre::ResourceGroupManager::getSingleton().resourceExists(Ogre::RGN_DEFAULT,
                                                                          "DejaVuSans.ttf"));
    EXPECT_GE(font->getTrueTypeSize(), 14);
    EXPECT_EQ(font->getTrueTypeResolution(), 96u);
    // Every digit, sign and letter the read-outs show gets a glyph. (The
    // glyphs themselves are drawn when a window shows the display.)
    for (char c : std::string("XYZ:.-+e0123456789")) {
        bool covered = false;
        for (const auto& range : font->getCodePointRangeList())
            covered = covered || (range.first <= Ogre::Font::CodePoint(c) &&
                                  Ogre::Font::CodePoint(c) <= range.second);
        EXPECT_TRUE(covered) << c;
    }
}

TEST_F(MediaTest, DisplayTexturesAreSeeThroughWhereTheyShouldBe) {
    auto image = [](const char* name) {
        Ogre::Image img;
        img.load(name, Ogre::RGN_DEFAULT);
        return img;
    };
    Ogre::Image sight = image("gunsight.dds");
    ASSERT_TRUE(Ogre::PixelUtil::hasAlpha(sight.getFormat()));
    size_t c = sight.getWidth() / 2;
    EXPECT_LT(sight.getColourAt(2, 2, 0).a, 0.01f) << "clear corner";
    EXPECT_GT(sight.getColourAt(c, c, 0).a, 0.9f) << "centre dot";
    EXPECT_GT(sight.getColourAt(c, c - 40, 0).g, 0.8f) << "ring";
    EXPECT_LT(sight.getColourAt(c + 6, c + 6, 0).a, 0.01f) << "clear round the dot";

    Ogre::Image frame = image("blood_meter_frame.dds");
    EXPECT_LT(frame.getColourAt(0, 0, 0).a, 0.1f) << "rounded corner";
    EXPECT_GT(frame.getColourAt(1, frame.getHeight() / 2, 0).a, 0.8f) << "rim";
    Ogre::ColourValue well = frame.getColourAt(frame.getWidth() / 2, frame.getHeight() / 3, 0);
    EXPECT_GT(well.a, 0.2f);
    EXPECT_LT(well.a, 0.7f);

    Ogre::Image bar = image("blood_bar.dds");
    Ogre::ColourValue middle = bar.getColourAt(bar.getWidth() / 2, 0, 0);
    EXPECT_GT(middle.r, 3 * middle.g);
    EXPECT_GT(middle.a, 0.8f);
}

} // namespace
