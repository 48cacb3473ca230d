// Triggers: named boxes that run a script when the player is inside them,
// once per entry or, with autorepeat, on every frame inside. Main thread only.
#pragma once
#include <OgreVector.h>

#include <string>

constexpr int kTriggerSlots = 512;

struct Trigger {
    int slot = 0;
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
    std::string name;
    std::string script;
    bool autorepeat = true;
    bool inside = false;
};

// The box is open, except that its two corner points count as inside.
bool isInsideTrigger(const Trigger& trigger, const Ogre::Vector3& position);

// Runs, in slot order, the script of each trigger that position is inside
// (see Trigger::autorepeat). Trigger scripts may create and destroy triggers,
// their own included, while the check runs. Always returns true (keep going).
bool checkTriggers(const Ogre::Vector3& position);

// The first trigger in slot order of exactly that name, or null.
Trigger* findTrigger(const std::string& name);

// Creates a trigger in the lowest free slot below the count, or at the count,
// which then grows. Returns null, changing nothing, when all 512 are taken.
Trigger* createTrigger(const std::string& name, const float min[3], const float max[3],
                       const std::string& script);
void destroyTrigger(const std::string& name);

// Slots ever used: grows when a trigger needs a slot beyond it, never shrinks.
int triggerCount();
// The trigger in a slot below the count, or null when the slot is free.
Trigger* triggerInSlot(int slot);

// Destroys every trigger and sets the count back to zero. The game never does
// (triggers outlive a new game); tests do.
void clearTriggers();
