// The script function for the game's sound effects.
#include "audio/sound_output.h"

#include <lua.hpp>

#include <string>

namespace {

// The name is checked even when there is no sound device, so that a script
// with a misspelt name fails the same way on every machine.
int play_sound(lua_State* L) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    const std::string name(text, length);
    if (!SoundOutput::isEffect(name)) {
        // Every byte of the name: luaL_error's %s would stop at a zero byte
        // and name another sound.
        luaL_where(L, 1);
        lua_pushliteral(L, "Invalid sound (");
        lua_pushvalue(L, 1);
        lua_pushliteral(L, ") specified for play_sound");
        lua_concat(L, 4);
        return lua_error(L);
    }
    if (soundOutput)
        soundOutput->playEffect(name);
    return 0;
}

} // namespace

extern const luaL_Reg soundFunctions[] = {
    {"play_sound", play_sound},
    {nullptr, nullptr},
};
