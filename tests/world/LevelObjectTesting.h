#pragma once

// Helpers shared by the level-object tests: records as bytes, blobs ready to read, line-batch
// inspection and a stand-in for the player's body.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <box2d/box2d.h>
#include <gtest/gtest.h>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "ByteBlob.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "LogWatch.h"
#include "PhysicsLink.h"
#include "PhysicsStep.h"
#include "Serialisable.h"

/// A view rectangle (min x, max x, min y, max y) that shows the whole world, for drawing
/// everything.
inline constexpr float EverywhereView[4] = {-3.0e38f, 3.0e38f, -3.0e38f, 3.0e38f};

namespace testing_support
{
/// Little-endian record bytes built value by value, for comparing with what a record writes.
struct RecordBytes
{
    std::vector<uint8_t> bytes;

    RecordBytes& U32(uint32_t value) { return Raw(&value, sizeof value); }
    RecordBytes& F32(float value) { return Raw(&value, sizeof value); }
    RecordBytes& Vec2(glm::vec2 v) { return F32(v.x).F32(v.y); }
    RecordBytes& Text(const std::string& text) { return Raw(text.data(), text.size()); }
    RecordBytes& Raw(const void* data, size_t size)
    {
        const auto* from = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), from, from + size);
        return *this;
    }
};

/// The payload bytes that `object.Serialise` writes after a plain header.
inline std::vector<uint8_t> PayloadOf(Serialisable& object)
{
    ByteBlob blob;
    blob.WriteHeader();
    object.Serialise(blob);
    EXPECT_EQ(blob.GetPayloadCount(), blob.size - ByteBlob::HeaderSize);
    return std::vector<uint8_t>(blob.data + ByteBlob::HeaderSize, blob.data + blob.size);
}

/// Fills `blob` as a loaded file holding `payload` would be: reading mode, cursor at the payload.
inline void LoadPayload(ByteBlob& blob, const std::vector<uint8_t>& payload)
{
    blob.WriteHeader();
    for (uint8_t byte : payload)
        blob.WriteU8(byte);
    blob.readingMode = true;
    blob.readCursor = ByteBlob::HeaderSize;
}

/// Every prefix of `record` shorter than the whole: a prefix without a full tag is not taken for
/// the record (false); any longer one raises the too-few-bytes error. Either way `object`, which
/// starts as a copy of `original`, must still equal it and the cursor must not have moved.
template <typename T, typename Same>
void ExpectCutRecordsLeaveObjectAndCursor(const std::vector<uint8_t>& record, const T& original, Same same)
{
    for (size_t cut = 0; cut < record.size(); ++cut)
    {
        SCOPED_TRACE("record cut to " + std::to_string(cut) + " bytes");
        ByteBlob blob;
        LoadPayload(blob, std::vector<uint8_t>(record.begin(), record.begin() + static_cast<long>(cut)));
        T object = original;
        if (cut < sizeof(uint32_t))
        {
            EXPECT_FALSE(object.Deserialise(blob));
        }
        else
        {
            try
            {
                object.Deserialise(blob);
                ADD_FAILURE() << "a cut record was read";
            }
            catch (const ByteBlobError& error)
            {
                EXPECT_STREQ(error.what(), ByteBlob::TooFewBytesMessage);
            }
        }
        EXPECT_TRUE(same(object, original));
        EXPECT_EQ(blob.readCursor, ByteBlob::HeaderSize);
    }
}

/// One segment of a line batch: its two ends and their colours.
struct Segment
{
    glm::vec2 from;
    glm::vec2 to;
    glm::vec3 fromColour;
    glm::vec3 toColour;
};

inline Segment SegmentAt(const LineRenderer& lines, size_t index)
{
    return {lines.positions[2 * index], lines.positions[2 * index + 1], lines.colours[2 * index],
            lines.colours[2 * index + 1]};
}

inline void ExpectNear(glm::vec2 actual, glm::vec2 expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

inline void ExpectNear(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

/// Every segment in [first, first + count) drawn wholly in `colour`.
inline void ExpectSegmentsColoured(const LineRenderer& lines, size_t first, size_t count, glm::vec3 colour)
{
    for (size_t i = first; i < first + count; ++i)
    {
        SCOPED_TRACE("segment " + std::to_string(i));
        const Segment s = SegmentAt(lines, i);
        ExpectNear(s.fromColour, colour);
        ExpectNear(s.toColour, colour);
    }
}

inline uint32_t ErrorLineCount()
{
    return ErrorLog.GetHistory().count;
}

inline std::string LastErrorLine()
{
    const DynArray<std::string>& history = ErrorLog.GetHistory();
    return history.count == 0 ? std::string() : history[history.count - 1];
}

/// What the warning and error channels receive from construction on. The level code's own
/// diagnostics are warnings, which never wait for a key; only the lines the game has always
/// had go to the error channel.
struct LogWatches
{
    LogWatch warnings{WarningLog};
    LogWatch errors{ErrorLog};

    /// Nothing on either channel.
    void ExpectQuiet() const
    {
        EXPECT_EQ(warnings.Lines(), std::vector<std::string>());
        EXPECT_EQ(errors.Lines(), std::vector<std::string>());
    }
    /// Exactly one warning, which holds `text`, and no error.
    void ExpectOneWarning(const std::string& text) const
    {
        const std::vector<std::string> lines = warnings.Lines();
        ASSERT_EQ(lines.size(), 1u) << testing::PrintToString(lines);
        EXPECT_NE(lines[0].find(text), std::string::npos) << lines[0];
        EXPECT_EQ(errors.Lines(), std::vector<std::string>());
    }
};

/// The fixtures of `body` in the order they were created (the physics library lists the newest
/// first).
inline std::vector<b2Fixture*> FixturesOf(b2Body* body)
{
    std::vector<b2Fixture*> fixtures;
    for (b2Fixture* f = body->GetFixtureList(); f; f = f->GetNext())
        fixtures.insert(fixtures.begin(), f);
    return fixtures;
}

/// A dynamic ball of `radius` centred at `at` in `world`, of collision category `category`
/// touching `mask`, whose fixture points back at `link`.
inline b2Body* LinkedBall(b2World& world, glm::vec2 at, float radius, uint16_t category, uint16_t mask,
                          PhysicsLink* link)
{
    b2BodyDef bodyDef;
    bodyDef.type = b2_dynamicBody;
    bodyDef.position.Set(at.x, at.y);
    b2Body* body = world.CreateBody(&bodyDef);
    b2CircleShape circle;
    circle.m_radius = radius;
    b2FixtureDef fixtureDef;
    fixtureDef.shape = &circle;
    fixtureDef.density = 1.0f;
    fixtureDef.filter.categoryBits = category;
    fixtureDef.filter.maskBits = mask;
    fixtureDef.userData.pointer = reinterpret_cast<uintptr_t>(link);
    body->CreateFixture(&fixtureDef);
    return body;
}

/// A stand-in for a player: a dynamic ball of the player's radius and collision category.
class BallPlayer : public PhysicsLink
{
public:
    b2Body* body = nullptr;

    BallPlayer(b2World& world, glm::vec2 at, float radius = 0.1f)
        : body(LinkedBall(world, at, radius, CollisionCategory::Player, CollisionCategory::World, this))
    {
    }

    uint32_t GetLinkType() override { return LinkPlayer; }
    glm::vec2 Position() const { return {body->GetPosition().x, body->GetPosition().y}; }
};

/// Records the world object and sensor flag of every contact that begins with a player.
class ContactRecorder : public b2ContactListener
{
public:
    struct Touch
    {
        PhysicsLink* other;
        bool sensor;
    };
    std::vector<Touch> touches;

    void BeginContact(b2Contact* contact) override
    {
        b2Fixture* a = contact->GetFixtureA();
        b2Fixture* b = contact->GetFixtureB();
        b2Fixture* other = LinkOf(a)->GetLinkType() == LinkPlayer ? b : a;
        touches.push_back({LinkOf(other), other->IsSensor()});
    }
};

/// Steps `world` as a level does, for `seconds` at 60 steps a second.
inline void StepFor(b2World& world, float seconds)
{
    const float dt = PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep);
    for (float t = 0.0f; t < seconds; t += dt)
        PhysicsStep::Advance(world, dt);
}

/// The level's gravity.
inline const b2Vec2 LevelGravity = PhysicsStep::Gravity();
} // namespace testing_support
