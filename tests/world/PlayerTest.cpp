#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "ControlScheme.h"
#include "FigureGeometry.h"
#include "LevelObjectTesting.h"
#include "LineRenderer.h"
#include "Player.h"
#include "PlayTesting.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

using namespace testing_support;
using namespace play_testing;

namespace
{
bool SameBindings(const ControlScheme& a, const ControlScheme& b)
{
    auto same = [](const DynArray<InputBinding>& x, const DynArray<InputBinding>& y) {
        return std::vector<InputBinding>(x.begin(), x.end()) == std::vector<InputBinding>(y.begin(), y.end());
    };
    return same(a.jump, b.jump) && same(a.brake, b.brake) && same(a.fang, b.fang) &&
           same(a.rotateLeft, b.rotateLeft) && same(a.rotateRight, b.rotateRight);
}

glm::vec2 CornerOffset(int i)
{
    return FigureCornerRadius * glm::vec2(std::cos(FigureCornerAngles[i]), std::sin(FigureCornerAngles[i]));
}

/// A figure settled upright on a floor of `type`, the local player of its level.
PlayLevel& Settled(PlayLevel& play, SurfaceType type = SurfaceType::Plain)
{
    play.Add(Floor(type)).StartAt({0, 0.5f}).Start();
    play.Frames(90);
    return play;
}

/// The segments that `Player::Draw` adds for the figure itself: three spokes, three edges, six
/// edge pieces inside the circles and three circles of 32 chords.
constexpr size_t FigureSegments = 3 + 3 + 6 + 3 * 32;
} // namespace

TEST(PlayerControls, ReadFromTheControlsFileOrDefaultsWrittenThere)
{
    namespace fs = std::filesystem;
    // The controls file is read from the working folder: in one of the test's own, neither a file
    // that an earlier test left there nor the looping link below meets another test.
    const ScratchFolder folder;
    fs::create_directory("Data");

    // Missing: the defaults, written for the player to edit.
    {
        Player player;
        EXPECT_TRUE(SameBindings(player.controls, ControlScheme::MakeDefault()));
        EXPECT_TRUE(SameBindings(ControlScheme::Load(Player::ControlsPath), ControlScheme::MakeDefault()));
    }

    // Present: read as it is and left alone.
    {
        std::ofstream(Player::ControlsPath) << "Jump->Key::Space\n";
        Player player;
        ASSERT_EQ(player.controls.jump.count, 1u);
        EXPECT_EQ(player.controls.jump[0], (InputBinding{InputDevice::Key, 32}));
        EXPECT_EQ(player.controls.fang.count, 0u);
        EXPECT_EQ(ReadFile(Player::ControlsPath), "Jump->Key::Space\n");
    }

    // The file system cannot say whether it is there (a link that loops back on itself): the
    // defaults, one logged fault, and nothing written over the link.
    {
        fs::remove(Player::ControlsPath);
        fs::create_symlink("Player1Controls.txt", Player::ControlsPath);
        const LogWatches logs;
        Player player;
        EXPECT_TRUE(SameBindings(player.controls, ControlScheme::MakeDefault()));
        logs.ExpectOneWarning("[Player.cpp:30]Could not tell whether \"Data/Player1Controls.txt\" exists");
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(Player::ControlsPath)));
    }
}

TEST(PlayerBody, TriangleAndCornerCirclesThatTouchOnlyTheWorld)
{
    const ScratchFolder folder; // for the controls file that the figure reads or writes
    b2World world(LevelGravity);
    Player player;
    player.CreateBody({2.0f, 3.0f}, 0.5f, world);

    b2Body* body = player.body;
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->GetType(), b2_dynamicBody);
    ExpectNear(Vec(body->GetPosition()), {2.0f, 3.0f});
    EXPECT_FLOAT_EQ(body->GetAngle(), 0.5f);
    EXPECT_EQ(body->GetLinearDamping(), 0.0f);
    EXPECT_EQ(body->GetAngularDamping(), 5.0f);
    EXPECT_EQ(body->GetGravityScale(), 1.0f);
    EXPECT_TRUE(body->IsAwake());
    EXPECT_TRUE(body->IsSleepingAllowed());
    EXPECT_FALSE(body->IsFixedRotation());
    EXPECT_FALSE(body->IsBullet());
    ExpectNear(player.respawnPosition, {2.0f, 3.0f});
    EXPECT_EQ(player.respawnAngle, 0.5f);
    for (const DynArray<glm::vec2>& trail : player.trails)
        EXPECT_EQ(trail.count, Player::TrailLength);
    EXPECT_EQ(player.trailColours.count, Player::TrailLength);

    const std::vector<b2Fixture*> fixtures = FixturesOf(body);
    ASSERT_EQ(fixtures.size(), 4u);
    const auto& triangle = *static_cast<const b2PolygonShape*>(fixtures[0]->GetShape());
    ASSERT_EQ(fixtures[0]->GetType(), b2Shape::e_polygon);
    ASSERT_EQ(triangle.m_count, 3);
    for (int i = 0; i < 3; ++i)
    {
        bool found = false;
        for (int v = 0; v < 3; ++v)
            found = found || glm::length(Vec(triangle.m_vertices[v]) - CornerOffset(i)) < 1e-5f;
        EXPECT_TRUE(found) << "corner " << i;
    }
    EXPECT_EQ(fixtures[0]->GetFriction(), 0.5f);
    EXPECT_EQ(fixtures[0]->GetDensity(), 0.5f);
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE("corner circle " + std::to_string(i));
        b2Fixture* circle = fixtures[1 + i];
        EXPECT_EQ(player.circleFixtures[i], circle);
        ASSERT_EQ(circle->GetType(), b2Shape::e_circle);
        EXPECT_EQ(circle->GetShape()->m_radius, 0.1f);
        ExpectNear(Vec(static_cast<const b2CircleShape*>(circle->GetShape())->m_p), CornerOffset(i));
        EXPECT_EQ(circle->GetFriction(), 0.2f);
        EXPECT_EQ(circle->GetDensity(), 1.0f);
    }
    for (b2Fixture* fixture : fixtures)
    {
        EXPECT_FALSE(fixture->IsSensor());
        EXPECT_EQ(fixture->GetRestitution(), 0.0f);
        EXPECT_EQ(fixture->GetFilterData().categoryBits, CollisionCategory::Player);
        EXPECT_EQ(fixture->GetFilterData().maskBits, CollisionCategory::World);
        EXPECT_EQ(LinkOf(fixture), static_cast<PhysicsLink*>(&player));
    }
}

TEST(PlayerJump, OneImpulseOfHalfAUnitAwayFromWhatTheCornersTouch)
{
    PlayLevel play;
    Settled(play);
    const float mass = play.Body().GetMass();
    ASSERT_NEAR(play.Position().y, RestingHeight, 0.01f);

    // Two corners on the ground, a quarter each, straight up.
    play.Local().SetJump(true);
    EXPECT_EQ(play.Local().flashTimer, 0.0f);
    EXPECT_NEAR(play.Velocity().y, 0.5f / mass, 0.02f);
    EXPECT_NEAR(play.Velocity().x, 0.0f, 1e-3f);
    EXPECT_NEAR(play.Body().GetAngularVelocity(), 0.0f, 1e-2f);

    // Holding it down, and pressing it again in the air, only flashes.
    play.Frames(3);
    const glm::vec2 inTheAir = play.Velocity();
    play.Local().SetJump(true);
    play.Local().SetJump(false);
    play.Local().flashTimer = 1.0f;
    play.Local().SetJump(true);
    EXPECT_EQ(play.Local().flashTimer, 0.0f);
    ExpectNear(play.Velocity(), inTheAir);

    // With one corner down, the whole half unit goes through it, pushing it off the floor.
    PlayLevel tilted;
    tilted.Add(Floor()).StartAt({0, 0.5f}).Start();
    tilted.Body().SetTransform(b2Vec2(0.0f, 0.28f), 0.6f);
    tilted.Body().SetLinearVelocity(b2Vec2(0.0f, 0.0f));
    tilted.Frame();
    int down = 0;
    for (b2ContactEdge* edge = tilted.Body().GetContactList(); edge; edge = edge->next)
        down += edge->contact->IsTouching();
    ASSERT_EQ(down, 1);
    const glm::vec2 before = tilted.Velocity();
    tilted.Local().SetJump(true);
    ExpectNear(tilted.Velocity() - before, {0.0f, 0.5f / tilted.Body().GetMass()}, 0.02f);
}

TEST(PlayerJump, ARemotePlayersPressFlashesButDoesNotPushOnThisMachine)
{
    PlayLevel play;
    play.Add(Floor()).StartAt({0, 0.5f}).Start(2, 0);
    play.Frames(90);
    Player& remote = play.level.players[1];
    ASSERT_FALSE(remote.isLocal);
    const glm::vec2 before = Vec(remote.body->GetLinearVelocity());
    remote.SetJump(true);
    EXPECT_EQ(remote.flashTimer, 0.0f);
    ExpectNear(Vec(remote.body->GetLinearVelocity()), before);
}

TEST(PlayerColour, BrakeEasesOverATwelfthOfASecondAndAJumpFlashFadesTenfoldASecond)
{
    PlayLevel play;
    play.StartAt({0, 0}).Start();
    Player& player = play.Local();
    const float dt = 1.0f / 72.0f;

    player.SetBrake(true);
    EXPECT_EQ(play.Body().GetLinearDamping(), 1.5f);
    player.UpdatePhysics(dt * 3.0f, play.level); // a twenty-fourth of a second: half way
    ExpectNear(player.currentColour, glm::mix(player.normalColour, player.brakeColour, 0.5f), 1e-4f);
    player.UpdatePhysics(dt * 3.0f, play.level);
    ExpectNear(player.currentColour, player.brakeColour);
    player.SetBrake(false);
    EXPECT_EQ(play.Body().GetLinearDamping(), 0.0f);
    player.UpdatePhysics(1.0f, play.level);
    ExpectNear(player.currentColour, player.normalColour);

    player.SetJump(true);
    player.UpdatePhysics(0.0f, play.level);
    ExpectNear(player.displayColour, 0.5f * player.normalColour + player.flashColour);
    player.UpdatePhysics(1.0f, play.level);
    ExpectNear(player.displayColour, 0.95f * player.normalColour + 0.1f * player.flashColour, 1e-5f);
}

TEST(PlayerSurfaces, AcceleratorsPushAlongTheSurfaceOnlyWithFangHeld)
{
    struct Case
    {
        SurfaceType type;
        bool fang;
        float direction; // of the push along x, 0 for none
    };
    for (const Case& c : {Case{SurfaceType::ClockwiseAccelerator, true, 1.0f},
                          Case{SurfaceType::AnticlockwiseAccelerator, true, -1.0f},
                          Case{SurfaceType::ClockwiseAccelerator, false, 0.0f},
                          Case{SurfaceType::AnticlockwiseAccelerator, false, 0.0f}})
    {
        SCOPED_TRACE("surface " + std::to_string(static_cast<int>(c.type)) + (c.fang ? " with Fang" : " without Fang"));
        PlayLevel play;
        Settled(play, c.type);
        PlayInput input;
        input.fang = c.fang;
        play.Frame(input); // the push of this frame's contacts acts in the next step
        const float before = play.Velocity().x;
        play.Frame(input);
        // The whole push, once: not doubled by the edge's second chain, nor cancelled by it.
        const float expected = c.direction * 1.4f * FrameDt / play.Body().GetMass();
        EXPECT_NEAR(play.Velocity().x - before, expected, 0.05f * 1.4f * FrameDt / play.Body().GetMass());

        play.Frames(60, input);
        if (c.direction == 0.0f)
            EXPECT_NEAR(play.Velocity().x, 0.0f, 1e-3f);
        else
            EXPECT_GT(play.Velocity().x * c.direction, 2.0f);
    }
}

TEST(PlayerSurfaces, MagnetsPullAndPushOnlyWithFangHeldAndOncePerEdge)
{
    struct Case
    {
        SurfaceType type;
        bool fang;
        float sense; // of the magnet's force along y: -1 towards the floor, +1 away, 0 none
    };
    for (const Case& c : {Case{SurfaceType::MagneticAttractor, true, -1.0f}, Case{SurfaceType::MagneticRepulsor, true, 1.0f},
                          Case{SurfaceType::MagneticAttractor, false, 0.0f}, Case{SurfaceType::MagneticRepulsor, false, 0.0f}})
    {
        SCOPED_TRACE("surface " + std::to_string(static_cast<int>(c.type)) + (c.fang ? " with Fang" : " without Fang"));
        PlayLevel play;
        play.Add(Floor(c.type)).StartAt({0.3f, 1.0f}).Start();
        PlayInput input;
        input.fang = c.fang;
        play.Frame(input);

        // The force that the corners feel, summed once over the edges.
        glm::vec2 corners[3];
        play.Local().GetCorners(corners);
        glm::vec2 field{0, 0};
        for (const ShapeSegment& segment : play.level.worldShapes[0].segments)
            for (const glm::vec2& corner : corners)
                field += segment.GetMagneticForce(corner);
        ASSERT_GT(std::abs(field.y), 0.1f);
        EXPECT_GT(field.y * c.sense, -1e-6f);

        const glm::vec2 before = play.Velocity();
        play.Frame(input);
        const glm::vec2 gravityOnly{0.0f, -5.0f * FrameDt};
        const glm::vec2 expected = gravityOnly + (c.fang ? field * FrameDt / play.Body().GetMass() : glm::vec2(0, 0));
        ExpectNear(play.Velocity() - before, expected, 2e-3f);
    }
}

TEST(PlayerTrails, RingsHoldTheLastNinetySamplesAndStartAgainOnARespawn)
{
    PlayLevel play;
    play.StartAt({0, 0}).Start();
    play.level.world->SetGravity(b2Vec2(0.0f, 0.0f));
    play.Place({0, 0}, {1.0f, 0.0f});
    play.Frames(200);
    Player& player = play.Local();
    EXPECT_EQ(player.trailWrites, 200u);

    LineRenderer lines;
    player.Draw(lines);
    ASSERT_EQ(lines.SegmentCount(), 89u * 3u + FigureSegments);
    // The newest trail piece of each corner ends where the corner was at the last step, at a
    // quarter of the figure's colour; the oldest starts at almost nothing.
    glm::vec2 corners[3];
    player.GetCorners(corners);
    for (int i = 0; i < 3; ++i)
    {
        const Segment newest = SegmentAt(lines, 88u * 3u + static_cast<size_t>(i));
        ExpectNear(newest.to, corners[i]);
        ExpectNear(newest.to - newest.from, glm::vec2(FrameDt, 0.0f), 1e-4f);
        ExpectNear(newest.toColour, 0.25f * player.displayColour);
        const Segment oldest = SegmentAt(lines, static_cast<size_t>(i));
        ExpectNear(oldest.fromColour, 0.25f * player.displayColour * (1.0f / 90.0f));
        ExpectNear(oldest.from, corners[i] - glm::vec2(89.0f * FrameDt, 0.0f), 1e-3f);
    }

    // After a respawn no trail shows until two new samples exist.
    play.Frame(Holding(&PlayInput::respawn));
    lines.Clear();
    player.Draw(lines);
    EXPECT_EQ(lines.SegmentCount(), FigureSegments);
    play.Frame();
    lines.Clear();
    player.Draw(lines);
    EXPECT_EQ(lines.SegmentCount(), 3u + FigureSegments);
}

TEST(PlayerDrawing, FigureColoursAndContactMarks)
{
    PlayLevel play;
    Settled(play);
    Player& player = play.Local();
    player.trailWrites = 0; // the figure alone
    LineRenderer lines;
    player.Draw(lines);
    // Two corners rest on the floor: a yellow mark along it under each.
    ASSERT_EQ(lines.SegmentCount(), 2u + FigureSegments);
    for (size_t i = 0; i < 2; ++i)
    {
        const Segment mark = SegmentAt(lines, i);
        ExpectNear(mark.fromColour, {1, 1, 0});
        EXPECT_NEAR(glm::length(mark.to - mark.from), 0.2f, 1e-4f);
        EXPECT_NEAR(mark.from.y, mark.to.y, 1e-3f);
        EXPECT_NEAR(mark.from.y, 0.0f, 0.02f);
    }
    ExpectSegmentsColoured(lines, 2, 3, {0.5f, 0.5f, 0.5f});
    ExpectSegmentsColoured(lines, 5, 3, {1, 1, 1});
    ExpectSegmentsColoured(lines, 8, 6, 0.5f * player.displayColour);
    ExpectSegmentsColoured(lines, 14, 96, player.displayColour);
    ExpectNear(lines.currentColour, player.displayColour);
    // The white edges stop at the rims of the corner circles.
    glm::vec2 corners[3];
    player.GetCorners(corners);
    EXPECT_NEAR(glm::length(SegmentAt(lines, 5).from - corners[0]), 0.1f, 1e-4f);
    EXPECT_NEAR(glm::length(SegmentAt(lines, 5).to - corners[1]), 0.1f, 1e-4f);
}

TEST(PlayerDeparted, NeitherSteppedNorDrawn)
{
    PlayLevel play;
    play.StartAt({0, 0}).Start(2, 0);
    Player& gone = play.level.players[1];
    gone.departed = true;
    play.Frames(5);
    EXPECT_EQ(gone.trailWrites, 0u);
    LineRenderer lines;
    gone.Draw(lines);
    EXPECT_EQ(lines.SegmentCount(), 0u);
}

TEST(PlayerNetworkState, SetsTheBodyAndIgnoresDamagedStates)
{
    PlayLevel play;
    play.StartAt({0, 0}).Start();
    Player& player = play.Local();
    EXPECT_TRUE(player.ApplyNetworkState({3, 4}, {1, -2}, 0.25f, 2.0f));
    ExpectNear(play.Position(), {3, 4});
    ExpectNear(play.Velocity(), {1, -2});
    EXPECT_FLOAT_EQ(play.Body().GetAngle(), 0.25f);
    EXPECT_FLOAT_EQ(play.Body().GetAngularVelocity(), 2.0f);
    EXPECT_TRUE(play.Body().IsAwake());

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Damaged
    {
        glm::vec2 position, velocity;
        float angle, spin;
    };
    for (const Damaged& d : {Damaged{{nan, 0}, {0, 0}, 0, 0}, Damaged{{0, 0}, {0, inf}, 0, 0}, Damaged{{0, 0}, {0, 0}, nan, 0},
                             Damaged{{0, 0}, {0, 0}, 0, -inf}, Damaged{{2e6f, 0}, {0, 0}, 0, 0}})
    {
        EXPECT_FALSE(player.ApplyNetworkState(d.position, d.velocity, d.angle, d.spin));
        ExpectNear(play.Position(), {3, 4});
    }
    play.Frames(2);
    EXPECT_TRUE(std::isfinite(play.Position().x) && std::isfinite(play.Position().y));
}

TEST(PlayerSurfaces, AnEdgeTouchedThroughBothItsChainsCountsOnce)
{
    // A lower corner centred exactly on the floor's top edge (the other one a hair above it): both
    // chains of the edge touch that corner, with opposite normals. The figure above the floor must
    // still be pushed along it and off it, as by one edge.
    // The floor is wound both ways round, so either of the chains can be the first one found.
    const SurfaceType type = SurfaceType::ClockwiseAccelerator;
    struct Case
    {
        const char* what;
        bool clockwiseFloor;
        bool jump;
    };
    for (const Case& c : {Case{"accelerator", false, false}, Case{"jump", false, true},
                          Case{"accelerator on a clockwise floor", true, false}, Case{"jump on a clockwise floor", true, true}})
    {
        SCOPED_TRACE(c.what);
        PlayLevel play;
        if (c.clockwiseFloor)
            play.Add(StraightShape({{-20, 0}, {20, 0}, {20, -1}, {-20, -1}}, {type, type, type, type}));
        else
            play.Add(Floor(type));
        play.StartAt({0, 0.5f}).Start();
        play.Frames(90);
        // Exactly on the line: the circle's centre height plus the body's is 0 in any rounding.
        // Of the two lower corners, the one at 330 degrees sits lower by a rounding.
        b2Fixture* corner = play.Local().circleFixtures[2];
        play.Place({0.0f, -static_cast<const b2CircleShape*>(corner->GetShape())->m_p.y});
        // A step of no time finds the contacts where the figure was put and moves nothing.
        PhysicsStep::Advance(*play.level.world, 0.0f);
        int touches = 0;
        for (b2ContactEdge* edge = play.Body().GetContactList(); edge; edge = edge->next)
            touches += edge->contact->IsTouching() &&
                       (edge->contact->GetFixtureA() == corner || edge->contact->GetFixtureB() == corner);
        ASSERT_EQ(touches, 2) << "the corner should touch the edge through both its chains";

        const float mass = play.Body().GetMass();
        const glm::vec2 before = play.Velocity();
        if (c.jump)
        {
            play.Local().SetJump(true);
            ExpectNear(play.Velocity() - before, {0.0f, 0.5f / mass}, 0.02f);
        }
        else
        {
            play.Local().fangHeld = true;
            play.Local().UpdatePhysics(FrameDt, play.level);
            PhysicsStep::Advance(*play.level.world, FrameDt);
            EXPECT_NEAR(play.Velocity().x - before.x, 1.4f * FrameDt / mass, 0.1f * 1.4f * FrameDt / mass);
        }
    }
}
