// The people's script functions. Every one but npc_create finds its person by
// name; a name nobody has makes getters give nil and the others do nothing.
#include "npc/npc.h"
#include "script/lua_binding.h"
#include "world/collision_zones.h"
#include "world/world_bounds.h"

#include <cmath>
#include <string>

namespace {

// Faster than anything walks; far larger velocities overflow the turn
// towards the walking direction and the animation clock.
constexpr float kMaxWalkSpeed = 1e6f;

BloodType checkBloodType(lua_State* L, int arg) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, arg, &length);
    return parseBloodTypeLenient(text, length);
}

float checkVelocity(lua_State* L, int arg) {
    float v = checkFiniteFloat(L, arg);
    if (std::fabs(v) > kMaxWalkSpeed)
        luaL_argerror(L, arg, "walking speed out of range");
    return v;
}

int npc_create(lua_State* L) {
    BloodType type = checkBloodType(L, 3);
    bool small = lua_toboolean(L, 4) != 0;
    std::string mesh = checkStoredName(L, 2);
    std::string name = checkStoredName(L, 1);
    if (npcTableFull())
        return luaL_error(L, "Too many people");
    // The engine refuses a name in use or a mesh it cannot load or animate;
    // its text becomes the script error and nothing is left behind.
    return guardedCall(L, [&] {
        createNpc(name, mesh, type, small);
        return 0;
    });
}

int npc_walk_towards(lua_State* L) {
    float x = checkVelocity(L, 2);
    float y = checkVelocity(L, 3);
    float z = checkVelocity(L, 4);
    std::string name = checkName(L, 1);
    if (Npc* npc = findNpc(name))
        npc->walkTowards(Ogre::Vector3(x, y, z));
    return 0;
}

int npc_set_position(lua_State* L) {
    float x = checkFiniteFloat(L, 2);
    float y = checkFiniteFloat(L, 3);
    float z = checkFiniteFloat(L, 4);
    std::string name = checkName(L, 1);
    Npc* npc = findNpc(name);
    if (!npc)
        return 0;
    const Ogre::Vector3 p = clampToWorld(Ogre::Vector3(x, y, z));
    npc->setPosition(p);
    Ogre::Vector3 corrected;
    bool onTop = false;
    if (resolveZoneCollisions(p, corrected, onTop))
        npc->setPosition(corrected);
    return 0;
}

template <void (Npc::*action)()> int onNpc(lua_State* L) {
    if (Npc* npc = findNpc(checkName(L, 1)))
        (npc->*action)();
    return 0;
}

int npc_get_bloodtype(lua_State* L) {
    Npc* npc = findNpc(checkName(L, 1));
    const char* name = npc ? bloodTypeName(npc->getBloodType()) : nullptr;
    if (name)
        lua_pushstring(L, name);
    else
        lua_pushnil(L);
    return 1;
}

int npc_set_bloodtype(lua_State* L) {
    const std::string name = checkName(L, 1);
    // Reading the type may run the collector (a number argument becomes a
    // string), and a finalizer with it; the person is looked up after.
    BloodType type = checkBloodType(L, 2);
    if (Npc* npc = findNpc(name))
        npc->setBloodType(type);
    return 0;
}

int npc_get_annoyancelevel(lua_State* L) {
    if (Npc* npc = findNpc(checkName(L, 1)))
        lua_pushnumber(L, npc->getAnnoyanceLevel());
    else
        lua_pushnil(L);
    return 1;
}

int npc_set_annoyancelevel(lua_State* L) {
    if (Npc* npc = findNpc(checkName(L, 1)))
        npc->setAnnoyanceLevel(luaL_checknumber(L, 2));
    return 0;
}

} // namespace

extern const luaL_Reg npcFunctions[] = {
    {"npc_create", npc_create},
    {"npc_walk_towards", npc_walk_towards},
    {"npc_set_position", npc_set_position},
    {"npc_start_walking", onNpc<&Npc::startWalking>},
    {"npc_stop_walking", onNpc<&Npc::stopWalking>},
    {"npc_animate_slap", onNpc<&Npc::animateSlap>},
    {"npc_animate_aftersuck", onNpc<&Npc::animateAftersuck>},
    {"npc_get_bloodtype", npc_get_bloodtype},
    {"npc_set_bloodtype", npc_set_bloodtype},
    {"npc_get_annoyancelevel", npc_get_annoyancelevel},
    {"npc_set_annoyancelevel", npc_set_annoyancelevel},
    {nullptr, nullptr},
};
