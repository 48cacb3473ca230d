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

void ScriptAids::setGoal(const Ogre::Vector3& point) {
    goalPoint = point;
    goalSet = true;
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

// hud_goal(x, y, z): the point the display's marker leads to while the insect
// carries blood; hud_goal() with no arguments takes the marker away.
int hud_goal(lua_State* L) {
    if (lua_gettop(L) == 0) {
        scriptAids().clearGoal();
        return 0;
    }
    scriptAids().setGoal(checkVector(L, 1));
    return 0;
}

} // namespace

extern const luaL_Reg hudAidFunctions[] = {
    {"hud_guide", hud_guide},
    {"hud_goal", hud_goal},
    {nullptr, nullptr},
};
