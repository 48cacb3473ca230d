#include "npc/npc.h"

#include "npc/reach.h"
#include "npc/spacing.h"
#include "util/globals.h"
#include "world/collision_zones.h"
#include "world/world_bounds.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <typeinfo>

namespace {

constexpr float kFallSpeed = 100.0f;
constexpr float kLowestY = 115.0f;
constexpr double kStepRate = 0.01;
constexpr float kGestureRate = 0.4f;
constexpr float kStopBelow = 30.0f;
const Ogre::Vector3 kScaleNormal(18, 18, 16);
const Ogre::Vector3 kScaleSmall(15, 15, 13);

// Raw pointers on purpose: the people belong to the scene manager's lifetime,
// and a static destructor running after the engine is gone must not touch them.
Npc* table[kNpcSlots];

// Horizontal positions of the people, by slot, for the spacing count.
spacing::Grid positions;
int highWater = 0; // one past the highest slot ever used since the last clear

void recordPosition(int slot, const Ogre::Vector3& p) {
    if (slot < 0)
        return;
    positions.place(slot, p.x, p.z);
}

// The half turn as the engine's yaw makes it, worked out once: Node::yaw
// builds this very quaternion from the angle on every call.
Ogre::Quaternion halfTurnRotation() {
    Ogre::Quaternion q;
    q.FromAngleAxis(Ogre::Radian(Ogre::Degree(180)), Ogre::Vector3::UNIT_Y);
    return q;
}
const Ogre::Quaternion kHalfTurn = halfTurnRotation();

bool isFinite(const Ogre::Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

int countPeopleWithin60(float x, float z) {
    return positions.countWithin(x, z);
}

Npc::Npc(Ogre::SceneManager& s, const std::string& n, const std::string& mesh, BloodType type,
         bool small)
    : scene(s), name(n), bloodType(type) {
    try {
        entity = scene.createEntity(name, mesh);
    } catch (const std::bad_cast&) {
        // The engine hands a name it reads as an image (or another kind of
        // resource) to the mesh loader, which then fails with a bare cast.
        throw std::invalid_argument("\"" + mesh + "\" is not a mesh");
    }
    try {
        node = scene.getRootSceneNode()->createChildSceneNode(name);
        node->attachObject(entity);
        node->setScale(small ? kScaleSmall : kScaleNormal);
        step = entity->getAnimationState("step");
        slap = entity->getAnimationState("slap");
        aftersuck = entity->getAnimationState("aftersuck");
        for (Ogre::AnimationState* a : {step, slap, aftersuck}) {
            a->setLoop(true);
            a->setEnabled(false);
        }
    } catch (...) {
        if (node) {
            node->detachAllObjects();
            scene.destroySceneNode(node);
        }
        scene.destroyEntity(entity);
        throw;
    }
}

Npc::~Npc() {
    node->detachAllObjects();
    scene.destroySceneNode(node);
    scene.destroyEntity(entity);
}

const Ogre::Vector3& Npc::getPosition() const { return node->getPosition(); }

void Npc::setPosition(const Ogre::Vector3& wanted) {
    const Ogre::Vector3 position = clampToWorld(wanted);
    node->setPosition(position);
    recordPosition(slot, position);
}

void Npc::halfTurn() {
    velocity = -velocity;
    node->rotate(kHalfTurn, Ogre::Node::TS_LOCAL);
}

void Npc::walkTowards(const Ogre::Vector3& v) {
    if (std::fabs(v.x) < kStopBelow && std::fabs(v.y) < kStopBelow && std::fabs(v.z) < kStopBelow) {
        stopWalking();
        return;
    }
    velocity = v;
    // A walking person faces against its direction of travel.
    Ogre::Vector3 facing = node->getOrientation() * Ogre::Vector3::UNIT_Z;
    if (std::fabs(1 + facing.dotProduct(v)) < 0.00001f)
        node->yaw(Ogre::Degree(180));
    else
        node->rotate(facing.getRotationTo(-v), Ogre::Node::TS_LOCAL);
    startWalking();
}

void Npc::startWalking() {
    step->setEnabled(true);
    step->setTimePosition(0);
}

void Npc::stopWalking() {
    velocity = Ogre::Vector3::ZERO;
    step->setEnabled(false);
    step->setTimePosition(0);
    slap->setEnabled(false);
    aftersuck->setEnabled(false);
}

void Npc::animateSlap() {
    slap->setTimePosition(0);
    slap->setEnabled(true);
}

void Npc::animateAftersuck() {
    aftersuck->setTimePosition(0);
    aftersuck->setEnabled(true);
}

void Npc::update(float dt) {
    const Ogre::Vector3 old = node->getPosition();
    Ogre::Vector3 p = old + velocity * dt;
    recordPosition(slot, p);

    if (step->getEnabled()) {
        double vx = velocity.x, vz = velocity.z;
        step->addTime(static_cast<float>(kStepRate * std::sqrt(vx * vx + vz * vz) * dt));
    }
    if (slap->getEnabled())
        slap->addTime(kGestureRate * dt);
    if (aftersuck->getEnabled())
        aftersuck->addTime(kGestureRate * dt);

    Ogre::Vector3 feet(p.x, p.y - kFallSpeed * dt - kFeetOffset, p.z);
    Ogre::Vector3 corrected;
    bool onTop = false;
    if (resolveZoneCollisions(feet, corrected, onTop)) {
        halfTurn();
        feet = corrected;
    }
    feet.y += kFeetOffset;

    // Everyone in range turns this person once (itself included in the count).
    int turns = countPeopleWithin60(p.x, p.z) - 1;
    for (int i = 0; i < turns; ++i)
        halfTurn();

    feet.y = std::max(feet.y, kLowestY);
    if (!isFinite(feet)) {
        // A runaway velocity must not carry the person out of the number
        // range: it stops where it was.
        feet = old;
        velocity = Ogre::Vector3::ZERO;
    }
    setPosition(feet);
}

void clearNpcTable() {
    for (Npc*& npc : table) {
        delete npc;
        npc = nullptr;
    }
    positions.clear();
    highWater = 0;
}

bool npcTableFull() {
    for (const Npc* npc : table)
        if (!npc)
            return false;
    return true;
}

Npc* createNpc(const std::string& name, const std::string& mesh, BloodType bloodType, bool small) {
    int slot = 0;
    while (slot < kNpcSlots && table[slot])
        ++slot;
    if (slot == kNpcSlots)
        throw std::runtime_error("Too many people");
    auto npc = std::make_unique<Npc>(*sceneManager, name, mesh, bloodType, small);
    // The engine refuses a second entity of a name, so an older person of
    // this name cannot still exist here; kept for a table that outlives it.
    if (Npc* old = findNpc(name)) {
        destroyNpc(old);
        slot = 0;
        while (table[slot])
            ++slot;
    }
    npc->slot = slot;
    recordPosition(slot, npc->getPosition());
    if (slot >= highWater)
        highWater = slot + 1;
    table[slot] = npc.release();
    return table[slot];
}

void destroyNpc(Npc* npc) {
    if (!npc || npc->slot < 0 || table[npc->slot] != npc)
        return;
    int slot = npc->slot;
    positions.remove(slot);
    table[slot] = nullptr;
    delete npc;
}

Npc* findNpc(const std::string& name) {
    for (int i = 0; i < highWater; ++i)
        if (table[i] && table[i]->getName() == name)
            return table[i];
    return nullptr;
}

Npc* npcAt(int slot) {
    return slot >= 0 && slot < kNpcSlots ? table[slot] : nullptr;
}

void updateNpcs(float dt) {
    for (int i = 0; i < highWater; ++i)
        if (table[i])
            table[i]->update(dt);
}

Npc* findNpcInReach(const Ogre::Vector3& p) {
    for (int i = 0; i < highWater; ++i)
        if (table[i] && inReach(p, table[i]->getPosition()))
            return table[i];
    return nullptr;
}
