#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "Trinket.h"

using namespace testing_support;

namespace
{
bool SameTrinket(const Trinket& a, const Trinket& b)
{
    return a.position == b.position && a.timer == b.timer && a.selected == b.selected;
}

const glm::vec3 TrinketYellow{1.0f, 1.0f, 0.4f};
} // namespace

TEST(Trinket, RecordIsTwelveBytesAndRoundTrips)
{
    Trinket trinket({1.5f, -2.25f});
    const std::vector<uint8_t> record = PayloadOf(trinket);
    EXPECT_EQ(record, RecordBytes().U32(5).F32(1.5f).F32(-2.25f).bytes);

    ByteBlob blob;
    LoadPayload(blob, record);
    Trinket read;
    read.timer = -4.0f;
    read.selected = true;
    ASSERT_TRUE(read.Deserialise(blob));
    EXPECT_EQ(read.position, trinket.position);
    EXPECT_EQ(read.timer, -4.0f) << "the timer is the level reader's to reset";
    EXPECT_TRUE(read.selected);
    EXPECT_EQ(blob.BytesLeft(), 0u);
    EXPECT_EQ(PayloadOf(read), record);
}

TEST(Trinket, OtherRecordsAndCutRecordsLeaveItAlone)
{
    Trinket original({3.0f, 4.0f});
    original.timer = -1.0f;

    ByteBlob waypointRecord;
    LoadPayload(waypointRecord, RecordBytes().U32(7).Vec2({9, 9}).bytes);
    Trinket trinket = original;
    EXPECT_FALSE(trinket.Deserialise(waypointRecord));
    EXPECT_EQ(waypointRecord.readCursor, ByteBlob::HeaderSize);
    EXPECT_TRUE(SameTrinket(trinket, original));

    ByteBlob writing;
    writing.WriteHeader();
    Trinket({7, 7}).Serialise(writing);
    EXPECT_FALSE(trinket.Deserialise(writing)) << "a blob being written is not read";
    EXPECT_TRUE(SameTrinket(trinket, original));

    ExpectCutRecordsLeaveObjectAndCursor(PayloadOf(original), original, SameTrinket);
}

TEST(Trinket, OnlyPositionsWithinTheWorldAreSane)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        glm::vec2 position;
        bool sane;
    } cases[] = {
        {{0, 0}, true},      {{-1e6f, 1e6f}, true}, {{1.5e6f, 0}, false},
        {{0, -2e6f}, false}, {{nan, 0}, false},     {{0, inf}, false},
        {{-inf, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Trinket(c.position).IsSane(), c.sane) << c.position.x << ", " << c.position.y;
}

TEST(Trinket, PicksWithinItsRadiusOnly)
{
    Trinket trinket({2.0f, 1.0f});
    EXPECT_TRUE(trinket.HitTestPoint({2.0f, 1.0f}));
    EXPECT_TRUE(trinket.HitTestPoint({2.0999f, 1.0f}));
    EXPECT_FALSE(trinket.HitTestPoint({2.0f, 1.1f + 1e-6f}));

    Trinket atOrigin({0.0f, 0.0f});
    EXPECT_FALSE(atOrigin.HitTestPoint({0.1f, 0.0f})) << "exactly the radius away";

    // A rectangle whose edge lies exactly a radius away does not catch it; one nearer does.
    EXPECT_FALSE(atOrigin.HitTestRect(0.1f, 1.0f, -1.0f, 1.0f));
    EXPECT_TRUE(atOrigin.HitTestRect(0.09f, 1.0f, -1.0f, 1.0f));
    EXPECT_FALSE(atOrigin.HitTestRect(0.5f, 1.0f, 0.5f, 1.0f));
    EXPECT_TRUE(atOrigin.HitTestRect(-1.0f, 1.0f, -1.0f, 1.0f));
}

TEST(Trinket, RotatesClockwiseAndTranslates)
{
    Trinket trinket({1.0f, 0.0f});
    trinket.Rotate({0.0f, 0.0f}, 1.5707963f);
    ExpectNear(trinket.GetPosition(), {0.0f, -1.0f});
    trinket.Rotate({0.0f, -1.0f}, 0.7f);
    ExpectNear(trinket.GetPosition(), {0.0f, -1.0f});
    trinket.Translate({0.5f, 2.0f});
    ExpectNear(trinket.GetPosition(), {0.5f, 1.0f});
}

TEST(Trinket, DrawsTwoClosedStarOutlinesWhileShown)
{
    Trinket trinket({1.0f, 2.0f});
    LineRenderer lines;
    trinket.Draw(lines);
    ASSERT_EQ(lines.SegmentCount(), 8u);
    const glm::vec2 p = trinket.position;
    const glm::vec2 first[4] = {p + glm::vec2(0.04f, 0), p + glm::vec2(0, 0.1f), p + glm::vec2(-0.04f, 0), p + glm::vec2(0, -0.1f)};
    const glm::vec2 second[4] = {p + glm::vec2(0.1f, 0), p + glm::vec2(0, 0.04f), p + glm::vec2(-0.1f, 0), p + glm::vec2(0, -0.04f)};
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        ExpectNear(SegmentAt(lines, i).from, first[i]);
        ExpectNear(SegmentAt(lines, i).to, first[(i + 1) % 4]);
        ExpectNear(SegmentAt(lines, 4 + i).from, second[i]);
        ExpectNear(SegmentAt(lines, 4 + i).to, second[(i + 1) % 4]);
    }
    ExpectSegmentsColoured(lines, 0, 8, TrinketYellow);
    EXPECT_EQ(lines.currentColour, TrinketYellow);

    // The star spins clockwise as the timer falls: a sixth of a turn's worth of timer (pi/6 / 3
    // radians per second) brings the first point from +x down to -y.
    LineRenderer spun;
    trinket.timer = -3.14159265f / 6.0f;
    trinket.Draw(spun);
    ExpectNear(SegmentAt(spun, 0).from, p + glm::vec2(0, -0.04f));

    LineRenderer selected;
    trinket.selected = true;
    trinket.Draw(selected);
    ExpectSegmentsColoured(selected, 0, 8, SelectedColour);
}

TEST(Trinket, CollectedTrinketDrawsNothing)
{
    for (float timer : {0.0001f, 1.0f, FLT_MAX})
    {
        Trinket trinket({0, 0});
        trinket.timer = timer;
        LineRenderer lines;
        trinket.Draw(lines);
        EXPECT_EQ(lines.SegmentCount(), 0u) << timer;
        EXPECT_FALSE(trinket.IsShown());
    }
}

TEST(Trinket, PreviewsDrawTheStillStarWhereItWouldGo)
{
    Trinket trinket({1.0f, 0.0f});
    trinket.timer = -2.0f; // previews ignore the spin
    LineRenderer lines;
    trinket.DrawTranslatePreview(lines, {0.0f, 3.0f});
    trinket.DrawRotatePreview(lines, {0.0f, 0.0f}, 1.5707963f);
    ASSERT_EQ(lines.SegmentCount(), 16u);
    ExpectSegmentsColoured(lines, 0, 16, PreviewColour);
    EXPECT_EQ(lines.currentColour, PreviewColour);

    const glm::vec2 centres[2] = {{1.0f, 3.0f}, {0.0f, -1.0f}};
    for (int preview = 0; preview < 2; ++preview)
    {
        SCOPED_TRACE(preview);
        const glm::vec2 q = centres[preview];
        const size_t base = 8u * static_cast<size_t>(preview);
        const glm::vec2 expectedStarts[8] = {q + glm::vec2(0.1f, 0), q + glm::vec2(0, 0.04f), q + glm::vec2(-0.1f, 0), q + glm::vec2(0, -0.04f),
                                             q + glm::vec2(0.04f, 0), q + glm::vec2(0, 0.1f), q + glm::vec2(-0.04f, 0), q + glm::vec2(0, -0.1f)};
        for (size_t i = 0; i < 8; ++i)
            ExpectNear(SegmentAt(lines, base + i).from, expectedStarts[i]);
    }
    EXPECT_EQ(trinket.position, glm::vec2(1.0f, 0.0f));
}

TEST(Trinket, CloneIsAFreshUnselectedTrinketInPlace)
{
    Trinket trinket({-3.0f, 8.0f});
    trinket.selected = true;
    trinket.timer = FLT_MAX;
    Selectable* clone = trinket.Clone();
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetSelectableType(), SelectableTrinket);
    std::unique_ptr<Trinket> copy(static_cast<Trinket*>(clone));
    EXPECT_FALSE(copy->selected);
    EXPECT_EQ(copy->timer, 0.0f);
    EXPECT_EQ(copy->position, trinket.position);
    EXPECT_EQ(copy->GetLinkType(), LinkTrinket);
    EXPECT_EQ(copy->GetTypeId(), 5u);
}

TEST(Trinket, BodyIsAStaticSensorCircleThatPointsBack)
{
    b2World world(LevelGravity);
    Trinket trinket({2.0f, -1.0f});
    b2Body* body = trinket.CreateBody(world);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->GetType(), b2_staticBody);
    EXPECT_EQ(body->GetPosition(), b2Vec2(2.0f, -1.0f));
    EXPECT_EQ(body->GetAngle(), 0.0f);

    const std::vector<b2Fixture*> fixtures = FixturesOf(body);
    ASSERT_EQ(fixtures.size(), 1u);
    const b2Fixture* sensor = fixtures[0];
    ASSERT_EQ(sensor->GetType(), b2Shape::e_circle);
    const auto* circle = static_cast<const b2CircleShape*>(sensor->GetShape());
    EXPECT_FLOAT_EQ(circle->m_radius, 0.1f);
    EXPECT_EQ(circle->m_p, b2Vec2(0, 0));
    EXPECT_TRUE(sensor->IsSensor());
    EXPECT_FLOAT_EQ(sensor->GetFriction(), 0.2f);
    EXPECT_EQ(sensor->GetRestitution(), 0.0f);
    EXPECT_EQ(sensor->GetDensity(), 0.0f);
    EXPECT_EQ(sensor->GetFilterData().categoryBits, 2u);
    EXPECT_EQ(sensor->GetFilterData().maskBits, 1u);
    EXPECT_EQ(LinkOf(sensor), static_cast<PhysicsLink*>(&trinket));
    EXPECT_EQ(LinkOf(sensor)->GetLinkType(), LinkTrinket);
}

TEST(Trinket, PlayerFallsThroughItAndIsSeenTouchingIt)
{
    b2World world(LevelGravity);
    ContactRecorder recorder;
    world.SetContactListener(&recorder);
    Trinket trinket({0.0f, 0.0f});
    trinket.CreateBody(world);
    BallPlayer player(world, {0.0f, 1.0f});

    StepFor(world, 2.0f);
    EXPECT_LT(player.Position().y, -1.0f) << "a sensor must never hold the player up";
    ASSERT_EQ(recorder.touches.size(), 1u);
    EXPECT_EQ(recorder.touches[0].other, static_cast<PhysicsLink*>(&trinket));
    EXPECT_TRUE(recorder.touches[0].sensor);
}

TEST(Trinket, WorldObjectsDoNotTouchIt)
{
    b2World world(LevelGravity);
    ContactRecorder recorder;
    world.SetContactListener(&recorder);
    Trinket below({0.0f, 0.0f});
    below.CreateBody(world);

    // A falling body in the world's own category, as a second trinket would be if it moved.
    LinkedBall(world, {0.0f, 1.0f}, 0.1f, CollisionCategory::World, CollisionCategory::Player, &below);

    StepFor(world, 2.0f);
    EXPECT_TRUE(recorder.touches.empty());
}

TEST(Trinket, BodyGoesWithItsWorldAndCanBeMadeAgain)
{
    Trinket trinket({1.0f, 1.0f});
    auto world = std::make_unique<b2World>(LevelGravity);
    ASSERT_NE(trinket.CreateBody(*world), nullptr);
    world.reset();

    b2World restarted(LevelGravity);
    ASSERT_NE(trinket.CreateBody(restarted), nullptr);
    EXPECT_EQ(restarted.GetBodyCount(), 1);
}

TEST(Trinket, ImpossiblePositionGetsNoBody)
{
    b2World world(LevelGravity);
    Trinket trinket({std::numeric_limits<float>::quiet_NaN(), 0.0f});
    const LogWatches logs;
    EXPECT_EQ(trinket.CreateBody(world), nullptr);
    EXPECT_EQ(world.GetBodyCount(), 0);
    logs.ExpectOneWarning("[Trinket.cpp:47]");
}
