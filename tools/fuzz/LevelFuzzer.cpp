// Feeds arbitrary bytes to the level loader as a downloaded or named level file would arrive, then
// does with the level what the game does: compile it, compute its magnet fields, fill its shapes,
// build its physics world and run a ball through it for a moment.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "Level.h"
#include "LogChannel.h"
#include "Mesh.h"
#include "PhysicsLink.h"
#include "PhysicsStep.h"

namespace
{
class Ball final : public PhysicsLink
{
public:
    uint32_t GetLinkType() override { return LinkPlayer; }
};

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
    for (int step = 0; step < 20; ++step)
    {
        PhysicsStep::Advance(*level.world, PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep));
        const b2Vec2 at = ball->GetPosition();
        for (const WorldShape& shape : level.worldShapes)
            for (const ShapeSegment& segment : shape.segments)
                ball->ApplyForceToCenter(b2Vec2(segment.GetMagneticForce({at.x, at.y}).x, 0.0f), true);
    }
    level.DestroyPhysicsWorld();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    if (count > 1u << 20)
        return 0;
    {
        ByteBlob blob;
        blob.ReadFromMemory(bytes, static_cast<uint32_t>(count));
        Level level(nullptr);
        const bool read = level.ReadFromBlob(blob);
        // A load that fails must leave nothing behind.
        if (!read && (level.worldShapes.count != 0 || level.trinkets.count != 0 || level.waypoints.count != 0 ||
                      level.signposts.count != 0 || level.start.position.x != 0.0f || level.start.position.y != 0.0f))
            __builtin_trap();

        std::vector<uint16_t> samples;
        uint32_t width = 0;
        uint32_t height = 0;
        for (const WorldShape& shape : level.worldShapes)
            for (const ShapeSegment& segment : shape.segments)
                segment.ComputeDataTextureSamples(samples, width, height);

        Mesh fill;
        const float everywhere[4] = {-2.0e6f, 2.0e6f, -2.0e6f, 2.0e6f};
        for (const WorldShape& shape : level.worldShapes)
            shape.AppendTriangles(fill, everywhere);

        PlayBriefly(level);
    }
    ErrorLog.ClearHistory();
    InfoLog.ClearHistory();
    return 0;
}
