#include "hud/display_aids.h"

#include "hud/hud.h"
#include "hud/screen_marks.h"
#include "hud/script_aids.h"
#include "npc/npc.h"
#include "player/player.h"

#include <OgreCamera.h>
#include <Overlay/OgreFont.h>
#include <Overlay/OgreFontManager.h>
#include <Overlay/OgreOverlay.h>
#include <Overlay/OgreOverlayContainer.h>
#include <Overlay/OgreOverlayManager.h>
#include <Overlay/OgrePanelOverlayElement.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// What a label says: the person's blood type, and "×2" when it is the
// player's own, which drinks twice as fast.
const char* const kLabelCaptions[2][4] = {
    {"type 0", "type A", "type B", "type AB"},
    {"type 0 ×2", "type A ×2", "type B ×2", "type AB ×2"},
};
const Ogre::ColourValue kOtherType(1.0f, 1.0f, 1.0f);
const Ogre::ColourValue kOwnType(0.45f, 1.0f, 0.45f);
// Above a person's reference point (115 above the feet, the head ending some
// 65 higher) the label hangs clear of the head.
const Ogre::Vector3 kLabelAbovePerson(0, 95, 0);
constexpr float kArrowSize = 40.0f;
constexpr float kSteeringSize = 32.0f;
constexpr float kLabelHeight = 22.0f;
// A label's backing: its text's height, and a margin each side of the text.
constexpr float kBackingHeight = 26.0f;
constexpr float kBackingMargin = 6.0f;
// The display's panels that the labels and the goal marker keep off.
const char* const kPanelNames[] = {
    "Nightbite_new/Elements",   "Nightbite_new/Status",     "Nightbite_new/Message",
    "Nightbite_new/BloodMeter", "Nightbite_new/LevelMeter", "Nightbite_new/Hearing",
    "Nightbite_new/NoMicrophone", "Nightbite_aids/Guide",
};

// The width of a line of text as the game's font draws it (spaces are
// spaceWidth wide), to fit a backing to it. Made on a change of text only.
float textWidth(const char* utf8, float charHeight, float spaceWidth) {
    Ogre::FontPtr font = Ogre::FontManager::getSingleton().getByName("NightbiteFont");
    if (font)
        font->load();
    float width = 0;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(utf8); *c;) {
        Ogre::Font::CodePoint point = *c++;
        if (point >= 0xC0) {
            const int more = point >= 0xE0 ? 2 : 1;
            point &= more == 2 ? 0x0F : 0x1F;
            for (int i = 0; i < more && (*c & 0xC0) == 0x80; ++i)
                point = (point << 6) | (*c++ & 0x3F);
        }
        width += point == ' ' ? spaceWidth
                              : (font ? font->getGlyphAspectRatio(point) : 0.5f) * charHeight;
    }
    return width;
}

// An element's box on the window, from its pixel metrics and alignment.
PixelBox boxOf(const Ogre::OverlayElement* e, float width, float height) {
    float x = e->getLeft(), y = e->getTop();
    if (e->getHorizontalAlignment() == Ogre::GHA_CENTER)
        x += 0.5f * width;
    else if (e->getHorizontalAlignment() == Ogre::GHA_RIGHT)
        x += width;
    if (e->getVerticalAlignment() == Ogre::GVA_CENTER)
        y += 0.5f * height;
    else if (e->getVerticalAlignment() == Ogre::GVA_BOTTOM)
        y += height;
    return {x, y, x + e->getWidth(), y + e->getHeight()};
}

Ogre::PanelOverlayElement* panel(Ogre::OverlayManager& overlays, const char* name) {
    Ogre::OverlayElement* e = overlays.getOverlayElement(name);
    if (e->getTypeName() != "Panel")
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, std::string(name) + " is not a Panel",
                    "DisplayAids");
    return static_cast<Ogre::PanelOverlayElement*>(e);
}

void showAt(Ogre::OverlayElement* e, float x, float y) {
    e->setPosition(x, y);
    if (!e->isVisible())
        e->show();
}

void hide(Ogre::OverlayElement* e) {
    if (e->isVisible())
        e->hide();
}

} // namespace

DisplayAids::DisplayAids() {
    Ogre::OverlayManager& overlays = Ogre::OverlayManager::getSingleton();
    overlay = overlays.getByName("Nightbite_aids");
    if (!overlay)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Overlay Nightbite_aids not found",
                    "DisplayAids");
    centre = overlays.getOverlayElement("Nightbite_aids/Centre");
    steering = overlays.getOverlayElement("Nightbite_aids/Steering");
    goalArrow = panel(overlays, "Nightbite_aids/Goal");
    goalLabel = overlays.getOverlayElement("Nightbite_aids/GoalLabel");
    goalDistance = overlays.getOverlayElement("Nightbite_aids/Goal/Distance");
    for (int i = 0; i < kPanels; ++i)
        panels[i] = overlays.getOverlayElement(kPanelNames[i]);
    Ogre::OverlayElement* peopleElement = overlays.getOverlayElement("Nightbite_aids/People");
    if (!peopleElement->isContainer())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Nightbite_aids/People is no container",
                    "DisplayAids");
    people = static_cast<Ogre::OverlayContainer*>(peopleElement);
    annoyance = overlays.getOverlayElement("Nightbite_aids/Annoyance");
    annoyanceFill = panel(overlays, "Nightbite_aids/Annoyance/Fill");
    annoyanceFillWidth = annoyanceFill->getWidth();
    guidePanel = overlays.getOverlayElement("Nightbite_aids/Guide");
    guideText = overlays.getOverlayElement("Nightbite_aids/Guide/Text");
    guideLineHeight = guideText->getHeight();
    guidePadding = guidePanel->getHeight() - guideLineHeight;
    guideBottomGap = -(guidePanel->getTop() + guidePanel->getHeight());

    for (int i = 0; i < kLabels; ++i) {
        const std::string name = "Nightbite_aids/People/Label" + std::to_string(i);
        auto* backing = static_cast<Ogre::OverlayContainer*>(
            overlays.createOverlayElement("Panel", name + "/Backing"));
        backing->setMetricsMode(Ogre::GMM_PIXELS);
        backing->setDimensions(160, kBackingHeight);
        backing->setMaterialName("Nightbite/HUD/Backdrop");
        Ogre::OverlayElement* text = overlays.createOverlayElementFromTemplate(
            "Nightbite_aids/LabelTemplate", "TextArea", name);
        // A copy from a template may take its numbers before its metrics.
        text->setMetricsMode(Ogre::GMM_PIXELS);
        text->setDimensions(160, kLabelHeight);
        text->setParameter("char_height", "22");
        text->setParameter("space_width", "7");
        text->setTop(0.5f * (kBackingHeight - kLabelHeight));
        backing->addChild(text);
        backing->hide();
        people->addChild(backing);
        labels[i].backing = backing;
        labels[i].text = text;
    }
    for (int caption = 0; caption < 8; ++caption)
        captionWidth[caption] =
            textWidth(kLabelCaptions[caption / 4][caption % 4], kLabelHeight, 7) +
            2 * kBackingMargin;
    for (Ogre::OverlayElement* e : {steering, static_cast<Ogre::OverlayElement*>(goalArrow),
                                    goalLabel, annoyance, guidePanel})
        e->hide();
    placeClimbMark();
    overlay->show();
}

// The mark sits on the blood meter where the bar stands at the climbing
// limit, by the bar's own arithmetic (100 fills the height the overlay gave
// the bar, growing up from its bottom edge).
void DisplayAids::placeClimbMark() {
    Ogre::OverlayElement* mark = Ogre::OverlayManager::getSingleton().getOverlayElement(
        "Nightbite_new/BloodMeter/ClimbMark");
    if (!hud)
        return;
    const double barTop = hud->bloodBarBase() - kClimbMarkLoad * 0.01 * hud->bloodBarFull();
    mark->setTop(static_cast<Ogre::Real>(barTop - 0.5 * mark->getHeight()));
}

void DisplayAids::update(const AidValues& values) {
    Ogre::OverlayManager& overlays = Ogre::OverlayManager::getSingleton();
    const float width = static_cast<float>(overlays.getViewportWidth());
    const float height = static_cast<float>(overlays.getViewportHeight());
    updateGuide();
    if (width <= 0 || height <= 0)
        return;
    updateSteering(values, width, height);
    Ogre::Matrix4 viewProjection;
    const Ogre::Matrix4* vp = nullptr;
    if (values.camera) {
        viewProjection = values.camera->getProjectionMatrix() * values.camera->getViewMatrix();
        vp = &viewProjection;
    }
    updateGoal(values, vp, width, height);
    updateLabels(values, vp, width, height);
}

void DisplayAids::updateSteering(const AidValues& values, float width, float height) {
    // Holding on to a person the insect does not steer, and the host's label
    // is where the mark would be.
    if (values.host) {
        hide(centre);
        hide(steering);
        return;
    }
    if (values.firstPerson)
        hide(centre);
    else if (!centre->isVisible())
        centre->show();
    const float x = 0.5f * width * (1.0f + static_cast<float>(values.steerX));
    const float y = 0.5f * height * (1.0f + static_cast<float>(values.steerY));
    if (std::isfinite(x) && std::isfinite(y))
        showAt(steering, x - 0.5f * kSteeringSize, y - 0.5f * kSteeringSize);
}

void DisplayAids::updateGoal(const AidValues& values, const Ogre::Matrix4* vp, float width,
                             float height) {
    const ScriptAids& aids = scriptAids();
    if (!vp || !aids.hasGoal() || !(values.bloodLevel > 0 || aids.goalAlways())) {
        hide(goalArrow);
        hide(goalLabel);
        return;
    }
    // Clear of the texts at the top, the meters on the right and the guide
    // at the bottom left.
    const ArrowBounds bounds{40, 230, std::max(60.0f, width - 210), std::max(250.0f, height - 150)};
    const EdgeArrow arrow = edgeArrow(projectToScreen(*vp, aids.goal(), width, height), bounds);
    const float x = arrow.x - 0.5f * kArrowSize;
    const float y = arrow.y - (arrow.onScreen ? kArrowSize + 8 : 0.5f * kArrowSize);
    const float u = 0.25f * static_cast<float>(arrow.direction % 4);
    const float v = 0.25f * static_cast<float>(arrow.direction / 4);
    goalArrow->setUV(u, v, u + 0.25f, v + 0.25f);
    // The arrow keeps off the panels too, nearest to where it points from.
    const std::size_t panelCount = gatherPanels(width, height);
    const LabelPlace at = placeLabel({x, y, x + kArrowSize, y + kArrowSize}, width, height,
                                     panelBoxes, panelCount);
    if (!at.shown) {
        hide(goalArrow);
        hide(goalLabel);
        return;
    }
    showAt(goalArrow, at.left, at.top);

    const int metres = static_cast<int>(std::lround(aids.goal().distance(values.insect) / 100.0));
    if (metres != shownDistance) {
        shownDistance = metres;
        char text[32];
        std::snprintf(text, sizeof text, "nest %d m", std::min(metres, 99999));
        goalDistance->setCaption(text);
        goalLabelWidth = textWidth(text, kLabelHeight, 7) + 2 * kBackingMargin;
        goalLabel->setWidth(goalLabelWidth);
        goalDistance->setLeft(0.5f * goalLabelWidth);
    }
    placeGoalLabel({at.left, at.top, at.left + kArrowSize, at.top + kArrowSize}, width, height,
                   panelCount);
}

// Under the arrow when there is room, else wherever is nearest and clear of
// the panels and of the arrow itself.
void DisplayAids::placeGoalLabel(const PixelBox& arrowBox, float width, float height,
                                 std::size_t panelCount) {
    panelBoxes[panelCount] = arrowBox;
    const float left = 0.5f * (arrowBox.left + arrowBox.right - goalLabelWidth);
    const float top = arrowBox.bottom + 2;
    const LabelPlace at = placeLabel({left, top, left + goalLabelWidth, top + kBackingHeight},
                                     width, height, panelBoxes, panelCount + 1);
    if (at.shown)
        showAt(goalLabel, at.left, at.top);
    else
        hide(goalLabel);
}

std::size_t DisplayAids::gatherPanels(float width, float height) {
    std::size_t count = 0;
    for (const Ogre::OverlayElement* e : panels)
        if (e->isVisible())
            panelBoxes[count++] = boxOf(e, width, height);
    return count;
}

void DisplayAids::showLabel(Label& label, int caption, float left, float top) {
    if (caption != label.shown) {
        label.shown = caption;
        label.text->setCaption(kLabelCaptions[caption / 4][caption % 4]);
        label.text->setColour(caption >= 4 ? kOwnType : kOtherType);
        label.backing->setWidth(captionWidth[caption]);
        label.text->setLeft(0.5f * captionWidth[caption]); // the centre of the text
    }
    showAt(label.backing, left, top);
}

void DisplayAids::updateLabels(const AidValues& values, const Ogre::Matrix4* vp, float width,
                               float height) {
    int used = 0;
    bool hostShown = false;
    const std::size_t panelCount = vp ? gatherPanels(width, height) : 0;
    for (int slot = 0; vp && slot < kNpcSlots && used < kLabels; ++slot) {
        const Npc* npc = npcAt(slot);
        if (!npc)
            continue;
        const Ogre::Vector3 anchor = npc->getPosition() + kLabelAbovePerson;
        const float dx = anchor.x - values.insect.x, dz = anchor.z - values.insect.z;
        if (dx * dx + dz * dz > kLabelRange * kLabelRange && npc != values.host)
            continue;
        const ScreenPoint s = projectToScreen(*vp, anchor, width, height);
        if (!s.inFront || s.x < 0 || s.x > width || s.y < 0 || s.y > height)
            continue;
        const BloodType type = std::clamp(npc->getBloodType(), 0, 3);
        const int caption = type + (type == values.bloodType ? 4 : 0);
        // The label over the person, and the host's bar under it: kept
        // together, inside the window and off the panels.
        const bool host = npc == values.host;
        const float barWidth = annoyance->getWidth(), barHeight = annoyance->getHeight();
        const float w = host ? std::max(captionWidth[caption], barWidth) : captionWidth[caption];
        const float h = kBackingHeight + (host ? 4 + barHeight : 0);
        const float top = s.y - kBackingHeight;
        const LabelPlace at = placeLabel({s.x - 0.5f * w, top, s.x + 0.5f * w, top + h}, width,
                                         height, panelBoxes, panelCount);
        if (!at.shown)
            continue;
        const float centre = at.left + 0.5f * w;
        showLabel(labels[used++], caption, centre - 0.5f * captionWidth[caption], at.top);
        if (host) {
            hostShown = true;
            const double level = npc->getAnnoyanceLevel();
            const float fill = level > 1 ? 1.0f : (level > 0 ? static_cast<float>(level) : 0.0f);
            annoyanceFill->setWidth(fill * annoyanceFillWidth);
            annoyanceFill->setUV(0, 0, fill, 1);
            showAt(annoyance, centre - 0.5f * barWidth, at.top + kBackingHeight + 4);
        }
    }
    for (int i = used; i < kLabels; ++i) {
        hide(labels[i].backing);
        labels[i].shown = -1;
    }
    if (!hostShown)
        hide(annoyance);
}

void DisplayAids::updateGuide() {
    const ScriptAids& aids = scriptAids();
    if (aids.guideVersion() == shownGuideVersion)
        return;
    shownGuideVersion = aids.guideVersion();
    const std::string& text = aids.guide();
    guideText->setCaption(text);
    if (text.empty() || guideHidden) {
        hide(guidePanel);
        return;
    }
    const float lines = 1.0f + static_cast<float>(std::count(text.begin(), text.end(), '\n'));
    const float h = lines * guideLineHeight + guidePadding;
    guidePanel->setHeight(h);
    guidePanel->setTop(-(h + guideBottomGap));
    guidePanel->show();
}

void DisplayAids::setGuideHidden(bool hidden) {
    guideHidden = hidden;
    shownGuideVersion = ~0u; // shown or hidden again at the next update
    if (hidden)
        hide(guidePanel);
    else
        updateGuide();
}

DisplayAids* displayAids = nullptr;

DisplayAids* makeDisplayAids() {
    if (!Ogre::OverlayManager::getSingleton().getByName("Nightbite_aids")) {
        std::fprintf(stderr, "No overlay Nightbite_aids in the media: the game runs without its "
                             "steering mark, labels, goal marker and guide\n");
        return nullptr;
    }
    return new DisplayAids();
}

void updateDisplayAids(const flight::MouseInput& mouse, const Ogre::Camera* camera) {
    if (!displayAids || !player)
        return;
    PlayerCharacter& insect = player->getCharacter();
    AidValues values;
    values.steerX = flight::mouseAxis(mouse.x, mouse.width);
    values.steerY = flight::mouseAxis(mouse.y, mouse.height);
    values.firstPerson = insect.isFirstPerson();
    values.camera = camera;
    values.insect = insect.getPosition();
    values.bloodLevel = player->getBloodLevel();
    values.bloodType = player->getBloodType();
    values.host = insect.getSuckedNpc();
    displayAids->update(values);
}
