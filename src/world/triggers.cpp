#include "world/triggers.h"

#include "script/host_work.h"
#include "script/script_host.h"

#include <array>
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
            reportScriptNotFound(script.c_str());
            continue;
        }
        runScript(script.c_str(), {{"trigger", name.c_str()}});
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

Trigger* triggerInSlot(int slot) {
    return slot >= 0 && slot < triggersUsed ? triggers[slot].get() : nullptr;
}
