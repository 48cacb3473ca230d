// The people who walk the street: a fixed table of 512 slots, scanned in slot
// order for updates, lookups and the insect's attach test. Main thread only.
#pragma once
#include "npc/blood_type.h"

#include <OgreVector.h>

#include <string>

namespace Ogre {
class SceneNode;
class Entity;
class AnimationState;
class SceneManager;
} // namespace Ogre

constexpr int kNpcSlots = 512;

class Npc {
public:
    // Makes the entity and node called name and takes the "step", "slap" and
    // "aftersuck" animations. Throws the engine's error (name in use, mesh
    // missing or without those animations) and then leaves nothing behind.
    Npc(Ogre::SceneManager& scene, const std::string& name, const std::string& mesh,
        BloodType bloodType, bool small);
    ~Npc();
    Npc(const Npc&) = delete;
    Npc& operator=(const Npc&) = delete;

    const std::string& getName() const { return name; }
    Ogre::SceneNode* getNode() const { return node; }
    Ogre::Entity* getEntity() const { return entity; }
    Ogre::AnimationState* stepAnimation() const { return step; }
    Ogre::AnimationState* slapAnimation() const { return slap; }
    Ogre::AnimationState* aftersuckAnimation() const { return aftersuck; }

    const Ogre::Vector3& getPosition() const;
    void setPosition(const Ogre::Vector3& position);
    const Ogre::Vector3& getVelocity() const { return velocity; }

    // Walks with velocity v (units per second), facing against it; a vector
    // with every component below 30 in size stops the person instead.
    void walkTowards(const Ogre::Vector3& v);
    void startWalking();
    void stopWalking();
    void animateSlap();
    void animateAftersuck();

    BloodType getBloodType() const { return bloodType; }
    void setBloodType(BloodType t) { bloodType = t; }
    double getAnnoyanceLevel() const { return annoyanceLevel; }
    void setAnnoyanceLevel(double level) { annoyanceLevel = level; }

    // Move, animate, fall and collide, keep apart from the others.
    void update(float dt);

private:
    friend Npc* createNpc(const std::string&, const std::string&, BloodType, bool);
    friend void destroyNpc(Npc*);
    void halfTurn();

    Ogre::SceneManager& scene;
    std::string name;
    Ogre::Entity* entity = nullptr;
    Ogre::SceneNode* node = nullptr;
    Ogre::AnimationState* step = nullptr;
    Ogre::AnimationState* slap = nullptr;
    Ogre::AnimationState* aftersuck = nullptr;
    Ogre::Vector3 velocity = Ogre::Vector3::ZERO;
    BloodType bloodType = 0;
    double annoyanceLevel = 0.0;
    int slot = -1;
};

// Empties every slot (destroying the people in it).
void clearNpcTable();
bool npcTableFull();
// Makes a person in the game's scene and stores it in the lowest empty slot. Throws
// std::runtime_error("Too many people") when the table is full, and the
// engine's error when the name is in use or the mesh unusable; in every such
// case nothing is created and the table is unchanged.
Npc* createNpc(const std::string& name, const std::string& mesh, BloodType bloodType, bool small);
void destroyNpc(Npc* npc);
// The first person of that exact name, in slot order, or null.
Npc* findNpc(const std::string& name);
Npc* npcAt(int slot);
// Updates every person, in slot order.
void updateNpcs(float dt);
// The first person (slot order) within reach of an insect at p, or null.
Npc* findNpcInReach(const Ogre::Vector3& p);

// How many of the people (table positions) are horizontally closer than 60
// to (x, z): exactly sqrt(dx*dx + dz*dz) < 60 in single precision.
int countPeopleWithin60(float x, float z);

struct luaL_Reg;
extern const luaL_Reg npcFunctions[];
