#include <cfloat>
#include <cmath>
#include <string>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "LineRenderer.h"
#include "LogWatch.h"
#include "PlayTesting.h"

using namespace testing_support;
using namespace play_testing;

namespace
{
int32_t BodyCount(Level& level)
{
    return level.world->GetBodyCount();
}

size_t DrawnSegments(Level& level, const float (&view)[4], bool drawSignposts)
{
    LineRenderer lines;
    level.Draw(lines, view, drawSignposts);
    return lines.SegmentCount();
}

const float Everywhere[4] = {-100.0f, 100.0f, -100.0f, 100.0f};
} // namespace

TEST(LevelStart, MakesThePlayersAtTheStartAndTheLocalOneSteeredHere)
{
    struct Case
    {
        int32_t players;
        uint32_t local;
    };
    for (const Case& c : {Case{1, 0}, Case{3, 2}, Case{3, 0}})
    {
        SCOPED_TRACE(std::to_string(c.players) + " players, local " + std::to_string(c.local));
        PlayLevel play;
        play.Add(Floor()).StartAt({1.5f, 2.0f}).AddTrinket({3, 1});
        LogWatch info(InfoLog);
        ASSERT_TRUE(play.level.Start(c.players, c.local));
        EXPECT_EQ(info.Lines(), std::vector<std::string>{"Starting game with " + std::to_string(c.players) +
                                                         " player(s). You are player " + std::to_string(c.local)});
        ASSERT_EQ(play.level.players.count, static_cast<uint32_t>(c.players));
        EXPECT_EQ(play.level.localPlayer, &play.level.players[c.local]);
        for (uint32_t i = 0; i < play.level.players.count; ++i)
        {
            const Player& player = play.level.players[i];
            EXPECT_EQ(player.isLocal, i == c.local);
            ASSERT_NE(player.body, nullptr);
            ExpectNear(Vec(player.body->GetPosition()), {1.5f, 2.0f});
            EXPECT_EQ(player.body->GetAngle(), 0.0f);
        }
        EXPECT_EQ(BodyCount(play.level), c.players + 2);
        ASSERT_NE(play.level.contactListener, nullptr);
        EXPECT_GT(play.level.worldShapes[0].strips.count, 0u);

        // Starting again is a restart, not a second game on top.
        play.Frames(10);
        ASSERT_TRUE(play.level.Start(c.players, c.local));
        EXPECT_EQ(play.level.players.count, static_cast<uint32_t>(c.players));
        EXPECT_EQ(BodyCount(play.level), c.players + 2);
        ExpectNear(play.Position(), {1.5f, 2.0f});
    }
}

TEST(LevelStart, RefusesCountsAndIndicesOutOfRangeAndStaysUnstarted)
{
    struct Case
    {
        int32_t players;
        uint32_t local;
    };
    for (const Case& c : {Case{1, 1}, Case{2, 7}, Case{0, 0}, Case{-3, 0}, Case{Level::MaxPlayers + 1, 0}})
    {
        SCOPED_TRACE(std::to_string(c.players) + " players, local " + std::to_string(c.local));
        PlayLevel play;
        play.Add(Floor()).AddTrinket({0, 1}).Start();
        play.Frames(2);
        const LogWatches logs;
        EXPECT_FALSE(play.level.Start(c.players, c.local));
        logs.ExpectOneWarning("[Level.cpp:260]Cannot start a game of ");
        EXPECT_EQ(play.level.world, nullptr);
        EXPECT_EQ(play.level.localPlayer, nullptr);
        EXPECT_EQ(play.level.players.count, 0u);
        EXPECT_FALSE(play.level.Update(FrameDt, PlayInput{}));
        EXPECT_GT(DrawnSegments(play.level, Everywhere, false), 0u);
        EXPECT_TRUE(play.level.Start(1, 0));
    }
    PlayLevel full;
    EXPECT_TRUE(full.level.Start(Level::MaxPlayers, Level::MaxPlayers - 1));
}

TEST(LevelStart, NumbersTheGatesIntoARing)
{
    struct Case
    {
        int gates;
        std::vector<int> previous;
    };
    for (const Case& c : {Case{0, {}}, Case{1, {0}}, Case{3, {2, 0, 1}}})
    {
        SCOPED_TRACE(std::to_string(c.gates) + " gates");
        PlayLevel play;
        for (int i = 0; i < c.gates; ++i)
            play.AddWaypoint({2.0f * static_cast<float>(i), 5}, {2.0f * static_cast<float>(i), 6}, {0, 0});
        play.Start();
        for (int i = 0; i < c.gates; ++i)
        {
            EXPECT_EQ(play.level.waypoints[static_cast<uint32_t>(i)].index, i);
            EXPECT_EQ(play.level.waypoints[static_cast<uint32_t>(i)].previous, c.previous[static_cast<size_t>(i)]);
        }
        EXPECT_EQ(play.Local().lastWaypoint, 0);
    }
}

TEST(LevelUpdate, AFigureDroppedOnAFloorComesToRestOnIt)
{
    PlayLevel play;
    play.Add(Floor()).StartAt({0.7f, 3.0f}).Start();
    play.Frames(240);
    EXPECT_NEAR(play.Position().y, RestingHeight, 0.01f);
    EXPECT_NEAR(play.Position().x, 0.7f, 0.01f);
    EXPECT_LT(glm::length(play.Velocity()), 0.01f);
    EXPECT_NEAR(play.Body().GetAngle(), 0.0f, 0.01f);
    EXPECT_NEAR(play.Local().distanceTravelled, 3.0f - RestingHeight, 0.05f);
}

TEST(LevelUpdate, AnswersWhetherEscapeIsHeld)
{
    PlayLevel play;
    play.Start();
    EXPECT_FALSE(play.Frame());
    EXPECT_TRUE(play.Frame(Holding(&PlayInput::leave)));
    EXPECT_TRUE(play.Frame(Holding(&PlayInput::leave)));
    EXPECT_FALSE(play.Frame(Holding(&PlayInput::jump)));
}

TEST(LevelUpdate, ControlsOfTheLocalPlayerOnly)
{
    PlayLevel play;
    play.Add(Floor()).StartAt({0, 0.5f}).Start(2, 1);
    play.Frames(60);
    PlayInput input;
    input.rotateRight = true;
    input.brake = true;
    input.fang = true;
    play.Frame(input);
    const Player& local = play.level.players[1];
    const Player& other = play.level.players[0];
    EXPECT_EQ(local.rotateInput, 1.0f);
    EXPECT_TRUE(local.brakeHeld);
    EXPECT_TRUE(local.fangHeld);
    EXPECT_EQ(local.body->GetLinearDamping(), 1.5f);
    EXPECT_EQ(other.rotateInput, 0.0f);
    EXPECT_FALSE(other.brakeHeld);
    EXPECT_FALSE(other.fangHeld);

    // "RotateRight" turns the figure clockwise, both held cancel out.
    play.Frames(20, input);
    EXPECT_LT(local.body->GetAngularVelocity(), -0.1f);
    input.rotateLeft = true;
    play.Frame(input);
    EXPECT_EQ(local.rotateInput, 0.0f);
    input = PlayInput{};
    input.rotateLeft = true;
    play.Frame(input);
    EXPECT_EQ(local.rotateInput, -1.0f);
}

TEST(LevelUpdate, HoldingRespawnKeepsTheFigureAtItsPointAtRestWithTheCameraOnIt)
{
    PlayLevel play;
    play.Add(Floor()).StartAt({1, 3}).Start();
    play.Local().respawnPosition = {2, 4};
    play.Frames(30);
    play.camera.viewHeight = 20.0f;
    for (int i = 0; i < 10; ++i)
    {
        play.Frame(Holding(&PlayInput::respawn));
        ExpectNear(play.Position(), {2, 4});
        ExpectNear(play.Velocity(), {0, 0});
        EXPECT_EQ(play.Body().GetAngularVelocity(), 0.0f);
        EXPECT_NEAR(play.camera.viewHeight, 8.0f, 1e-5f);
        EXPECT_NEAR(play.camera.centreX, 2.0f, 1e-5f);
        EXPECT_NEAR(play.camera.centreY, 4.0f, 1e-5f);
        EXPECT_EQ(play.Local().trailWrites, 1u);
    }
}

TEST(LevelUpdate, CameraLooksAheadOfTheFigureAndWidensWithSpeed)
{
    // At rest the view settles to a height of 8 on the figure.
    PlayLevel resting;
    resting.Add(Floor()).StartAt({0, 0.5f}).Start();
    resting.Frames(360);
    EXPECT_NEAR(resting.camera.viewHeight, 8.0f, 0.01f);
    EXPECT_NEAR(resting.camera.centreX, resting.Position().x, 0.01f);
    EXPECT_NEAR(resting.camera.centreY, resting.Position().y, 0.01f);

    // At a steady 9 units a second the view is 8 + 1.5 x (9 - 5) = 14 high, and its centre runs
    // ahead of the figure by 15 frames of motion less the lag of following at 5 per second: the
    // steady offset d of d = (d - v dt)(1 - 5 dt) + 15 v dt (5 dt).
    PlayLevel moving;
    moving.StartAt({0, 0}).Start();
    moving.level.world->SetGravity(b2Vec2(0.0f, 0.0f));
    moving.Place({0, 0}, {9, 0});
    moving.Frames(360);
    EXPECT_NEAR(moving.Velocity().x, 9.0f, 1e-4f);
    EXPECT_NEAR(moving.camera.viewHeight, 14.0f, 0.01f);
    EXPECT_NEAR(moving.camera.centreX - moving.Position().x, 9.0f * 15.0f * FrameDt - 9.0f * (1.0f - 5.0f * FrameDt) / 5.0f, 0.01f);
    EXPECT_NEAR(moving.camera.centreY, 0.0f, 1e-4f);
}

TEST(LevelUpdate, AFigureInsideAnArenaStaysInside)
{
    // A closed ring of every surface that acts on the figure, played from inside with the
    // controls held in turn.
    const SurfaceType types[] = {SurfaceType::Plain, SurfaceType::ClockwiseAccelerator, SurfaceType::Bouncer,
                                 SurfaceType::Jagged, SurfaceType::AnticlockwiseAccelerator, SurfaceType::MagneticRepulsor,
                                 SurfaceType::Plain, SurfaceType::MagneticAttractor};
    for (bool clockwise : {false, true})
    {
        SCOPED_TRACE(clockwise ? "clockwise ring" : "counter-clockwise ring");
        PlayLevel play;
        WorldShape ring = SmoothRing(16, 6.0f);
        for (uint32_t i = 0; i < ring.points.count; ++i)
            ring.points[i].surfaceType = types[i % 8];
        if (clockwise)
        {
            WorldShape reversed;
            for (int32_t i = static_cast<int32_t>(ring.points.count) - 1; i >= 0; --i)
            {
                const ShapePoint& p = ring.points[static_cast<uint32_t>(i)];
                reversed.AddPoint(p.handleB, p.position, p.handleA, true, false);
                reversed.points[reversed.points.count - 1].surfaceType = ring.points[static_cast<uint32_t>((i + 15) % 16)].surfaceType;
            }
            reversed.Compile();
            ring = reversed;
        }
        play.Add(ring).StartAt({0, -4}).Start();

        bool PlayInput::*held[] = {&PlayInput::fang, &PlayInput::rotateRight, &PlayInput::jump, &PlayInput::brake,
                                   &PlayInput::rotateLeft, &PlayInput::jump};
        float farthest = 0.0f;
        for (int frame = 0; frame < 72 * 20; ++frame)
        {
            PlayInput input;
            input.*held[(frame / 45) % 6] = true;
            input.fang = input.fang || frame % 200 < 120;
            play.Frame(input);
            farthest = std::max(farthest, glm::length(play.Position()));
        }
        EXPECT_LT(farthest, 6.0f);
        EXPECT_GT(play.Local().distanceTravelled, 10.0f) << "the figure hardly moved";
    }
}

TEST(LevelDraw, InPlayStripsOutsideSegmentsAndOnlyWhatTheViewShows)
{
    PlayLevel play;
    play.Add(StraightShape({{-3, -1}, {3, -1}, {3, 0}, {-3, 0}}, {SurfaceType::Plain, SurfaceType::Bouncer}))
        .StartAt({0, 0.5f})
        .AddTrinket({1, 1})
        .AddWaypoint({2, 0.2f}, {2, 1.5f}, {2.5f, 0.5f});
    play.level.signposts.PushBack(Signpost("Hi", {-2, 2}, {-3, 1}, {-1, 3}));
    Level& level = play.level;

    // Before the game: the shape's single edges, the trinket, the gate, and the signpost's
    // marker only when asked for.
    LineRenderer edges;
    for (const ShapeSegment& segment : level.worldShapes[0].segments)
        segment.Draw(edges, false, Everywhere);
    const size_t atRest = DrawnSegments(level, Everywhere, false);
    EXPECT_GT(atRest, edges.SegmentCount());
    EXPECT_EQ(DrawnSegments(level, Everywhere, true), atRest + 64);
    const float nowhere[4] = {50, 60, 50, 60};
    EXPECT_EQ(DrawnSegments(level, nowhere, true), 0u);

    // In play: the strips instead of the edges, and the figure, wherever the view is.
    play.Start();
    LineRenderer strips;
    for (const SurfaceStrip& strip : level.worldShapes[0].strips)
        strip.Draw(strips, Everywhere);
    LineRenderer figure;
    play.Local().Draw(figure);
    LineRenderer all;
    level.Draw(all, Everywhere, false);
    ASSERT_GE(all.SegmentCount(), strips.SegmentCount() + figure.SegmentCount());
    for (size_t i = 0; i < strips.SegmentCount(); ++i)
        ExpectNear(SegmentAt(all, i).from, SegmentAt(strips, i).from);
    EXPECT_EQ(DrawnSegments(level, nowhere, true), figure.SegmentCount());

    // Collected trinkets are not drawn.
    const size_t withTrinket = DrawnSegments(level, Everywhere, false);
    level.trinkets[0].timer = FLT_MAX;
    EXPECT_EQ(DrawnSegments(level, Everywhere, false), withTrinket - 8);
}

TEST(LevelEndGame, LeavesTheLevelAsLoadedReadyToDrawAndStartAgain)
{
    PlayLevel play;
    play.Add(Floor()).StartAt({0, 2}).AddTrinket({0, 1}).AddWaypoint({3, 0.1f}, {3, 1.4f}, {0, 0}).AddWaypoint({5, 0.1f}, {5, 1.4f}, {0, 0});
    const size_t beforePlay = DrawnSegments(play.level, Everywhere, false);
    play.Start();
    play.Frames(60);
    ASSERT_FALSE(play.level.trinkets[0].IsShown());

    LogWatch info(InfoLog);
    play.level.EndGame();
    ASSERT_EQ(info.Lines().size(), 1u);
    EXPECT_EQ(info.Lines()[0].rfind("Level ended; the local player travelled ", 0), 0u) << info.Lines()[0];
    EXPECT_EQ(play.level.players.count, 0u);
    EXPECT_EQ(play.level.localPlayer, nullptr);
    EXPECT_EQ(play.level.world, nullptr);
    EXPECT_EQ(play.level.contactListener, nullptr);
    EXPECT_EQ(play.level.worldShapes[0].strips.count, 0u);
    EXPECT_EQ(play.level.trinkets[0].timer, 0.0f);
    EXPECT_EQ(play.level.waypoints[1].index, 1);
    EXPECT_EQ(play.level.waypoints[1].previous, 0);
    EXPECT_EQ(DrawnSegments(play.level, Everywhere, false), beforePlay);

    // Ending twice, or a level never started, is nothing more.
    play.level.EndGame();
    EXPECT_EQ(info.Lines().size(), 1u);
    play.Start();
    play.Frames(180);
    EXPECT_NEAR(play.Position().y, RestingHeight, 0.01f);
}
