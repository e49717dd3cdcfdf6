#pragma once

#include <box2d/b2_world_callbacks.h>

/// Turns the physics world's contacts into the game's rules: a touched trinket is collected, a
/// gate passed in order becomes the player's checkpoint, braking makes contacts grip, and a
/// bouncer kicks the player away. One per level in play, owned by the level and installed in its
/// world; its callbacks run inside the world step on the main thread.
class ContactCallback final : public b2ContactListener
{
public:
    void BeginContact(b2Contact* contact) override;
    void PreSolve(b2Contact* contact, const b2Manifold* oldManifold) override;
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;
};
