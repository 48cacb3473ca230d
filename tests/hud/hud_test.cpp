// The display's update on a real overlay made with the engine's overlay
// manager, with the element names the game's overlay script uses. (Headless,
// no fonts are loaded: captions and colours are checked as the elements hold
// them.)
#include "player/game_fixture.h"

#include "app/frame_driver.h"
#include "audio/sound_manager.h"
#include "hud/hud.h"
#include "player/player.h"
#include "util/globals.h"

#include <Ogre.h>
#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayContainer.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgreOverlaySystem.h>
#include <Overlay/OgrePanelOverlayElement.h>

#include <cmath>

namespace {

constexpr float kBarTop = 0.5f;
constexpr float kBarHeight = 0.3f;

class HudTest : public nbtest::GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        overlays = new Ogre::OverlaySystem();
        Ogre::OverlayManager& om = Ogre::OverlayManager::getSingleton();
        Ogre::Overlay* overlay = om.create("Nightbite_new");
        auto container = [&](const char* type, const char* name) {
            return static_cast<Ogre::OverlayContainer*>(om.createOverlayElement(type, name));
        };
        Ogre::OverlayContainer* panel = container("Panel", "Nightbite_new/Elements");
        for (const char* name : {"Nightbite_new/Elements/ThrustIndicator",
                                 "Nightbite_new/Elements/AltituteIndicator",
                                 "Nightbite_new/Elements/SpeedIndicator"})
            panel->addChild(om.createOverlayElement("TextArea", name));
        Ogre::OverlayContainer* meter = container("Panel", "Nightbite_new/BloodMeter");
        Ogre::OverlayElement* blood = om.createOverlayElement("Panel", "Nightbite_new/BloodMeter/Blood");
        blood->setTop(kBarTop);
        blood->setHeight(kBarHeight);
        meter->addChild(blood);
        overlay->add2D(panel);
        overlay->add2D(meter);
        overlay->add2D(container("Panel", "Nightbite_new/GunSight"));
        Ogre::OverlayContainer* level = container("Panel", "Nightbite_new/LevelMeter");
        Ogre::OverlayElement* levelBar = om.createOverlayElement("Panel", "Nightbite_new/LevelMeter/Level");
        levelBar->setTop(kBarTop);
        levelBar->setHeight(kBarHeight);
        level->addChild(levelBar);
        overlay->add2D(level);
        Ogre::OverlayContainer* hearing = container("Panel", "Nightbite_new/Hearing");
        hearing->addChild(om.createOverlayElement("Panel", "Nightbite_new/Hearing/Lamp"));
        hearing->addChild(om.createOverlayElement("TextArea", "Nightbite_new/Hearing/Frequency"));
        overlay->add2D(hearing);
        overlay->add2D(container("Panel", "Nightbite_new/NoMicrophone"));
        for (const char* name : {"Nightbite_new/Status", "Nightbite_new/Message"}) {
            Ogre::OverlayContainer* backing = container("Panel", name);
            backing->setHeight(36);
            Ogre::OverlayElement* text = om.createOverlayElement("TextArea", std::string(name) + "/Text");
            text->setHeight(24);
            backing->addChild(text);
            overlay->add2D(backing);
        }
        startScripts();
    }
    void TearDown() override {
        delete hud;
        hud = nullptr;
        Ogre::OverlayManager::getSingleton().destroyAll();
        Ogre::OverlayManager::getSingleton().destroyAllOverlayElements();
        delete overlays;
        GameTest::TearDown();
    }
    Ogre::OverlayElement* element(const char* name) {
        return Ogre::OverlayManager::getSingleton().getOverlayElement(name);
    }
    void keys(bool f1, bool f2) {
        flight::KeyInput k;
        k.f1 = f1;
        k.f2 = f2;
        player->getCharacter().updateFromKeyboard(k);
    }
    Ogre::OverlaySystem* overlays = nullptr;
};

TEST_F(HudTest, ShowsTheOverlayAndThePositionInGreen) {
    hud = new Hud();
    EXPECT_TRUE(hud->getOverlay()->isVisible());
    EXPECT_EQ(run("set_player_position(1.5, 20, -3)"), "");
    updateHud();
    const struct {
        const char* name;
        const char* caption;
    } readouts[] = {{"Nightbite_new/Elements/ThrustIndicator", "X: 1.5"},
                    {"Nightbite_new/Elements/AltituteIndicator", "Y: 20"},
                    {"Nightbite_new/Elements/SpeedIndicator", "Z: -3"}};
    for (const auto& r : readouts) {
        EXPECT_EQ(element(r.name)->getCaption(), r.caption);
        EXPECT_EQ(element(r.name)->getColour(), Ogre::ColourValue::Green);
    }
    // %g: six significant digits, no trailing zeros.
    EXPECT_EQ(run("set_player_position(1234567, 0.000125, -100.25)"), "");
    updateHud();
    EXPECT_EQ(element("Nightbite_new/Elements/ThrustIndicator")->getCaption(), "X: 1.23457e+06");
    EXPECT_EQ(element("Nightbite_new/Elements/AltituteIndicator")->getCaption(), "Y: 0.000125");
    EXPECT_EQ(element("Nightbite_new/Elements/SpeedIndicator")->getCaption(), "Z: -100.25");
}

TEST_F(HudTest, GunSightOnlyInTheFirstPersonView) {
    hud = new Hud();
    Ogre::OverlayElement* sight = element("Nightbite_new/GunSight");
    updateHud();
    EXPECT_FALSE(sight->isVisible());
    keys(true, false);
    EXPECT_FALSE(sight->isVisible()); // from the next update on
    updateHud();
    EXPECT_TRUE(sight->isVisible());
    keys(false, true);
    updateHud();
    EXPECT_FALSE(sight->isVisible());
}

TEST_F(HudTest, BloodBarGrowsUpFromItsBottomEdge) {
    hud = new Hud();
    Ogre::OverlayElement* bar = element("Nightbite_new/BloodMeter/Blood");
    const float bottom = kBarTop + kBarHeight;
    struct Case {
        double level;
        float height;
    };
    for (Case c : {Case{50, kBarHeight / 2}, Case{0, 0}, Case{100, kBarHeight},
                   Case{200, 2 * kBarHeight}, Case{-50, -kBarHeight / 2}}) {
        player->setBloodLevel(c.level);
        updateHud();
        EXPECT_NEAR(bar->getHeight(), c.height, 1e-6) << c.level;
        EXPECT_NEAR(bar->getTop() + bar->getHeight(), bottom, 1e-6) << c.level;
    }
    // An absurd level draws a tall bar, never an infinite one.
    for (double level : {1e300, -1e300}) {
        player->setBloodLevel(level);
        updateHud();
        EXPECT_TRUE(std::isfinite(bar->getHeight())) << level;
        EXPECT_TRUE(std::isfinite(bar->getTop())) << level;
    }
}

TEST_F(HudTest, ShowsTheLiftTheHearingAndAMissingMicrophone) {
    hud = new Hud();
    auto* bar = static_cast<Ogre::PanelOverlayElement*>(element("Nightbite_new/LevelMeter/Level"));
    auto* lamp = static_cast<Ogre::PanelOverlayElement*>(element("Nightbite_new/Hearing/Lamp"));
    Ogre::OverlayElement* hz = element("Nightbite_new/Hearing/Frequency");
    Ogre::OverlayElement* noMicrophone = element("Nightbite_new/NoMicrophone");
    auto vTop = [](Ogre::PanelOverlayElement* p) {
        Ogre::Real u1, v1, u2, v2;
        p->getUV(u1, v1, u2, v2);
        return v1;
    };
    auto uLeft = [](Ogre::PanelOverlayElement* p) {
        Ogre::Real u1, v1, u2, v2;
        p->getUV(u1, v1, u2, v2);
        return u1;
    };

    // No sound manager at all: nothing heard, and the line says so.
    updateHud();
    EXPECT_TRUE(noMicrophone->isVisible());
    EXPECT_EQ(hz->getCaption(), "");

    // The meter fills from its bottom edge by the thrust (level 6 of 8),
    // showing the lower part of its picture; a script's thrust beyond the
    // range draws no more than full.
    const struct {
        float level, fraction;
    } lifts[] = {{6, 0.75f}, {0, 0}, {8, 1}};
    for (auto [level, fraction] : lifts) {
        flight::KeyInput k;
        k.level = level;
        player->getCharacter().updateFromKeyboard(k);
        updateHud();
        EXPECT_NEAR(bar->getHeight(), fraction * kBarHeight, 1e-6) << level;
        EXPECT_NEAR(bar->getTop() + bar->getHeight(), kBarTop + kBarHeight, 1e-6) << level;
        EXPECT_NEAR(vTop(bar), 1 - fraction, 1e-6) << level;
    }
    flight::KeyInput beyond;
    beyond.level = 80;
    player->getCharacter().updateFromKeyboard(beyond);
    updateHud();
    EXPECT_NEAR(bar->getHeight(), kBarHeight, 1e-6);

    SoundManager manager;
    soundManager = &manager;
    struct Unset {
        ~Unset() { soundManager = nullptr; }
    } unset;
    manager.hearing = true;
    manager.peakHz = 2150.4f;
    updateHud();
    EXPECT_FALSE(noMicrophone->isVisible()); // the device is still opening
    manager.microphoneTried = true;
    manager.microphoneAvailable = true;
    updateHud();
    EXPECT_FALSE(noMicrophone->isVisible());
    EXPECT_EQ(hz->getCaption(), "2150 Hz");
    EXPECT_EQ(uLeft(lamp), 0.5f); // the lit half
    manager.hearing = false;
    updateHud();
    EXPECT_EQ(hz->getCaption(), "");
    EXPECT_EQ(uLeft(lamp), 0.0f);
    // The device went away during the game.
    manager.microphoneAvailable = false;
    updateHud();
    EXPECT_TRUE(noMicrophone->isVisible());
}

TEST_F(HudTest, ScriptsSetTheStatusLineAndATimedMessage) {
    hud = new Hud();
    Ogre::OverlayElement* status = element("Nightbite_new/Status");
    Ogre::OverlayElement* message = element("Nightbite_new/Message");
    FrameDriver frames;
    FrameInput noInput;
    frames.runFrame(0.1, noInput);
    EXPECT_FALSE(status->isVisible());
    EXPECT_FALSE(message->isVisible());

    // Non-ASCII text survives the engine's caption whole.
    EXPECT_EQ(run("hud_status('Score 12 · Größe') hud_message('Bank it!\\nNow', 0.25)"), "");
    frames.runFrame(0.1, noInput);
    EXPECT_EQ(Ogre::String(element("Nightbite_new/Status/Text")->getCaption()), "Score 12 · Größe");
    EXPECT_EQ(Ogre::String(element("Nightbite_new/Message/Text")->getCaption()), "Bank it!\nNow");
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(message->isVisible());
    EXPECT_FLOAT_EQ(message->getHeight(), 2 * 24 + 12); // two lines and the margin

    // The message goes after its game time; the status line stays.
    frames.runFrame(0.1, noInput);
    frames.runFrame(0.1, noInput);
    EXPECT_TRUE(message->isVisible());
    frames.runFrame(0.1, noInput);
    EXPECT_FALSE(message->isVisible());
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(run("hud_status('')"), "");
    frames.runFrame(0.1, noInput);
    EXPECT_FALSE(status->isVisible());

    // Bad bytes never reach the engine, whose captions throw on them.
    EXPECT_EQ(run("hud_status('a\\255\\0b')"), "");
    frames.runFrame(0.1, noInput);
    EXPECT_EQ(Ogre::String(element("Nightbite_new/Status/Text")->getCaption()), "a??b");

    EXPECT_NE(run("hud_message('x', -1)").find("bad argument #2 to 'hud_message' (seconds must not be negative)"),
              std::string::npos);
    EXPECT_NE(run("hud_message('x', 0/0)").find("bad argument #2 to 'hud_message' (finite number expected)"),
              std::string::npos);
    EXPECT_NE(run("hud_status({})").find("bad argument #1 to 'hud_status' (string expected, got table)"),
              std::string::npos);
}

TEST_F(HudTest, AMissingElementIsTheEnginesError) {
    Ogre::OverlayManager& om = Ogre::OverlayManager::getSingleton();
    Ogre::Overlay* overlay = om.getByName("Nightbite_new");
    auto* sight = static_cast<Ogre::OverlayContainer*>(element("Nightbite_new/GunSight"));
    overlay->remove2D(sight);
    om.destroyOverlayElement(sight);
    EXPECT_THROW({ Hud h; }, Ogre::Exception);
    om.destroy(overlay);
    EXPECT_THROW({ Hud h; }, Ogre::Exception);
}

} // namespace
