#pragma once

// Levels in play for the tests of the player, the contact rules and level play: built from shapes
// and objects in code, started, and stepped frame by frame with plain input records.

#include <cstdint>
#include <initializer_list>
#include <utility>

#include <box2d/box2d.h>
#include <glm/vec2.hpp>

#include "Camera.h"
#include "Level.h"
#include "PhysicsStep.h"
#include "PlayInput.h"
#include "ScratchFolder.h"
#include "ShapeFixtures.h"

namespace play_testing
{
/// Seconds of play in one frame of a 60 Hz display.
inline constexpr float FrameDt = PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep);

/// The body's height above a floor at y = 0 when the figure rests upright on two corners.
inline constexpr float RestingHeight = 0.205f;

/// A slab 40 units wide with its top at y = 0, every edge of `type`. Its points run
/// counter-clockwise, so the top edge faces up.
inline WorldShape Floor(SurfaceType type = SurfaceType::Plain)
{
    return StraightShape({{-20, -1}, {20, -1}, {20, 0}, {-20, 0}}, {type, type, type, type});
}

inline glm::vec2 Vec(const b2Vec2& v)
{
    return {v.x, v.y};
}

/// A level with its own camera, filled in code and then started, in a working folder of its own:
/// every figure reads its controls file there, and writes the defaults there when it finds none.
struct PlayLevel
{
    ScratchFolder folder; ///< goes last, after the level
    Camera camera;
    Level level{&camera};

    PlayLevel& Add(WorldShape shape)
    {
        shape.SetLevelTime(&level.time);
        level.worldShapes.PushBack(std::move(shape));
        return *this;
    }
    PlayLevel& AddTrinket(glm::vec2 at)
    {
        level.trinkets.PushBack(Trinket(at));
        return *this;
    }
    PlayLevel& AddWaypoint(glm::vec2 a, glm::vec2 b, glm::vec2 respawn)
    {
        level.waypoints.PushBack(Waypoint(a, b, respawn, &level.time));
        return *this;
    }
    PlayLevel& StartAt(glm::vec2 at)
    {
        level.start.position = at;
        return *this;
    }
    /// Starts a game of `players` with player `local` steered here; the test fails if refused.
    PlayLevel& Start(int32_t players = 1, uint32_t local = 0)
    {
        EXPECT_TRUE(level.Start(players, local));
        return *this;
    }

    Player& Local() { return *level.localPlayer; }
    b2Body& Body() { return *level.localPlayer->body; }
    glm::vec2 Position() { return Vec(Body().GetPosition()); }
    glm::vec2 Velocity() { return Vec(Body().GetLinearVelocity()); }

    /// One frame of play; answers what `Level::Update` answers.
    bool Frame(const PlayInput& input = {}) { return level.Update(FrameDt, input); }
    /// `count` frames with the same input held.
    void Frames(int count, const PlayInput& input = {})
    {
        for (int i = 0; i < count; ++i)
            level.Update(FrameDt, input);
    }
    /// Puts the local figure at `at`, upright and still, as the network code would.
    void Place(glm::vec2 at, glm::vec2 velocity = {0, 0})
    {
        ASSERT_TRUE(Local().ApplyNetworkState(at, velocity, 0.0f, 0.0f));
    }
};

/// What is held in a frame in which `action` alone is held.
inline PlayInput Holding(bool PlayInput::*action)
{
    PlayInput input;
    input.*action = true;
    return input;
}
} // namespace play_testing
