// The player's script functions. All act on the one Player of the game.
#include "npc/npc.h"
#include "player/player.h"
#include "script/lua_binding.h"

#include <OgreMatrix3.h>
#include <OgreSceneNode.h>

#include <memory>

namespace {

Player& thePlayer(lua_State* L) {
    if (!player)
        luaL_error(L, "The player does not exist yet");
    return *player;
}

PlayerCharacter& insect(lua_State* L) { return thePlayer(L).getCharacter(); }

int get_player_position(lua_State* L) {
    pushVector(L, insect(L).getPosition());
    return 1;
}

int set_player_position(lua_State* L) {
    Ogre::Vector3 p = checkVector(L, 1);
    insect(L).setPosition(p);
    return 0;
}

int get_player_speed(lua_State* L) {
    pushVector(L, insect(L).getSpeed());
    return 1;
}

int set_player_speed(lua_State* L) {
    Ogre::Vector3 s = checkVector(L, 1);
    insect(L).setSpeed(s);
    return 0;
}

// Nine numbers: the columns of the rotation matrix, local X, Y and Z axes.
int get_player_orientation(lua_State* L) {
    Ogre::Matrix3 m;
    insect(L).getOrientation().ToRotationMatrix(m);
    double values[9];
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            values[c * 3 + r] = m[r][c];
    pushNumberTable(L, values, 9);
    return 1;
}

int set_player_orientation(lua_State* L) {
    Ogre::Matrix3 m;
    for (int c = 0; c < 3; ++c)
        m.SetColumn(c, checkVector(L, 1 + c * 3));
    Ogre::Quaternion q(m);
    // A matrix far from a rotation can give a quaternion the engine cannot
    // normalise; it would abort the game.
    const Ogre::Real norm = q.Norm();
    if (q.isNaN() || !std::isfinite(norm) || norm == 0)
        luaL_error(L, "Invalid orientation specified for set_player_orientation");
    insect(L).setOrientation(q);
    return 0;
}

int get_player_health(lua_State* L) {
    lua_pushnumber(L, thePlayer(L).getHealth());
    return 1;
}

int set_player_health(lua_State* L) {
    double v = checkSaturatedNumber(L, 1);
    thePlayer(L).setHealth(truncateToInt32(v));
    return 0;
}

int get_player_thrust(lua_State* L) {
    lua_pushnumber(L, insect(L).getThrust());
    return 1;
}

int set_player_thrust(lua_State* L) {
    double v = checkSaturatedNumber(L, 1);
    insect(L).setThrust(v);
    return 0;
}

int get_player_bloodtype(lua_State* L) {
    const char* name = bloodTypeName(thePlayer(L).getBloodType());
    if (name)
        lua_pushstring(L, name);
    else
        lua_pushnil(L);
    return 1;
}

int set_player_bloodtype(lua_State* L) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    BloodType type = 0;
    if (!parseBloodType(text, length, type))
        raiseNamed(L, "Invalid bloodtype (", std::string(text, length),
                   ") specified for set_player_bloodtype");
    thePlayer(L).setBloodType(type);
    return 0;
}

int get_player_bloodlevel(lua_State* L) {
    lua_pushnumber(L, thePlayer(L).getBloodLevel());
    return 1;
}

int set_player_bloodlevel(lua_State* L) {
    double v = checkSaturatedNumber(L, 1);
    thePlayer(L).setBloodLevel(v);
    return 0;
}

int get_player_powerups(lua_State* L) {
    Player& p = thePlayer(L);
    lua_createtable(L, 0, 0);
    int n = 0;
    for (int i = 0; i < kPowerupSlots; ++i) {
        if (const Powerup* up = p.powerupAt(i)) {
            pushName(L, up->name());
            lua_rawseti(L, -2, ++n);
        }
    }
    return 1;
}

// Registering keeps one powerup per name: an older one of the same name goes.
int register_player_powerup(lua_State* L) {
    const std::string stored = checkStoredName(L, 1);
    const char* name = stored.c_str(); // a powerup's name ends at a zero byte
    Player& p = thePlayer(L);
    p.removePowerup(name);
    bool added = guardedCall(L, [&] {
        return p.addPowerup(std::make_unique<NamedPowerup>(name)) ? 1 : 0;
    });
    if (!added)
        return luaL_error(L, "Too many powerups");
    return 0;
}

int unregister_player_powerup(lua_State* L) {
    const char* name = luaL_checkstring(L, 1);
    thePlayer(L).removePowerup(name);
    return 0;
}

int get_currently_sucked_npc(lua_State* L) {
    Npc* npc = insect(L).getSuckedNpc();
    if (npc) {
        pushName(L, npc->getName());
    } else {
        lua_pushnil(L);
    }
    return 1;
}

// set_player_heading(angle): the insect faces and flies along the heading,
// radians about the vertical (0 along +Z, pi/2 along +X).
int set_player_heading(lua_State* L) {
    const float angle = checkFiniteFloat(L, 1);
    insect(L).setHeading(angle);
    return 0;
}

} // namespace

extern const luaL_Reg playerHeadingFunctions[] = {
    {"set_player_heading", set_player_heading},
    {nullptr, nullptr},
};

extern const luaL_Reg playerFunctions[] = {
    {"get_player_position", get_player_position},
    {"set_player_position", set_player_position},
    {"get_player_speed", get_player_speed},
    {"set_player_speed", set_player_speed},
    {"get_player_orientation", get_player_orientation},
    {"set_player_orientation", set_player_orientation},
    {"get_player_health", get_player_health},
    {"set_player_health", set_player_health},
    {"get_player_thrust", get_player_thrust},
    {"set_player_thrust", set_player_thrust},
    {"get_player_bloodtype", get_player_bloodtype},
    {"set_player_bloodtype", set_player_bloodtype},
    {"get_player_bloodlevel", get_player_bloodlevel},
    {"set_player_bloodlevel", set_player_bloodlevel},
    {"get_player_powerups", get_player_powerups},
    {"register_player_powerup", register_player_powerup},
    {"unregister_player_powerup", unregister_player_powerup},
    {"get_currently_sucked_npc", get_currently_sucked_npc},
    {nullptr, nullptr},
};
