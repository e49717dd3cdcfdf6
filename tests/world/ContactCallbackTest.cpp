#include <cfloat>
#include <string>
#include <vector>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "ContactCallback.h"
#include "LevelObjectTesting.h"
#include "PlayTesting.h"

using namespace testing_support;
using namespace play_testing;

TEST(ContactTrinkets, VanishOnTouchWithAnyPartAndReturnOnRespawn)
{
    // The figure falls past one trinket with its centre and brushes another with a corner only.
    PlayLevel play;
    play.Add(Floor()).StartAt({0, 2}).AddTrinket({0, 1}).AddTrinket({0.35f, 0.4f}).AddTrinket({5, 1}).Start();
    play.Frames(120);
    ASSERT_NEAR(play.Position().y, RestingHeight, 0.01f);
    EXPECT_EQ(play.level.trinkets[0].timer, FLT_MAX);
    EXPECT_EQ(play.level.trinkets[1].timer, FLT_MAX);
    EXPECT_LT(play.level.trinkets[2].timer, 0.0f) << "a trinket out of reach is still shown, its timer running down";
    EXPECT_FALSE(play.level.trinkets[0].IsShown());

    play.Frame(Holding(&PlayInput::respawn));
    for (const Trinket& trinket : play.level.trinkets)
        EXPECT_TRUE(trinket.IsShown());
}

TEST(ContactGates, CountOnlyInOrderAndMoveTheRespawnPoint)
{
    // Three upright gates along a floor; the ring runs 0, 1, 2 and the player has passed 0.
    PlayLevel play;
    play.Add(Floor()).StartAt({0, 0.5f});
    for (float x : {2.0f, 4.0f, 6.0f})
        play.AddWaypoint({x, 0.1f}, {x, 1.4f}, {x + 0.5f, 0.5f});
    play.Start();
    play.Frames(30);

    // Through a gate: the figure put on its line for a frame, then back out of its way.
    auto pass = [&](int gate) {
        const float x = play.level.waypoints[static_cast<uint32_t>(gate)].endA.x;
        play.Place({x, 0.75f});
        play.Frame();
        play.Place({x + 1.0f, RestingHeight});
        play.Frame();
    };
    struct Step
    {
        int gate;
        int lastAfter;
    };
    for (const Step& step : {Step{2, 0}, Step{1, 1}, Step{1, 1}, Step{0, 1}, Step{2, 2}, Step{0, 0}, Step{1, 1}})
    {
        SCOPED_TRACE("through gate " + std::to_string(step.gate));
        const glm::vec2 respawnBefore = play.Local().respawnPosition;
        const int lastBefore = play.Local().lastWaypoint;
        pass(step.gate);
        EXPECT_EQ(play.Local().lastWaypoint, step.lastAfter);
        if (step.lastAfter != lastBefore)
        {
            ExpectNear(play.Local().respawnPosition, play.level.waypoints[static_cast<uint32_t>(step.gate)].respawnPoint);
            EXPECT_LT(play.Local().timeSinceWaypoint, 2.5f * FrameDt);
        }
        else
        {
            ExpectNear(play.Local().respawnPosition, respawnBefore);
        }
    }

    // Respawning puts the figure at the last gate's point, at rest, whatever its angle was.
    play.Body().SetTransform(b2Vec2(-3.0f, 5.0f), 2.0f);
    play.Body().SetLinearVelocity(b2Vec2(4.0f, -1.0f));
    play.Frame(Holding(&PlayInput::respawn));
    ExpectNear(play.Position(), play.level.waypoints[1].respawnPoint);
    EXPECT_EQ(play.Body().GetAngle(), 0.0f);
}

TEST(ContactGates, LeaningOnAPostNeverPassesTheGate)
{
    // A gate lying across the floor's surface: the figure comes to rest against its post from the
    // side, touching the post and never the line between the posts.
    PlayLevel play;
    play.Add(Floor()).StartAt({-1, 0.5f}).AddWaypoint({-3, 0.15f}, {-4.3f, 0.15f}, {0, 1}).AddWaypoint({0.5f, 0.15f}, {2, 0.15f}, {3, 1});
    play.Start();
    play.Frames(30);
    // Its lower right corner circle rests against the post of the next gate.
    play.Place({0.5f - 0.24f - 0.1732f, RestingHeight});
    bool touchedPost = false;
    for (int i = 0; i < 60; ++i)
    {
        play.Frame();
        for (b2ContactEdge* edge = play.Body().GetContactList(); edge; edge = edge->next)
            touchedPost = touchedPost || (edge->contact->IsTouching() && edge->other->GetPosition().x == 0.5f);
    }
    EXPECT_TRUE(touchedPost);
    EXPECT_LT(play.Position().x, 0.5f);
    EXPECT_EQ(play.Local().lastWaypoint, 0);
    EXPECT_EQ(play.Local().timeSinceWaypoint, FLT_MAX);
}

TEST(ContactFriction, BrakingGripsAndOtherwiseTheFigureSlides)
{
    for (bool brake : {false, true})
    {
        SCOPED_TRACE(brake ? "braking" : "not braking");
        PlayLevel play;
        play.Add(Floor()).StartAt({0, 0.5f}).Start();
        play.Frames(60);
        PlayInput input;
        input.brake = brake;
        play.Frames(2, input); // held in one frame, it acts from the next step on
        int touching = 0;
        for (b2ContactEdge* edge = play.Body().GetContactList(); edge; edge = edge->next)
            if (edge->contact->IsTouching())
            {
                ++touching;
                EXPECT_EQ(edge->contact->GetFriction(), brake ? 5.0f : 0.01f);
            }
        EXPECT_EQ(touching, 2);

        // Pushed along the floor, the sliding figure keeps most of its speed; the braking one stops.
        play.Place({0, RestingHeight}, {3.0f, 0.0f});
        play.Frames(36, input);
        if (brake)
            EXPECT_LT(std::abs(play.Velocity().x), 1.0f);
        else
            EXPECT_GT(play.Velocity().x, 2.5f);
    }
}

TEST(ContactBouncer, KicksAwayFromTheSurfaceAtMostOncePerTenthOfASecond)
{
    // The figure is held down on a bouncer floor frame after frame: every contact would kick it,
    // through both the edge's chains and both lower corners, but it is kicked once per 0.1 s.
    PlayLevel play;
    play.Add(Floor(SurfaceType::Bouncer)).StartAt({0, 0.5f}).Start();
    std::vector<float> kicks;
    for (int frame = 0; frame < 144; ++frame)
    {
        play.Place({0, RestingHeight}, {0, -1.0f});
        const float before = play.Local().bounceTimer;
        play.Frame();
        if (play.Local().bounceTimer < before)
        {
            kicks.push_back(play.level.time);
            EXPECT_GT(play.Velocity().y, 0.8f / play.Body().GetMass() - 2.0f) << "kicked up from the floor";
            EXPECT_NEAR(play.Velocity().x, 0.0f, 0.05f);
        }
    }
    ASSERT_GE(kicks.size(), 16u);
    EXPECT_LE(kicks.size(), 20u);
    for (size_t i = 1; i < kicks.size(); ++i)
        EXPECT_GT(kicks[i] - kicks[i - 1], 0.1f);

    // On a plain floor nothing kicks.
    PlayLevel plain;
    plain.Add(Floor()).StartAt({0, 0.5f}).Start();
    plain.Frames(120);
    EXPECT_EQ(plain.Local().bounceTimer, FLT_MAX);
}

TEST(ContactWithoutPlayer, IsLoggedAndChangesNothing)
{
    // A body of a world object that is made to touch the world, which no level does: the rules
    // find no player, say so, and go on.
    b2World world(LevelGravity);
    ContactCallback rules;
    world.SetContactListener(&rules);
    WorldShape floor = Floor();
    floor.CreateBody(world);

    Trinket stray({0, 0.3f});
    LinkedBall(world, {0.0f, 0.3f}, 0.2f, CollisionCategory::Player, CollisionCategory::World, &stray);

    const uint32_t errors = ErrorLineCount();
    StepFor(world, 0.2f);
    ASSERT_GT(ErrorLineCount(), errors);
    bool preSolve = false;
    bool postSolve = false;
    for (uint32_t i = errors; i < ErrorLineCount(); ++i)
    {
        const std::string& line = ErrorLog.GetHistory()[i];
        preSolve = preSolve || line == "[ContactCallback.cpp:84]Collision couldn't find player pointer, this shouldn't happen.";
        postSolve = postSolve || line == "[ContactCallback.cpp:127]Collision couldn't find player pointer, this shouldn't happen.";
    }
    EXPECT_TRUE(preSolve);
    EXPECT_TRUE(postSolve);
    EXPECT_EQ(stray.timer, 0.0f);
}
