// Feeds arbitrary bytes to the level loader as a downloaded or named level file would arrive, then
// does with the level what the game does: compile it, compute the magnet fields it keeps, fill
// its shapes, build its physics world, run a ball through it for a moment and collect the drawing
// of it through a view round the start and through one that shows everything. Run with inputs
// long enough to hold hundreds of thousands of records and a memory limit (run-fuzzers.sh), so
// that a cost that grows with every record shows as a fault rather than as a slow machine.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "Level.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "Mesh.h"
#include "PhysicsLink.h"
#include "PhysicsStep.h"
#include "Waypoint.h"

namespace
{
class Ball final : public PhysicsLink
{
public:
    uint32_t GetLinkType() override { return LinkPlayer; }
};

void Check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

void ComputeFields(const Level& level)
{
    std::vector<uint16_t> samples;
    uint64_t texels = 0;
    for (const WorldShape& shape : level.worldShapes)
        for (const ShapeSegment& segment : shape.segments)
        {
            if (segment.fieldLeftOut)
                continue;
            uint32_t width = 0;
            uint32_t height = 0;
            if (segment.ComputeDataTextureSamples(samples, width, height))
                texels += static_cast<uint64_t>(width) * height;
        }
    Check(texels <= Level::MaxDataTexels);
}

/// Everything a frame draws of the level through `view` into `fill` and `lines`: fills, surface
/// runs (the strips of a started level, the segments of an edited one), the editor's points,
/// gates, trinkets and markers. The batches are emptied afterwards as a frame's are, keeping
/// their room.
void DrawFrame(Level& level, const float (&view)[4], const GateProgress* progress, Mesh& fill, LineRenderer& lines)
{
    for (WorldShape& shape : level.worldShapes)
    {
        shape.AppendTriangles(fill, view);
        for (const SurfaceStrip& strip : shape.strips)
            strip.Draw(lines, view);
        for (const ShapeSegment& segment : shape.segments)
            segment.Draw(lines, shape.selected, view);
        shape.DrawEditor(lines, 0.1f, view);
        Check(!lines.stripOpen);
    }
    for (Trinket& trinket : level.trinkets)
        if (trinket.HitTestRect(view[0], view[1], view[2], view[3]))
            trinket.Draw(lines);
    for (Waypoint& waypoint : level.waypoints)
    {
        waypoint.Draw(lines, progress, view);
        waypoint.Draw(lines, nullptr, view);
    }
    for (const Signpost& signpost : level.signposts)
        signpost.DrawMarker(lines, view);
    level.start.Draw(lines);
    lines.Clear();
    fill.vertices.Clear();
}

void PlayBriefly(Level& level)
{
    level.CreatePhysicsWorld();
    Ball link;
    b2BodyDef bodyDef;
    bodyDef.type = b2_dynamicBody;
    bodyDef.position.Set(level.start.position.x, level.start.position.y);
    b2Body* ball = level.world->CreateBody(&bodyDef);
    b2CircleShape circle;
    circle.m_radius = 0.1f;
    b2FixtureDef fixtureDef;
    fixtureDef.shape = &circle;
    fixtureDef.density = 1.0f;
    fixtureDef.filter.categoryBits = CollisionCategory::Player;
    fixtureDef.filter.maskBits = CollisionCategory::World;
    fixtureDef.userData.pointer = reinterpret_cast<uintptr_t>(static_cast<PhysicsLink*>(&link));
    ball->CreateFixture(&fixtureDef);

    const float everywhere[4] = {-2.0e6f, 2.0e6f, -2.0e6f, 2.0e6f};
    GateProgress progress;
    Mesh fill;
    LineRenderer lines;
    for (int step = 0; step < 20; ++step)
    {
        PhysicsStep::Advance(*level.world, PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep));
        level.time += PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep);
        const b2Vec2 at = ball->GetPosition();
        for (const WorldShape& shape : level.worldShapes)
            for (const ShapeSegment& segment : shape.segments)
                ball->ApplyForceToCenter(b2Vec2(segment.GetMagneticForce({at.x, at.y}).x, 0.0f), true);
        if (step % 8 != 0)
            continue;
        const float view[4] = {at.x - 7.5f, at.x + 7.5f, at.y - 5.0f, at.y + 5.0f};
        progress.lastWaypoint = step % 3;
        progress.timeSinceWaypoint = 0.05f * static_cast<float>(step);
        DrawFrame(level, view, &progress, fill, lines);
    }
    DrawFrame(level, everywhere, &progress, fill, lines);
    level.DestroyPhysicsWorld();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    if (count > Level::MaxFileBytes)
        return 0;
    {
        ByteBlob blob;
        blob.ReadFromMemory(bytes, static_cast<uint32_t>(count));
        Level level(nullptr);
        const bool read = level.ReadFromBlob(blob);
        // A load that fails must leave nothing behind.
        Check(read || (level.worldShapes.count == 0 && level.trinkets.count == 0 && level.waypoints.count == 0 &&
                       level.signposts.count == 0 && level.start.position.x == 0.0f &&
                       level.start.position.y == 0.0f));
        ComputeFields(level);
        PlayBriefly(level);
    }
    ErrorLog.ClearHistory();
    InfoLog.ClearHistory();
    return 0;
}
