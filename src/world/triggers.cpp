#include "world/triggers.h"

#include "script/script_host.h"
#include "script/lua_binding.h"
#include "world/world_script.h"

#include <array>
#include <cstdio>
#include <memory>

namespace {

std::array<std::unique_ptr<Trigger>, kTriggerSlots> triggers;
int triggersUsed = 0; // the count: only slots below it are ever looked at

bool equalsCorner(const float corner[3], const Ogre::Vector3& p) {
    return p.x == corner[0] && p.y == corner[1] && p.z == corner[2];
}

} // namespace

bool isInsideTrigger(const Trigger& t, const Ogre::Vector3& p) {
    const bool aboveMin =
        equalsCorner(t.min, p) || (t.min[0] < p.x && t.min[1] < p.y && t.min[2] < p.z);
    const bool belowMax =
        equalsCorner(t.max, p) || (p.x < t.max[0] && p.y < t.max[1] && p.z < t.max[2]);
    return aboveMin && belowMax;
}

bool checkTriggers(const Ogre::Vector3& position) {
    // The count is read again on every step: a trigger script may add
    // triggers beyond it, and those are visited in this same pass.
    for (int slot = 0; slot < triggersUsed; ++slot) {
        Trigger* t = triggers[slot].get();
        if (!t)
            continue;
        if (!isInsideTrigger(*t, position)) {
            t->inside = false;
            continue;
        }
        if (!t->autorepeat && t->inside)
            continue;
        t->inside = true;
        // The script may destroy this very trigger; nothing below touches it.
        const std::string script = t->script;
        const std::string name = t->name;
        if (script.find('\0') != std::string::npos) {
            // Script names come from file names and hold no zero byte, so
            // this one names no script; handing its first part to the host
            // would run a different script.
            std::fprintf(stderr, "Couldn't execute script %s: script not found\n", script.c_str());
            continue;
        }
        runScript(script.c_str(), "trigger", name.c_str(), nullptr);
    }
    return true;
}

Trigger* findTrigger(const std::string& name) {
    for (int slot = 0; slot < triggersUsed; ++slot)
        if (triggers[slot] && triggers[slot]->name == name)
            return triggers[slot].get();
    return nullptr;
}

Trigger* createTrigger(const std::string& name, const float min[3], const float max[3],
                       const std::string& script) {
    int slot = 0;
    while (slot < triggersUsed && triggers[slot])
        ++slot;
    if (slot == kTriggerSlots)
        return nullptr;
    auto t = std::make_unique<Trigger>();
    t->slot = slot;
    t->name = name;
    t->script = script;
    for (int i = 0; i < 3; ++i) {
        t->min[i] = min[i];
        t->max[i] = max[i];
    }
    triggers[slot] = std::move(t);
    if (slot == triggersUsed)
        ++triggersUsed;
    return triggers[slot].get();
}

void destroyTrigger(const std::string& name) {
    if (Trigger* t = findTrigger(name))
        triggers[t->slot].reset();
}

int triggerCount() {
    return triggersUsed;
}

void clearTriggers() {
    for (auto& t : triggers)
        t.reset();
    triggersUsed = 0;
}

// ---- Script functions ------------------------------------------------------

namespace {

Trigger* checkExistingTrigger(lua_State* L, int arg) {
    const std::string name = checkName(L, arg);
    Trigger* t = findTrigger(name);
    if (!t)
        raiseNamed(L, "Trigger by name ", name, " not found");
    return t;
}

// Reads its arguments from the last to the first. The corners are stored as
// given, NaN and infinities included: a comparison with NaN is false, so such
// a box holds no position, and nothing from a trigger reaches the scene.
int createTriggerScript(lua_State* L) {
    const std::string script = checkStoredName(L, 8);
    double corners[6];
    for (int arg = 7; arg >= 2; --arg)
        corners[arg - 2] = luaL_checknumber(L, arg);
    const std::string name = checkStoredName(L, 1);
    const float min[3] = {float(corners[0]), float(corners[1]), float(corners[2])};
    const float max[3] = {float(corners[3]), float(corners[4]), float(corners[5])};
    if (!createTrigger(name, min, max, script))
        return luaL_error(L, "Too many triggers");
    return 0;
}

int destroyTriggerScript(lua_State* L) {
    destroyTrigger(checkName(L, 1));
    return 0;
}

int triggerExists(lua_State* L) {
    lua_pushboolean(L, findTrigger(checkName(L, 1)) != nullptr);
    return 1;
}

int getAllTriggers(lua_State* L) {
    lua_newtable(L);
    int key = 1;
    for (int slot = 0; slot < triggersUsed; ++slot) {
        if (triggers[slot]) {
            pushName(L, triggers[slot]->name);
            lua_rawseti(L, -2, key++);
        }
    }
    return 1;
}

int getTriggerBbox(lua_State* L) {
    const Trigger* t = findTrigger(checkName(L, 1));
    if (!t) {
        lua_pushnil(L);
        return 1;
    }
    const double box[6] = {t->min[0], t->min[1], t->min[2], t->max[0], t->max[1], t->max[2]};
    pushNumberTable(L, box, 6);
    return 1;
}

int getTriggerScript(lua_State* L) {
    pushName(L, checkExistingTrigger(L, 1)->script);
    return 1;
}

int getTriggerAutorepeat(lua_State* L) {
    lua_pushboolean(L, checkExistingTrigger(L, 1)->autorepeat);
    return 1;
}

int setTriggerAutorepeat(lua_State* L) {
    Trigger* t = checkExistingTrigger(L, 1);
    t->autorepeat = lua_toboolean(L, 2);
    return 0;
}

} // namespace

extern const luaL_Reg triggerFunctions[] = {
    {"create_trigger", createTriggerScript},
    {"destroy_trigger", destroyTriggerScript},
    {"trigger_exists", triggerExists},
    {"get_all_triggers", getAllTriggers},
    {"get_trigger_bbox", getTriggerBbox},
    {"get_trigger_script", getTriggerScript},
    {"get_trigger_autorepeat", getTriggerAutorepeat},
    {"set_trigger_autorepeat", setTriggerAutorepeat},
    {nullptr, nullptr},
};
