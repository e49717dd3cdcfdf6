#pragma once

#include <cstdint>

#include <box2d/b2_world.h>

/// How a level's physics world advances: the game, the editor's play-tests, the tests and the
/// fuzzer all step through here, so the numbers live in one place.
///
/// The game slows the world a little against the clock (the time scale), and steps it with few
/// solver iterations: the figure is small and light and the world is all static, so two velocity
/// passes and one position pass hold it.
struct PhysicsStep
{
    /// Multiplies the frame step (1 / the monitor's refresh rate) for a level in play and for the
    /// editor's update; the f32 nearest to 5/6.
    static constexpr float TimeScale = 0.8333333f;
    static constexpr int32_t VelocityIterations = 2;
    static constexpr int32_t PositionIterations = 1;
    /// The frame step of a 60 Hz display, for code that steps without a window.
    static constexpr float DefaultFrameStep = 1.0f / 60.0f;

    /// The pull of a level's world, world units per second squared.
    static b2Vec2 Gravity() { return b2Vec2(0.0f, -5.0f); }

    /// The seconds of play that one frame of `frameStep` seconds advances.
    static constexpr float ScaledStep(float frameStep) { return frameStep * TimeScale; }

    /// Advances `world` by `dt` seconds of play.
    static void Advance(b2World& world, float dt) { world.Step(dt, VelocityIterations, PositionIterations); }
};
