#include "hud/script_aids.h"

#include "hud/display_text.h"
#include "script/lua_binding.h"

#include <lua.hpp>

void ScriptAids::setGuide(const char* bytes, std::size_t length) {
    std::string text = displayText(bytes, length, guideCharacters, guideLines);
    if (text == guideText)
        return;
    guideText.swap(text);
    ++changes;
}

void ScriptAids::setGoal(const Ogre::Vector3& point, bool always) {
    goalPoint = point;
    goalSet = true;
    alwaysShown = always;
}

ScriptAids& scriptAids() {
    static ScriptAids aids;
    return aids;
}

namespace {

// hud_guide(text): the guide's lines at the bottom of the screen; "" hides.
int hud_guide(lua_State* L) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    scriptAids().setGuide(text, length);
    return 0;
}

// hud_goal(x, y, z[, always]): the point the display's marker leads to while
// the insect carries blood, or at all times when always is true; hud_goal()
// with no arguments takes the marker away.
int hud_goal(lua_State* L) {
    if (lua_gettop(L) == 0) {
        scriptAids().clearGoal();
        return 0;
    }
    const Ogre::Vector3 point = checkVector(L, 1);
    scriptAids().setGoal(point, lua_toboolean(L, 4) != 0);
    return 0;
}

} // namespace

extern const luaL_Reg hudAidFunctions[] = {
    {"hud_guide", hud_guide},
    {"hud_goal", hud_goal},
    {nullptr, nullptr},
};
