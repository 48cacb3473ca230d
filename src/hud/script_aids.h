// What the scripts tell the display beyond its status line and message: the
// guide's text, and the goal that the marker points to while the insect
// carries blood. Kept without the engine, so that scripts run the same with
// no window.
#pragma once
#include <OgreVector.h>

#include <cstddef>
#include <string>

class ScriptAids {
public:
    static constexpr std::size_t guideCharacters = 56;
    static constexpr std::size_t guideLines = 3;

    // Up to three lines of the guide; an empty text hides it.
    void setGuide(const char* bytes, std::size_t length);
    const std::string& guide() const { return guideText; }
    // Bumped on every change of the guide, so that the display recaptions
    // only then.
    unsigned guideVersion() const { return changes; }

    // always: the marker shows even while the insect carries nothing.
    void setGoal(const Ogre::Vector3& point, bool always = false);
    void clearGoal() { goalSet = false; }
    bool hasGoal() const { return goalSet; }
    bool goalAlways() const { return goalSet && alwaysShown; }
    const Ogre::Vector3& goal() const { return goalPoint; }

private:
    std::string guideText;
    unsigned changes = 0;
    bool goalSet = false;
    bool alwaysShown = false;
    Ogre::Vector3 goalPoint = Ogre::Vector3::ZERO;
};

// The game's one, written by scripts and read by the display.
ScriptAids& scriptAids();

// hud_guide and hud_goal.
struct luaL_Reg;
extern const luaL_Reg hudAidFunctions[];
