// The player: the game-level record (health, blood, powerups) and the
// insect's scene object with its flight. Main thread only. Start-up makes the
// one Player (the global `player`); it lives until the program ends.
#pragma once
#include "npc/blood_type.h"
#include "player/flight.h"

#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Ogre {
class SceneNode;
class Entity;
class AnimationState;
class SceneManager;
} // namespace Ogre
class Npc;
class Player;

constexpr int kPowerupSlots = 32;
constexpr int kBodyVariants = 4;

// A named power-up the player holds. The game rules give it meaning; the
// program only keeps, lists and removes them.
class Powerup {
public:
    virtual ~Powerup() = default;
    virtual void apply() {}
    virtual const char* name() const = 0;
};

// The insect in the scene: its nodes, body, animations and flight state.
class PlayerCharacter {
public:
    // Makes its nodes and body in scene. owner supplies the blood level that
    // weighs the insect down; without one the character carries no blood.
    PlayerCharacter(Ogre::SceneManager& scene, const std::string& name, Player* owner = nullptr);
    // The game never destroys the character; tests do, within their scene.
    ~PlayerCharacter();
    PlayerCharacter(const PlayerCharacter&) = delete;
    PlayerCharacter& operator=(const PlayerCharacter&) = delete;

    // Swaps the body for variant 0..3 ("komar_nic" to "komar_full").
    void selectBody(int variant);

    Ogre::Vector3 getPosition() const;
    void setPosition(const Ogre::Vector3& position);
    Ogre::Quaternion getOrientation() const;
    void setOrientation(const Ogre::Quaternion& orientation);
    double getThrust() const { return state.thrust; }
    void setThrust(double thrust); // clamped to 0..1
    const Ogre::Vector3& getSpeed() const { return state.speed; }
    void setSpeed(const Ogre::Vector3& speed) { state.speed = speed; }
    Npc* getSuckedNpc() const { return suckedNpc; }
    bool isFirstPerson() const { return firstPerson; }
    const flight::FlightState& flightState() const { return state; }

    // Turns the insect to fly along the heading (radians about world Y, 0
    // along +Z), keeping its pitch and bank: the flight's own heading and the
    // main node's turn both change, so it also travels that way.
    void setHeading(float radians);

    void pitch(float radians);
    void yaw(float radians);
    void roll(float radians);

    Ogre::SceneNode* mainNode() const { return main; }
    Ogre::SceneNode* bodyNode() const { return body; }
    Ogre::SceneNode* sightNode() const { return sight; }
    Ogre::SceneNode* cameraNode() const { return camera; }
    Ogre::Entity* entity() const { return bodyEntity; }
    Ogre::AnimationState* flyAnimation() const { return fly; }
    Ogre::AnimationState* sitAnimation() const { return sit; }

    // One frame of the insect from the frame's controls: the keyboard step,
    // then the flight step, each only when its device is there.
    void update(float dt, const flight::PlayerInput& input);
    // Thrust from the lift level; F1/F2 views; Space to take off.
    void updateFromKeyboard(const flight::KeyInput& keys);
    // Steering, lift, collision, landing and attaching for one frame.
    void updateFlight(float dt, const flight::MouseInput& mouse);

private:
    void moveMainNode(const Ogre::Vector3& position);
    void attachTo(Npc* npc, flight::FlightStep& step);

    Ogre::SceneManager& scene;
    std::string name;
    Player* owner;
    Ogre::SceneNode* main = nullptr;
    Ogre::SceneNode* body = nullptr;
    Ogre::SceneNode* sight = nullptr;
    Ogre::SceneNode* camera = nullptr;
    Npc* suckedNpc = nullptr;
    Ogre::Entity* bodyEntity = nullptr;
    Ogre::AnimationState* fly = nullptr;
    Ogre::AnimationState* sit = nullptr;
    flight::FlightState state;
    bool firstPerson = false;
};

class Player {
public:
    // The insect goes into scene; without one, into the game's scene.
    explicit Player(Ogre::SceneManager& scene);
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    PlayerCharacter& getCharacter() { return *character; }

    std::int32_t getHealth() const { return health; }
    void setHealth(std::int32_t value) { health = value; }
    BloodType getBloodType() const { return bloodType; }
    void setBloodType(BloodType value) { bloodType = value; }
    double getBloodLevel() const { return bloodLevel; }
    void setBloodLevel(double value) { bloodLevel = value; }

    // The powerup in slot i, or null.
    const Powerup* powerupAt(int slot) const { return powerups[slot].get(); }
    // Stores it in the lowest empty slot; false (and nothing kept) when full.
    bool addPowerup(std::unique_ptr<Powerup> powerup);
    // Destroys the first powerup of that name, in slot order; no match: nothing.
    void removePowerup(const char* name);

private:
    std::unique_ptr<PlayerCharacter> character;
    std::unique_ptr<Powerup> powerups[kPowerupSlots];
    std::int32_t health = 100;
    BloodType bloodType = 0;
    double bloodLevel = 0.0;
};

// A powerup that is nothing but its name, as scripts register them.
class NamedPowerup : public Powerup {
public:
    explicit NamedPowerup(std::string n) : label(std::move(n)) {}
    const char* name() const override { return label.c_str(); }

private:
    std::string label;
};

// Script functions of the player, in registration order.
// The game's one player; start-up makes it, and it lives until the end.
extern Player* player;

struct luaL_Reg;
extern const luaL_Reg playerFunctions[];
// Added after the first sixty: set_player_heading.
extern const luaL_Reg playerHeadingFunctions[];
