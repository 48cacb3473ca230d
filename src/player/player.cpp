#include "player/player.h"

#include "npc/npc.h"
#include "util/globals.h"
#include "world/collision_zones.h"
#include "world/world_bounds.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <cmath>
#include <cstring>

namespace {

const char* const kBodyMeshes[kBodyVariants] = {
    "komar_nic.mesh", "komar_motor.mesh", "komar_nadrze.mesh", "komar_full.mesh"};
const Ogre::Vector3 kStart(0, 10, 0);
const Ogre::Vector3 kSightOffset(0, 0, 100);
// Where the camera node sits on the insect in each view.
const Ogre::Vector3 kFirstPersonCamera(0, 0, 10);
const Ogre::Vector3 kChaseCamera(0, 50, -100);
const Ogre::Vector3 kAttachedCamera(0, 200, -250);
constexpr float kBodyScale = 0.4f;

bool isFinite(const Ogre::Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

PlayerCharacter::PlayerCharacter(Ogre::SceneManager& s, const std::string& n, Player* o)
    : scene(s), name(n), owner(o) {
    Ogre::SceneNode* root = scene.getRootSceneNode();
    main = root->createChildSceneNode(name, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    body = main->createChildSceneNode(name + "_character", Ogre::Vector3::ZERO);
    sight = main->createChildSceneNode(name + "_sight", kSightOffset);
    camera = main->createChildSceneNode(name + "_camera", kChaseCamera);
    selectBody(0);
    main->setPosition(kStart);
}

PlayerCharacter::~PlayerCharacter() {
    if (bodyEntity) {
        body->detachObject(bodyEntity);
        scene.destroyEntity(bodyEntity);
    }
    for (Ogre::SceneNode* n : {body, sight, camera, main})
        scene.destroySceneNode(n);
}

void PlayerCharacter::selectBody(int variant) {
    if (variant < 0 || variant >= kBodyVariants)
        return;
    if (bodyEntity) {
        body->detachObject(bodyEntity);
        scene.destroyEntity(bodyEntity->getName());
        bodyEntity = nullptr;
        fly = sit = nullptr;
    }
    bodyEntity = scene.createEntity(name, kBodyMeshes[variant]);
    body->attachObject(bodyEntity);
    body->setScale(kBodyScale, kBodyScale, kBodyScale);
    fly = bodyEntity->getAnimationState("let");
    fly->setLoop(true);
    fly->setEnabled(true);
    sit = bodyEntity->getAnimationState("sedi");
    sit->setLoop(false);
    sit->setEnabled(false);
}

Ogre::Vector3 PlayerCharacter::getPosition() const { return main->_getDerivedPosition(); }

void PlayerCharacter::setPosition(const Ogre::Vector3& position) { moveMainNode(position); }

Ogre::Quaternion PlayerCharacter::getOrientation() const { return main->getOrientation(); }

void PlayerCharacter::setOrientation(const Ogre::Quaternion& q) {
    // The engine aborts on a NaN orientation; a zero quaternion would become one.
    if (q.isNaN() || !std::isfinite(q.Norm()) || q.Norm() == 0)
        return;
    main->setOrientation(q);
}

void PlayerCharacter::setThrust(double thrust) {
    // Written so that NaN, too, ends up inside 0..1.
    state.thrust = thrust > 1 ? 1.0 : (thrust > 0 ? thrust : 0.0);
}

void PlayerCharacter::setHeading(float radians) {
    if (!std::isfinite(radians))
        return;
    // The flight yaws the main node in world space and pitches it in its own:
    // its turn is always the heading's turn followed by the pitch.
    state.yaw = radians;
    main->setOrientation(Ogre::Quaternion(Ogre::Radian(radians), Ogre::Vector3::UNIT_Y) *
                         Ogre::Quaternion(Ogre::Radian(state.pitch), Ogre::Vector3::UNIT_X));
}

void PlayerCharacter::pitch(float radians) { main->pitch(Ogre::Radian(radians)); }
void PlayerCharacter::yaw(float radians) {
    main->yaw(Ogre::Radian(radians), Ogre::Node::TS_WORLD);
}
void PlayerCharacter::roll(float radians) { body->roll(Ogre::Radian(radians)); }

void PlayerCharacter::moveMainNode(const Ogre::Vector3& position) {
    // The engine aborts the process on a NaN position; keep the last good one.
    if (isFinite(position))
        main->setPosition(clampToWorld(position));
}

void PlayerCharacter::update(float dt, const flight::PlayerInput& input) {
    if (input.hasKeyboard)
        updateFromKeyboard(input.keys);
    if (input.hasMouse)
        updateFlight(dt, input.mouse);
}

void PlayerCharacter::updateFromKeyboard(const flight::KeyInput& keys) {
    state.thrust = keys.level * flight::kThrustPerLevel;
    if (keys.f1 && !suckedNpc) {
        camera->setPosition(kFirstPersonCamera);
        bodyEntity->setVisible(false);
        firstPerson = true;
    } else if (keys.f2 && !suckedNpc) {
        camera->setPosition(kChaseCamera);
        bodyEntity->setVisible(true);
        firstPerson = false;
    } else if (keys.space && suckedNpc) {
        suckedNpc = nullptr;
        Ogre::Vector3 p = main->getPosition();
        p.y += flight::kTakeOffLift;
        moveMainNode(p);
        sit->setEnabled(false);
        fly->setEnabled(true);
        camera->setPosition(kChaseCamera);
        bodyEntity->setVisible(true);
        firstPerson = false;
    }
}

void PlayerCharacter::updateFlight(float dt, const flight::MouseInput& mouse) {
    if (suckedNpc) {
        moveMainNode(suckedNpc->getPosition() + Ogre::Vector3(0, flight::kHangHeight, 0));
        return;
    }
    state.sitting = sit->getEnabled();
    state.bloodLevel = owner ? owner->getBloodLevel() : 0.0;
    flight::FlightStep step = stepFlight(state, mouse, dt, getPosition(), resolveZoneCollisions);
    if (owner)
        owner->setBloodLevel(state.bloodLevel);

    main->pitch(Ogre::Radian(step.pitchTurn));
    body->roll(Ogre::Radian(step.rollTurn));
    main->yaw(Ogre::Radian(step.yawTurn), Ogre::Node::TS_WORLD);
    if (step.landed) {
        if (step.levelRoll != 0)
            body->roll(Ogre::Radian(step.levelRoll));
        if (step.levelPitch != 0)
            main->pitch(Ogre::Radian(step.levelPitch));
        if (step.sitAdvance != 0) {
            fly->setEnabled(false);
            sit->setEnabled(true);
            sit->addTime(step.sitAdvance);
        }
    } else {
        if (sit->getEnabled()) {
            sit->setEnabled(false);
            fly->setEnabled(true);
        }
        fly->addTime(step.flyAdvance);
    }
    moveMainNode(step.position);

    suckedNpc = findNpcInReach(step.position);
    if (suckedNpc) {
        flight::FlightStep level;
        attachTo(suckedNpc, level);
    }
}

void PlayerCharacter::attachTo(Npc*, flight::FlightStep& level) {
    firstPerson = false;
    fly->setEnabled(false);
    sit->setEnabled(true);
    state.sitting = true;
    state.speed.x = 0;
    state.speed.y = 0;
    flight::levelOut(state, level);
    if (level.levelRoll != 0)
        body->roll(Ogre::Radian(level.levelRoll));
    if (level.levelPitch != 0)
        main->pitch(Ogre::Radian(level.levelPitch));
    camera->setPosition(kAttachedCamera);
    bodyEntity->setVisible(false);
}

Player* player = nullptr;

Player::Player(Ogre::SceneManager& scene)
    : character(std::make_unique<PlayerCharacter>(scene, "Player", this)) {}

Player::Player() : Player(*sceneManager) {}

Player::~Player() = default;

bool Player::addPowerup(std::unique_ptr<Powerup> powerup) {
    for (auto& slot : powerups) {
        if (!slot) {
            slot = std::move(powerup);
            return true;
        }
    }
    return false;
}

void Player::removePowerup(const char* name) {
    for (auto& slot : powerups) {
        if (slot && std::strcmp(slot->name(), name) == 0) {
            slot.reset();
            return;
        }
    }
}
