// The script functions that put text on the display.
#include "hud/display_text.h"
#include "script/lua_binding.h"

#include <lua.hpp>

namespace {

// hud_message(text, seconds): a message in the middle of the screen for the
// given seconds of game time (math.huge: until replaced); "" clears it.
int hud_message(lua_State* L) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    const double seconds = checkSaturatedNumber(L, 2);
    if (seconds < 0)
        return luaL_argerror(L, 2, "seconds must not be negative");
    hudText().showMessage(text, length, seconds);
    return 0;
}

// hud_status(text): the status line at the top of the screen; "" clears it.
int hud_status(lua_State* L) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    hudText().setStatus(text, length);
    return 0;
}

} // namespace

extern const luaL_Reg hudFunctions[] = {
    {"hud_message", hud_message},
    {"hud_status", hud_status},
    {nullptr, nullptr},
};
