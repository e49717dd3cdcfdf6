#pragma once

#include <cstdint>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "ControlScheme.h"
#include "DynArray.h"
#include "PhysicsLink.h"

class b2Body;
class b2Fixture;
class b2World;
class Level;
class LineRenderer;

/// One figure in a game: a small rigid triangle with a circle at each corner, one dynamic body of
/// the level's physics world, steered through the five actions of its `controls`. Its surface
/// behaviours (accelerating edges, magnets) are applied here each step as forces; the level's
/// contact listener adds the trinket, gate, friction and bouncer rules.
///
/// Held by value in the level's `players` array; the body belongs to the physics world and its
/// fixtures point back at this player, so a player must not move while its body exists. Moving a
/// player hands over its trails, colours and bindings; nothing here touches the body on a move.
class Player final : public PhysicsLink
{
public:
    /// Samples kept in each corner's trail ring.
    static constexpr uint32_t TrailLength = 90;
    /// The controls file every player reads.
    static constexpr const char* ControlsPath = "Data/Player1Controls.txt";
    /// Total strength of one jump, spread over the corners in contact.
    static constexpr float JumpImpulse = 0.5f;
    /// Torque of "RotateRight" (negated) and "RotateLeft".
    static constexpr float RotateTorque = 0.25f;
    /// Push of an accelerating surface at rest, before it fades with speed.
    static constexpr float AcceleratorForce = 1.4f;
    /// The accelerator's push is multiplied by this to the power of the speed (units per second).
    static constexpr float AcceleratorFade = 0.925f;
    /// Linear damping while "Brake" is held.
    static constexpr float BrakeDamping = 1.5f;

    b2Body* body = nullptr; ///< owned by the level's world; null before `CreateBody` and once departed
    /// The corner circles at 90, 210 and 330 degrees, in that order.
    b2Fixture* circleFixtures[3] = {nullptr, nullptr, nullptr};
    bool isLocal = false; ///< this machine's player
    ControlScheme controls;
    glm::vec2 respawnPosition{0.0f, 0.0f}; ///< where R puts the player back; moved by gates
    float respawnAngle = 0.0f;             ///< radians
    bool fangHeld = false;
    bool brakeHeld = false;
    bool jumpHeld = false;    ///< the last seen state of "Jump"
    float rotateInput = 0.0f; ///< "RotateRight" minus "RotateLeft": -1, 0 or 1
    bool departed = false;    ///< left a networked game; its body is gone
    int32_t lastWaypoint = 0; ///< index of the last gate passed
    float timeSinceWaypoint = 3.4028235e38f; ///< seconds since that gate
    DynArray<glm::vec2> trails[3]; ///< one ring of positions per corner circle
    DynArray<glm::vec3> trailColours; ///< one display colour per ring slot
    int32_t trailIndex = 0;   ///< the next ring slot to write
    uint32_t trailWrites = 0; ///< samples written since the last respawn
    float bounceTimer = 3.4028235e38f; ///< seconds since the last bounce
    float flashTimer = 20.0f;          ///< seconds since the last jump press
    glm::vec3 currentColour{0.0f, 0.75f, 0.0f};
    glm::vec3 displayColour{0.0f, 0.75f, 0.0f};
    glm::vec3 normalColour{0.0f, 0.75f, 0.0f};
    glm::vec3 brakeColour{0.4f, 0.0f, 0.8f};
    glm::vec3 flashColour{1.0f, 0.0f, 0.0f};
    /// World units that the body has moved through in this game's steps (respawns excluded).
    float distanceTravelled = 0.0f;

    /// Reads the bindings from `ControlsPath`, or writes the defaults there when it is missing.
    /// When the file system cannot even say whether it is there, the fault is logged and the
    /// default bindings are used without writing anything.
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    Player(Player&& other) noexcept;
    Player& operator=(Player&& other) noexcept;

    uint32_t GetLinkType() override { return LinkPlayer; }

    /// Makes the body at `position` (world units) and `angle` (radians) in `world`, which owns
    /// it, and sizes the trail rings; the respawn point becomes that place.
    void CreateBody(glm::vec2 position, float angle, b2World& world);
    /// The jump input of one frame: a press flashes the figure and, for the local player, pushes
    /// it away from what its corners touch.
    void SetJump(bool held);
    /// The brake input of one frame: while held, the body is damped and every contact grips.
    void SetBrake(bool held);
    /// One physics step's forces and bookkeeping; `dt` in seconds of play. Nothing once departed.
    void UpdatePhysics(float dt, Level& level);
    /// The figure, its trails and its contact marks. Nothing once departed.
    void Draw(LineRenderer& lines);
    /// Sets the body from a received state: position (world units), linear velocity (units per
    /// second), angle (radians) and angular velocity (radians per second). A state with a value
    /// that is not finite, or a position beyond `MaxWorldCoordinate`, is ignored (false): it can
    /// only come from a damaged packet and would wreck the physics world. False without a body.
    bool ApplyNetworkState(glm::vec2 position, glm::vec2 velocity, float angle, float angularVelocity);

    /// The corner points c1, c2, c3 of the figure at the body's current position and angle.
    void GetCorners(glm::vec2 (&corners)[3]) const;

private:
    /// Calls `visit(corner, otherLink, awayFromSurface, point)` once for each surface that a
    /// corner circle touches: every touching contact of a corner circle with a solid world
    /// fixture, with its normal turned to point away from the surface and its first manifold
    /// point. A world-shape edge has a chain each way round, both pointing at the one segment, so
    /// each segment counts once per corner whichever chains touch it; when both do, the normal
    /// that faces the figure's centre is taken.
    template <typename Visit>
    void ForEachCornerContact(Visit&& visit) const;
};
