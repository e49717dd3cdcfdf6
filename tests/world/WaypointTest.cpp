#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "Waypoint.h"

using namespace testing_support;

namespace
{
bool SameWaypoint(const Waypoint& a, const Waypoint& b)
{
    return a.endA == b.endA && a.endB == b.endB && a.respawnPoint == b.respawnPoint && a.index == b.index &&
           a.previous == b.previous && a.levelTime == b.levelTime && a.selected == b.selected;
}

constexpr size_t CircleSegments = 64;
const glm::vec3 Green{0.0f, 1.0f, 0.0f};
const glm::vec3 DarkGreen{0.0f, 0.6f, 0.0f};
const glm::vec3 White{1.0f, 1.0f, 1.0f};
const glm::vec3 Grey{0.3f, 0.3f, 0.3f};
const glm::vec3 LightGrey{0.75f, 0.75f, 0.75f};
const glm::vec3 Blue{0.0f, 0.0f, 1.0f};

// A horizontal gate 1.3 long, respawning below its middle: its dashes run between the post rims
// at x = 0.15 and x = 1.15.
Waypoint Gate(float length = 1.3f)
{
    return Waypoint({0.0f, 0.0f}, {length, 0.0f}, {length / 2.0f, -1.0f});
}

// The player's progress at `seconds` after passing gate `last`.
GateProgress Progress(int32_t last, float seconds)
{
    return GateProgress{last, seconds};
}
} // namespace

TEST(Waypoint, RecordIsTwentyEightBytesAndRoundTrips)
{
    Waypoint waypoint({1.0f, 2.0f}, {3.5f, -4.0f}, {0.25f, 8.0f});
    const std::vector<uint8_t> record = PayloadOf(waypoint);
    EXPECT_EQ(record, RecordBytes().U32(7).Vec2({1.0f, 2.0f}).Vec2({3.5f, -4.0f}).Vec2({0.25f, 8.0f}).bytes);

    ByteBlob blob;
    LoadPayload(blob, record);
    Waypoint read;
    ASSERT_TRUE(read.Deserialise(blob));
    EXPECT_EQ(read.endA, waypoint.endA);
    EXPECT_EQ(read.endB, waypoint.endB);
    EXPECT_EQ(read.respawnPoint, waypoint.respawnPoint);
    EXPECT_EQ(read.index, -1);
    EXPECT_EQ(read.previous, -1);
    EXPECT_EQ(blob.BytesLeft(), 0u);
    EXPECT_EQ(PayloadOf(read), record);
}

TEST(Waypoint, OtherRecordsAndCutRecordsLeaveItAlone)
{
    const float time = 2.0f;
    Waypoint original({1, 1}, {2, 2}, {3, 3}, &time);
    original.index = 4;
    original.previous = 3;

    ByteBlob signpostRecord;
    LoadPayload(signpostRecord, RecordBytes().U32(8).Vec2({9, 9}).Vec2({9, 9}).Vec2({9, 9}).bytes);
    Waypoint waypoint = original;
    EXPECT_FALSE(waypoint.Deserialise(signpostRecord));
    EXPECT_EQ(signpostRecord.readCursor, ByteBlob::HeaderSize);
    EXPECT_TRUE(SameWaypoint(waypoint, original));

    ExpectCutRecordsLeaveObjectAndCursor(PayloadOf(original), original, SameWaypoint);
}

TEST(Waypoint, EveryPointMustLieWithinTheWorld)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(Waypoint({-1e6f, 0}, {1e6f, 0}, {0, 1e6f}).IsSane());
    EXPECT_FALSE(Waypoint({nan, 0}, {1, 0}, {0, 1}).IsSane());
    EXPECT_FALSE(Waypoint({0, 0}, {1, 2e6f}, {0, 1}).IsSane());
    EXPECT_FALSE(Waypoint({0, 0}, {1, 0}, {-std::numeric_limits<float>::infinity(), 1}).IsSane());
}

TEST(Waypoint, PicksNearEitherPostOrTheRespawnPoint)
{
    Waypoint waypoint({0.0f, 0.0f}, {0.0f, 3.0f}, {0.0f, -2.0f});
    const struct
    {
        glm::vec2 point;
        bool hit;
    } cases[] = {
        {{0.15f, 0.0f}, false},  {{0.1499f, 0.0f}, true}, {{0.15f, 3.0f}, false},
        {{-0.1499f, 3.0f}, true}, {{0.2f, -2.0f}, false}, {{0.19f, -2.0f}, true},
        {{0.0f, 1.5f}, false}, // the middle of the gate line
    };
    for (const auto& c : cases)
        EXPECT_EQ(waypoint.HitTestPoint(c.point), c.hit) << c.point.x << ", " << c.point.y;

    // Rectangles reaching each of the three circles, and one that passes between them.
    EXPECT_TRUE(waypoint.HitTestRect(0.14f, 1.0f, -0.5f, 0.5f));
    EXPECT_TRUE(waypoint.HitTestRect(-1.0f, -0.14f, 2.9f, 3.1f));
    EXPECT_TRUE(waypoint.HitTestRect(0.19f, 1.0f, -2.5f, -1.5f));
    EXPECT_FALSE(waypoint.HitTestRect(0.15f, 1.0f, -0.5f, 0.5f));
    EXPECT_FALSE(waypoint.HitTestRect(-1.0f, 1.0f, 1.0f, 2.0f));
}

TEST(Waypoint, RotatesTranslatesAndSitsBetweenItsPosts)
{
    Waypoint waypoint({2.0f, 3.0f}, {3.0f, 3.0f}, {2.5f, 2.0f});
    EXPECT_EQ(waypoint.GetPosition(), glm::vec2(2.5f, 3.0f));
    waypoint.Rotate(waypoint.endA, 1.5707963f);
    EXPECT_EQ(waypoint.endA, glm::vec2(2.0f, 3.0f));
    ExpectNear(waypoint.endB, {2.0f, 2.0f});
    ExpectNear(waypoint.respawnPoint, {1.0f, 2.5f});
    waypoint.Translate({1.0f, -1.0f});
    ExpectNear(waypoint.endA, {3.0f, 2.0f});
    ExpectNear(waypoint.endB, {3.0f, 1.0f});
    ExpectNear(waypoint.respawnPoint, {2.0f, 1.5f});
    ExpectNear(waypoint.GetPosition(), {3.0f, 1.5f});
}

TEST(Waypoint, PreviewsOutlineTheMovedGate)
{
    Waypoint waypoint({1.0f, 0.0f}, {2.0f, 0.0f}, {1.5f, -1.0f});
    const Waypoint before = waypoint;
    LineRenderer lines;
    waypoint.DrawTranslatePreview(lines, {0.0f, 2.0f});
    ASSERT_EQ(lines.SegmentCount(), 3 * CircleSegments + 1);
    ExpectSegmentsColoured(lines, 0, lines.SegmentCount(), PreviewColour);
    EXPECT_EQ(lines.currentColour, PreviewColour);
    // Circles begin at their tops: the posts' radius 0.15, the respawn point's 0.2.
    ExpectNear(SegmentAt(lines, 0).from, {1.0f, 2.15f});
    ExpectNear(SegmentAt(lines, CircleSegments).from, {2.0f, 2.15f});
    const Segment line = SegmentAt(lines, 2 * CircleSegments);
    ExpectNear(line.from, {1.0f, 2.0f}); // the full line, post centre to post centre
    ExpectNear(line.to, {2.0f, 2.0f});
    ExpectNear(SegmentAt(lines, 2 * CircleSegments + 1).from, {1.5f, 1.2f});

    LineRenderer rotated;
    waypoint.DrawRotatePreview(rotated, {0.0f, 0.0f}, 1.5707963f);
    ASSERT_EQ(rotated.SegmentCount(), 3 * CircleSegments + 1);
    ExpectNear(SegmentAt(rotated, 2 * CircleSegments).from, {0.0f, -1.0f});
    ExpectNear(SegmentAt(rotated, 2 * CircleSegments).to, {0.0f, -2.0f});
    EXPECT_TRUE(SameWaypoint(waypoint, before));
}

TEST(Waypoint, CloneCopiesEveryField)
{
    const float time = 7.0f;
    Waypoint waypoint({1, 2}, {3, 4}, {5, 6}, &time);
    waypoint.selected = true;
    waypoint.index = 2;
    waypoint.previous = 1;
    Selectable* clone = waypoint.Clone();
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetSelectableType(), SelectableWaypoint);
    std::unique_ptr<Waypoint> copy(static_cast<Waypoint*>(clone));
    EXPECT_TRUE(SameWaypoint(*copy, waypoint));
    EXPECT_EQ(copy->GetLinkType(), LinkWaypoint);
    EXPECT_EQ(copy->GetTypeId(), 7u);
}

TEST(Waypoint, EditorDrawingShowsPostsGateAndRespawnMarker)
{
    for (bool selected : {false, true})
    {
        SCOPED_TRACE(selected ? "selected" : "not selected");
        Waypoint waypoint = Gate();
        waypoint.selected = selected;
        const glm::vec3 colour = selected ? SelectedColour : Green;
        LineRenderer lines;
        waypoint.Draw(lines, nullptr, EverywhereView);
        ASSERT_EQ(lines.SegmentCount(), 3 * CircleSegments + 3);
        ExpectSegmentsColoured(lines, 0, 2 * CircleSegments + 1 + CircleSegments, colour);
        const Segment gate = SegmentAt(lines, 2 * CircleSegments);
        ExpectNear(gate.from, {0.15f, 0.0f});
        ExpectNear(gate.to, {1.15f, 0.0f});
        ExpectNear(SegmentAt(lines, 2 * CircleSegments + 1).from, {0.65f, -0.8f});
        // The respawn cross stays blue whether selected or not.
        ExpectSegmentsColoured(lines, 3 * CircleSegments + 1, 2, Blue);
        const Segment cross = SegmentAt(lines, 3 * CircleSegments + 1);
        ExpectNear(cross.from, {0.45f, -1.2f});
        ExpectNear(cross.to, {0.85f, -0.8f});
        EXPECT_EQ(lines.currentColour, colour);
    }
}

TEST(Waypoint, DashCountFollowsTheLengthBetweenThePostRims)
{
    const struct
    {
        float length;
        size_t dashes;
    } cases[] = {{1.3f, 5}, {1.0f, 3}, {0.8f, 3}, {0.5f, 1}, {2.8f, 11}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.length);
        Waypoint waypoint = Gate(c.length);
        waypoint.previous = 0;
        LineRenderer lines;
        const GateProgress player = Progress(0, FLT_MAX);
        waypoint.Draw(lines, &player, EverywhereView);
        ASSERT_EQ(lines.SegmentCount(), 4 * CircleSegments + c.dashes);
        const Segment first = SegmentAt(lines, 2 * CircleSegments);
        const Segment last = SegmentAt(lines, 2 * CircleSegments + c.dashes - 1);
        ExpectNear(first.from, {0.15f, 0.0f});
        ExpectNear(last.to, {c.length - 0.15f, 0.0f});
        EXPECT_NEAR(first.to.x - first.from.x, (c.length - 0.3f) / static_cast<float>(c.dashes), 1e-5f);
    }
}

TEST(Waypoint, NextGateSettlesFromWhiteToGreen)
{
    Waypoint waypoint = Gate();
    waypoint.index = 1;
    waypoint.previous = 0;
    const size_t dashStart = 2 * CircleSegments;
    const size_t innerStart = dashStart + 5;

    LineRenderer settled;
    const GateProgress longAgo = Progress(0, FLT_MAX);
    waypoint.Draw(settled, &longAgo, EverywhereView);
    ExpectSegmentsColoured(settled, 0, 2 * CircleSegments, Green);
    for (size_t i = 0; i < 5; ++i)
        ExpectSegmentsColoured(settled, dashStart + i, 1, i % 2 == 0 ? Green : DarkGreen);
    ExpectSegmentsColoured(settled, innerStart, 2 * CircleSegments, DarkGreen);
    ExpectNear(SegmentAt(settled, innerStart).from, {0.0f, 0.1125f});
    EXPECT_EQ(settled.currentColour, DarkGreen);

    // The moment the gate before it is passed, the next gate flashes white.
    LineRenderer flashing;
    const GateProgress justPassed = Progress(0, 0.0f);
    waypoint.Draw(flashing, &justPassed, EverywhereView);
    ExpectSegmentsColoured(flashing, 0, 2 * CircleSegments, White);
    for (size_t i = 0; i < 5; ++i)
        ExpectSegmentsColoured(flashing, dashStart + i, 1, i % 2 == 0 ? White : Grey);
    ExpectSegmentsColoured(flashing, innerStart, 2 * CircleSegments, Grey);

    LineRenderer halfway;
    const GateProgress midFlash = Progress(0, 0.15f);
    waypoint.Draw(halfway, &midFlash, EverywhereView);
    ExpectSegmentsColoured(halfway, 0, 1, {0.5f, 1.0f, 0.5f});
    ExpectSegmentsColoured(halfway, innerStart, 1, {0.15f, 0.45f, 0.15f});
}

TEST(Waypoint, JustPassedGateSendsAFigureToTheRespawnPoint)
{
    const float time = 0.1f;
    Waypoint waypoint({0.0f, 0.0f}, {1.3f, 0.0f}, {0.65f, -1.0f}, &time);
    waypoint.index = 1;
    waypoint.previous = 0;
    const size_t postStart = 5;
    const size_t sideStart = postStart + 2 * CircleSegments;
    const size_t cornerStart = sideStart + 3;
    const size_t innerStart = cornerStart + 3 * CircleSegments;

    // At the moment of passing: green gate, figure of size 0 at the gate's middle.
    LineRenderer passing;
    const GateProgress now = Progress(1, 0.0f);
    waypoint.Draw(passing, &now, EverywhereView);
    ASSERT_EQ(passing.SegmentCount(), innerStart + 2 * CircleSegments);
    for (size_t i = 0; i < 5; ++i)
        ExpectSegmentsColoured(passing, i, 1, i % 2 == 0 ? Green : DarkGreen);
    ExpectSegmentsColoured(passing, postStart, 2 * CircleSegments, Green);
    for (size_t i = sideStart; i < innerStart; ++i)
    {
        SCOPED_TRACE(i);
        ExpectNear(SegmentAt(passing, i).from, {0.65f, 0.0f});
        ExpectNear(SegmentAt(passing, i).to, {0.65f, 0.0f});
    }
    ExpectSegmentsColoured(passing, innerStart, 2 * CircleSegments, DarkGreen);

    // Settled: blue gate, full-sized figure on the respawn point, turned by time x 5 radians.
    LineRenderer settled;
    const GateProgress later = Progress(1, 1.0f);
    waypoint.Draw(settled, &later, EverywhereView);
    ASSERT_EQ(settled.SegmentCount(), innerStart + 2 * CircleSegments);
    ExpectSegmentsColoured(settled, 0, 1, {0.16f, 1.0f - 1.0f, 0.6f});
    ExpectSegmentsColoured(settled, postStart, 2 * CircleSegments, {0.3f, 0.0f, 1.0f});
    ExpectSegmentsColoured(settled, sideStart, 3, {0.16f, 0.0f, 0.6f});
    ExpectSegmentsColoured(settled, cornerStart, 3 * CircleSegments, {0.16f, 0.0f, 1.0f});
    const float angles[3] = {1.5707952f, 3.6651886f, 5.759582f};
    glm::vec2 corners[3];
    for (int j = 0; j < 3; ++j)
        corners[j] = glm::vec2(0.65f, -1.0f) + 0.2f * glm::vec2(std::cos(0.5f + angles[j]), std::sin(0.5f + angles[j]));
    for (int j = 0; j < 3; ++j)
    {
        SCOPED_TRACE(j);
        // Each side stops 0.1 short of both corners, at the rims of the corner circles.
        const glm::vec2 w = (corners[(j + 1) % 3] - corners[j]) / std::sqrt(3.0f) / 0.2f;
        const Segment side = SegmentAt(settled, sideStart + static_cast<size_t>(j));
        ExpectNear(side.from, corners[j] + 0.1f * w);
        ExpectNear(side.to, corners[(j + 1) % 3] - 0.1f * w);
        ExpectNear(SegmentAt(settled, cornerStart + CircleSegments * static_cast<size_t>(j)).from, corners[j] + glm::vec2(0.0f, 0.1f));
    }
}

TEST(Waypoint, AnyOtherGateIsGrey)
{
    Waypoint waypoint = Gate();
    waypoint.index = 2;
    waypoint.previous = 1;
    LineRenderer lines;
    const GateProgress player = Progress(0, FLT_MAX);
    waypoint.Draw(lines, &player, EverywhereView);
    ASSERT_EQ(lines.SegmentCount(), 4 * CircleSegments + 1);
    ExpectSegmentsColoured(lines, 0, 2 * CircleSegments + 1, Grey);
    ExpectNear(SegmentAt(lines, 0).from, {0.0f, 0.1125f});
    ExpectNear(SegmentAt(lines, 2 * CircleSegments).from, {0.15f, 0.0f});
    ExpectSegmentsColoured(lines, 2 * CircleSegments + 1, 2 * CircleSegments, LightGrey);
    ExpectNear(SegmentAt(lines, 2 * CircleSegments + 1).from, {0.0f, 0.15f});
    EXPECT_EQ(lines.currentColour, LightGrey);
}

TEST(Waypoint, OnlyGateOfTheRingIsAlwaysTheNextOne)
{
    // A ring of one: index and previous are both 0, as is the player's last waypoint, so the
    // next-gate drawing wins over the just-passed one.
    Waypoint waypoint = Gate();
    waypoint.index = 0;
    waypoint.previous = 0;
    LineRenderer lines;
    const GateProgress player = Progress(0, FLT_MAX);
    waypoint.Draw(lines, &player, EverywhereView);
    ASSERT_EQ(lines.SegmentCount(), 4 * CircleSegments + 5);
    ExpectSegmentsColoured(lines, 0, 2 * CircleSegments, Green);
    ExpectSegmentsColoured(lines, 2 * CircleSegments + 1, 1, DarkGreen);
}

TEST(Waypoint, GateWithCoincidingPostsDrawsWithoutNaN)
{
    Waypoint waypoint({1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f});
    waypoint.index = 0;
    waypoint.previous = 0;
    LineRenderer lines;
    waypoint.Draw(lines, nullptr, EverywhereView);
    const GateProgress player = Progress(0, 0.1f);
    waypoint.Draw(lines, &player, EverywhereView);
    waypoint.previous = 3;
    waypoint.Draw(lines, &player, EverywhereView);
    for (const glm::vec2& p : lines.positions)
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(Waypoint, AbsurdlyLongGateDrawsABoundedNumberOfDashes)
{
    Waypoint waypoint({-1e6f, 0.0f}, {1e6f, 0.0f}, {0.0f, -1.0f});
    waypoint.previous = 0;
    LineRenderer lines;
    const GateProgress player = Progress(0, FLT_MAX);
    waypoint.Draw(lines, &player, EverywhereView);
    EXPECT_EQ(lines.SegmentCount(), 4 * CircleSegments + 4001);

    // A gate that is not even a number long (refused by the loader) must not count dashes from
    // it either.
    LineRenderer broken;
    Waypoint nanGate({std::numeric_limits<float>::quiet_NaN(), 0.0f}, {1.0f, 0.0f}, {0.0f, -1.0f});
    nanGate.previous = 0;
    nanGate.Draw(broken, &player, EverywhereView);
    EXPECT_LE(broken.SegmentCount(), 4 * CircleSegments + 4001);

    // Through a view, a gate 1000 units long shows only the dashes in it, and a gate wholly
    // outside the view nothing at all.
    Waypoint longGate({0.0f, 0.0f}, {1000.3f, 0.0f}, {500.0f, -1.0f});
    longGate.previous = 0;
    const float view[4] = {495.0f, 505.0f, -5.0f, 5.0f};
    LineRenderer seen;
    longGate.Draw(seen, &player, view);
    EXPECT_EQ(seen.SegmentCount(), 4 * CircleSegments + 41);
    const float elsewhere[4] = {1100.0f, 1110.0f, -5.0f, 5.0f};
    LineRenderer none;
    longGate.Draw(none, &player, elsewhere);
    longGate.Draw(none, nullptr, elsewhere);
    EXPECT_EQ(none.SegmentCount(), 0u);
}

TEST(Waypoint, BodyHasTwoSolidPostsAndASensorGate)
{
    b2World world(LevelGravity);
    Waypoint waypoint({1.0f, 2.0f}, {3.0f, 2.5f}, {2.0f, 1.0f});
    b2Body* body = waypoint.CreateBody(world);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->GetType(), b2_staticBody);
    EXPECT_EQ(body->GetPosition(), b2Vec2(1.0f, 2.0f));
    EXPECT_EQ(body->GetAngle(), 0.0f);

    const std::vector<b2Fixture*> fixtures = FixturesOf(body);
    ASSERT_EQ(fixtures.size(), 3u);
    const b2Vec2 postCentres[2] = {{0.0f, 0.0f}, {2.0f, 0.5f}};
    for (int i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(i);
        ASSERT_EQ(fixtures[i]->GetType(), b2Shape::e_circle);
        const auto* post = static_cast<const b2CircleShape*>(fixtures[i]->GetShape());
        EXPECT_FLOAT_EQ(post->m_radius, 0.15f);
        EXPECT_EQ(post->m_p, postCentres[i]);
        EXPECT_FALSE(fixtures[i]->IsSensor());
    }
    ASSERT_EQ(fixtures[2]->GetType(), b2Shape::e_edge);
    const auto* gate = static_cast<const b2EdgeShape*>(fixtures[2]->GetShape());
    EXPECT_EQ(gate->m_vertex1, b2Vec2(0.0f, 0.0f));
    EXPECT_EQ(gate->m_vertex2, b2Vec2(2.0f, 0.5f));
    EXPECT_FLOAT_EQ(gate->m_radius, 0.01f);
    EXPECT_TRUE(fixtures[2]->IsSensor());

    for (const b2Fixture* fixture : fixtures)
    {
        EXPECT_FLOAT_EQ(fixture->GetFriction(), 0.2f);
        EXPECT_EQ(fixture->GetRestitution(), 0.0f);
        EXPECT_EQ(fixture->GetDensity(), 0.0f);
        EXPECT_EQ(fixture->GetFilterData().categoryBits, 2u);
        EXPECT_EQ(fixture->GetFilterData().maskBits, 1u);
        EXPECT_EQ(LinkOf(fixture), static_cast<PhysicsLink*>(&waypoint));
        EXPECT_EQ(LinkOf(fixture)->GetLinkType(), LinkWaypoint);
    }
}

TEST(Waypoint, PostsHoldThePlayerUpAndTheGateLetsItThrough)
{
    b2World world(LevelGravity);
    ContactRecorder recorder;
    world.SetContactListener(&recorder);
    Waypoint waypoint({0.0f, 0.0f}, {2.0f, 0.0f}, {1.0f, -1.0f});
    waypoint.CreateBody(world);
    BallPlayer onPost(world, {0.0f, 1.0f});
    BallPlayer throughGate(world, {1.0f, 1.0f});

    StepFor(world, 2.0f);
    EXPECT_NEAR(onPost.Position().y, 0.25f, 0.02f) << "resting on top of post A";
    EXPECT_LT(throughGate.Position().y, -1.0f);

    int gateTouches = 0, postTouches = 0;
    for (const ContactRecorder::Touch& touch : recorder.touches)
    {
        EXPECT_EQ(touch.other, static_cast<PhysicsLink*>(&waypoint));
        (touch.sensor ? gateTouches : postTouches) += 1;
    }
    EXPECT_EQ(gateTouches, 1);
    EXPECT_EQ(postTouches, 1);
}

TEST(Waypoint, GateWithCoincidingPostsHasNoGateEdge)
{
    b2World world(LevelGravity);
    Waypoint waypoint({1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f});
    b2Body* body = waypoint.CreateBody(world);
    ASSERT_NE(body, nullptr);
    const std::vector<b2Fixture*> fixtures = FixturesOf(body);
    ASSERT_EQ(fixtures.size(), 2u);
    EXPECT_FALSE(fixtures[0]->IsSensor());
    EXPECT_FALSE(fixtures[1]->IsSensor());
}

TEST(Waypoint, ImpossiblePositionGetsNoBody)
{
    b2World world(LevelGravity);
    Waypoint waypoint({0, 0}, {1, 0}, {0.5f, std::numeric_limits<float>::infinity()});
    const LogWatches logs;
    EXPECT_EQ(waypoint.CreateBody(world), nullptr);
    EXPECT_EQ(world.GetBodyCount(), 0);
    logs.ExpectOneWarning("[Waypoint.cpp:116]");
}
