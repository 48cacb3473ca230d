// The display's update on a real overlay made with the engine's overlay
// manager, with the element names the game's overlay script uses. (Headless,
// no fonts are loaded: captions and colours are checked as the elements hold
// them.)
#include "player/game_fixture.h"

#include "hud/hud.h"
#include "player/player.h"
#include "util/globals.h"

#include <Ogre.h>
#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayContainer.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgreOverlaySystem.h>

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
