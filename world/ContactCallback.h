#pragma once

#include <box2d/b2_world_callbacks.h>

/// Turns the physics world's contacts into the game's rules: a touched trinket is collected, a
/// gate passed in order becomes the player's checkpoint, braking makes contacts grip, and a
/// bouncer kicks the player away. One per level in play, owned by the level and installed in its
/// world; its callbacks run inside the world step on the main thread. They change game fields
/// and apply impulses, never create or destroy bodies.
class ContactCallback final : public b2ContactListener
{
public:
    /// Friction of every contact of a player holding "Brake".
    static constexpr float BrakingFriction = 5.0f;
    /// Friction of every other contact of a player: almost none.
    static constexpr float SlidingFriction = 0.01f;
    /// Strength of a bouncer's kick, away from its surface.
    static constexpr float BounceImpulse = 0.8f;
    /// Seconds of the player's own time between two kicks, at least.
    static constexpr float BounceInterval = 0.1f;

    /// A player touching a trinket collects it; one whose figure crosses the line of the gate
    /// after the last one it passed makes it its checkpoint.
    void BeginContact(b2Contact* contact) override;
    /// Sets the friction of a player's contact from its "Brake".
    void PreSolve(b2Contact* contact, const b2Manifold* oldManifold) override;
    /// Kicks a player off a bouncer, at most once per `BounceInterval`.
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;
};
