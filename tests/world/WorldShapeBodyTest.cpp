#include <cmath>
#include <vector>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "Mesh.h"
#include "ShapeFixtures.h"
#include "WorldShape.h"

using namespace testing_support;

namespace
{
const b2ChainShape& ChainOf(const b2Fixture* fixture)
{
    return *static_cast<const b2ChainShape*>(fixture->GetShape());
}

std::vector<glm::vec2> VerticesOf(const b2Fixture* fixture)
{
    const b2ChainShape& chain = ChainOf(fixture);
    std::vector<glm::vec2> vertices;
    for (int32 i = 0; i < chain.m_count; ++i)
        vertices.push_back({chain.m_vertices[i].x, chain.m_vertices[i].y});
    return vertices;
}

glm::vec2 Vec(const b2Vec2& v)
{
    return {v.x, v.y};
}

/// The forward chain of a segment and the same chain reversed, with the ghosts swapped.
void ExpectChainPair(const b2Fixture* forward, const b2Fixture* backward, const std::vector<glm::vec2>& vertices,
                     glm::vec2 previousGhost, glm::vec2 nextGhost)
{
    EXPECT_EQ(VerticesOf(forward), vertices);
    ExpectNear(Vec(ChainOf(forward).m_prevVertex), previousGhost);
    ExpectNear(Vec(ChainOf(forward).m_nextVertex), nextGhost);
    EXPECT_EQ(VerticesOf(backward), std::vector<glm::vec2>(vertices.rbegin(), vertices.rend()));
    ExpectNear(Vec(ChainOf(backward).m_prevVertex), nextGhost);
    ExpectNear(Vec(ChainOf(backward).m_nextVertex), previousGhost);
}

std::vector<glm::vec2> PolylineOf(const ShapeSegment& segment)
{
    return std::vector<glm::vec2>(segment.points.begin(), segment.points.end());
}

// The unit square, counter-clockwise from the origin: edge 0 along the bottom.
WorldShape UnitSquare(std::initializer_list<SurfaceType> types = {})
{
    return StraightShape({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, types);
}
} // namespace

TEST(WorldShapeBody, SquareGetsOneStaticBodyWithAChainPairPerEdge)
{
    b2World world(LevelGravity);
    WorldShape square = UnitSquare();
    b2Body* body = square.CreateBody(world);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(world.GetBodyCount(), 1);
    EXPECT_EQ(body->GetType(), b2_staticBody);
    ExpectNear(Vec(body->GetPosition()), {0, 0});
    EXPECT_EQ(body->GetAngle(), 0.0f);

    const std::vector<b2Fixture*> fixtures = FixturesOf(body);
    ASSERT_EQ(fixtures.size(), 8u);
    for (uint32_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE("edge " + std::to_string(i));
        const ShapeSegment& edge = square.segments[i];
        ExpectChainPair(fixtures[2 * i], fixtures[2 * i + 1], {edge.p0, edge.p1}, square.segments[(i + 3) % 4].p0,
                        square.segments[(i + 1) % 4].p1);
        for (const b2Fixture* fixture : {fixtures[2 * i], fixtures[2 * i + 1]})
        {
            EXPECT_EQ(fixture->GetType(), b2Shape::e_chain);
            EXPECT_EQ(LinkOf(fixture), &square.segments[i]);
            EXPECT_EQ(LinkOf(fixture)->GetLinkType(), LinkShapeSegment);
            EXPECT_FLOAT_EQ(fixture->GetShape()->m_radius, 0.01f);
            EXPECT_FLOAT_EQ(fixture->GetFriction(), 1.0f);
            EXPECT_EQ(fixture->GetRestitution(), 0.0f);
            EXPECT_EQ(fixture->GetDensity(), 0.0f);
            EXPECT_FALSE(fixture->IsSensor());
            EXPECT_EQ(fixture->GetFilterData().categoryBits, 0x0002);
            EXPECT_EQ(fixture->GetFilterData().maskBits, 0x0001);
            EXPECT_EQ(fixture->GetFilterData().groupIndex, 0);
        }
    }
}

TEST(WorldShapeBody, PassableEdgeGetsNoChainButStillGivesItsNeighboursGhosts)
{
    b2World world(LevelGravity);
    WorldShape square = UnitSquare({SurfaceType::Plain, SurfaceType::Passable});
    const std::vector<b2Fixture*> fixtures = FixturesOf(square.CreateBody(world));
    ASSERT_EQ(fixtures.size(), 6u);
    for (const b2Fixture* fixture : fixtures)
        EXPECT_NE(LinkOf(fixture), &square.segments[1]);
    // Edge 0's next ghost is the passable edge's end, edge 2's previous ghost its start.
    ExpectNear(Vec(ChainOf(fixtures[0]).m_nextVertex), square.segments[1].p1);
    ExpectNear(Vec(ChainOf(fixtures[2]).m_prevVertex), square.segments[1].p0);
}

TEST(WorldShapeBody, CurvedAndJaggedEdgesFollowTheirPolylines)
{
    b2World world(LevelGravity);
    WorldShape ring = SmoothRing(4, 2.0f);
    const std::vector<b2Fixture*> ringFixtures = FixturesOf(ring.CreateBody(world));
    ASSERT_EQ(ringFixtures.size(), 8u);
    const ShapeSegment& last = ring.segments[3];
    ExpectChainPair(ringFixtures[0], ringFixtures[1], PolylineOf(ring.segments[0]), last.points[last.points.count - 2],
                    ring.segments[1].points[1]);

    // A Jagged bottom edge keeps its teeth, and the neighbours take their ghosts from them.
    WorldShape square = UnitSquare({SurfaceType::Jagged});
    const std::vector<b2Fixture*> squareFixtures = FixturesOf(square.CreateBody(world));
    ASSERT_EQ(squareFixtures.size(), 8u);
    const ShapeSegment& jagged = square.segments[0];
    ASSERT_EQ(jagged.points.count, 13u);
    ExpectChainPair(squareFixtures[0], squareFixtures[1], PolylineOf(jagged), square.segments[3].p0,
                    square.segments[1].p1);
    ExpectNear(Vec(ChainOf(squareFixtures[6]).m_nextVertex), jagged.points[1]);
    ExpectNear(Vec(ChainOf(squareFixtures[2]).m_prevVertex), jagged.points[11]);
}

TEST(WorldShapeBody, EdgesTooShortForThePhysicsGetNoChainAndNeverStopTheProgram)
{
    // The physics library aborts on neighbouring chain vertices 0.005 or less apart; the editor
    // and damaged files both make such edges.
    const struct
    {
        const char* name;
        WorldShape shape;
        size_t fixtures;
    } cases[] = {
        {"no points", WorldShape(), 0},
        {"one point", StraightShape({{3, 3}}), 0},
        {"two coinciding points", StraightShape({{0, 0}, {0, 0}}), 0},
        {"all within the tolerance", StraightShape({{0, 0}, {0.003f, 0}, {0.003f, 0.003f}}), 0},
        {"a doubled corner", StraightShape({{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}), 8},
        {"a corner 0.004 from the next", StraightShape({{0, 0}, {1, 0}, {1.004f, 0}, {1, 1}, {0, 1}}), 8},
        {"a curve bunched onto its ends", SmoothRing(3, 0.002f), 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        b2World world(LevelGravity);
        WorldShape shape = c.shape;
        shape.Compile();
        b2Body* body = shape.CreateBody(world);
        ASSERT_NE(body, nullptr);
        const std::vector<b2Fixture*> fixtures = FixturesOf(body);
        EXPECT_EQ(fixtures.size(), c.fixtures);
        for (const b2Fixture* fixture : fixtures)
        {
            const b2ChainShape& chain = ChainOf(fixture);
            ASSERT_GE(chain.m_count, 2);
            for (int32 k = 1; k < chain.m_count; ++k)
                EXPECT_GT(b2DistanceSquared(chain.m_vertices[k - 1], chain.m_vertices[k]), b2_linearSlop * b2_linearSlop);
            // A ghost on the chain's own end would give the join no direction.
            EXPECT_GT(b2Distance(chain.m_prevVertex, chain.m_vertices[0]), b2_linearSlop);
            EXPECT_GT(b2Distance(chain.m_nextVertex, chain.m_vertices[chain.m_count - 1]), b2_linearSlop);
        }
        StepFor(world, 0.1f);
    }
}

TEST(WorldShapeBody, BallsRestOnEdgesFromEitherSide)
{
    // A slab from y = -1 to y = 0: its top edge faces up, its bottom edge down, and balls dropped
    // from 3 units away land on each edge from outside and from inside, with gravity either way.
    // A curved ring is stood on from outside and rolled in from inside.
    const struct
    {
        const char* name;
        bool ring;
        glm::vec2 from;
        float gravity;
        float restingY;
    } cases[] = {
        {"on top of the slab", false, {0.3f, 3.0f}, -5.0f, 0.11f},
        {"on the slab's floor from inside", false, {0.3f, -0.5f}, -5.0f, -0.89f},
        {"under the slab's roof from inside", false, {0.3f, -0.5f}, 5.0f, -0.11f},
        {"under the slab from outside", false, {0.3f, -4.0f}, 5.0f, -1.11f},
        {"on top of a ring", true, {0.0f, 6.0f}, -5.0f, 3.11f},
        {"in the bottom of a ring", true, {0.0f, 0.0f}, -5.0f, -2.89f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        b2World world(b2Vec2(0.0f, c.gravity));
        WorldShape shape = c.ring ? SmoothRing(8, 3.0f) : StraightShape({{-5, -1}, {5, -1}, {5, 0}, {-5, 0}});
        shape.CreateBody(world);
        BallPlayer ball(world, c.from, 0.1f);
        StepFor(world, 4.0f);
        EXPECT_NEAR(ball.Position().y, c.restingY, 0.03f);
        EXPECT_NEAR(ball.body->GetLinearVelocity().y, 0.0f, 0.05f);
    }
}

TEST(WorldShapeBody, BoxesSlideSmoothlyOverTheJoinsOfAFloor)
{
    // A floor of twenty-four short edges, slid along at speed from outside (on the top edges)
    // and from inside (along the floor of a shape that encloses the box): the chains meet end
    // to end on both sides, so the box neither drops into a join nor catches on one.
    std::vector<glm::vec2> slab{{-6, -1}, {6, -1}};
    for (int i = 0; i <= 24; ++i)
        slab.push_back({6.0f - 0.5f * static_cast<float>(i), 0.0f});
    std::vector<glm::vec2> room{{-6, 5}};
    for (int i = 0; i <= 24; ++i)
        room.push_back({-6.0f + 0.5f * static_cast<float>(i), 0.0f});
    room.push_back({6, 5});

    for (const auto& [name, outline, height] :
         {std::tuple{"on top", slab, 0.11f}, std::tuple{"inside", room, 0.11f}})
    {
        SCOPED_TRACE(name);
        WorldShape shape;
        for (size_t i = 0; i < outline.size(); ++i)
            shape.AddPoint(outline[i], outline[i], outline[i], false, true);
        shape.Compile();
        b2World world(LevelGravity);
        shape.CreateBody(world);

        b2BodyDef bodyDef;
        bodyDef.type = b2_dynamicBody;
        bodyDef.position.Set(-4.5f, height);
        bodyDef.linearVelocity.Set(4.0f, 0.0f);
        b2Body* box = world.CreateBody(&bodyDef);
        b2PolygonShape square;
        square.SetAsBox(0.1f, 0.1f);
        b2FixtureDef fixtureDef;
        fixtureDef.shape = &square;
        fixtureDef.density = 1.0f;
        fixtureDef.friction = 0.0f;
        fixtureDef.filter.categoryBits = CollisionCategory::Player;
        fixtureDef.filter.maskBits = CollisionCategory::World;
        box->CreateFixture(&fixtureDef);

        StepFor(world, 0.3f); // settle onto the floor
        float worstRise = 0.0f;
        float worstSpin = 0.0f;
        const float startX = box->GetPosition().x;
        for (int step = 0; step < 100; ++step)
        {
            PhysicsStep::Advance(world, 1.0f / 72.0f);
            worstRise = std::max(worstRise, std::fabs(box->GetLinearVelocity().y));
            worstSpin = std::max(worstSpin, std::fabs(box->GetAngularVelocity()));
        }
        EXPECT_GT(box->GetPosition().x - startX, 4.0f);
        EXPECT_LT(worstRise, 0.05f);
        EXPECT_LT(worstSpin, 0.05f);
    }
}

namespace
{
const float WholeWorld[4] = {-1000.0f, 1000.0f, -1000.0f, 1000.0f};

/// How many of the mesh's triangles hold `point` strictly inside, whichever way they wind.
int Coverage(const Mesh& mesh, glm::vec2 point)
{
    int covering = 0;
    for (uint32_t i = 0; i + 2 < mesh.vertices.count; i += 3)
    {
        const MeshVertex* t = &mesh.vertices.items[i];
        auto side = [&](const MeshVertex& a, const MeshVertex& b) {
            return (b.x - a.x) * (point.y - a.y) - (b.y - a.y) * (point.x - a.x);
        };
        const float s0 = side(t[0], t[1]);
        const float s1 = side(t[1], t[2]);
        const float s2 = side(t[2], t[0]);
        covering += (s0 > 0 && s1 > 0 && s2 > 0) || (s0 < 0 && s1 < 0 && s2 < 0);
    }
    return covering;
}
} // namespace

TEST(WorldShapeFill, FanFromTheFirstOutlinePointCoversTheInsideOddTimes)
{
    WorldShape square = StraightShape({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    Mesh fill;
    square.AppendTriangles(fill, WholeWorld);
    ASSERT_EQ(fill.vertices.count, 3u * (square.outline.count - 2));
    for (uint32_t i = 0; i + 2 < fill.vertices.count; i += 3)
    {
        const MeshVertex& hub = fill.vertices.items[i];
        EXPECT_EQ(hub.x, square.outline[0].x);
        EXPECT_EQ(hub.y, square.outline[0].y);
        for (uint32_t k = 0; k < 3; ++k)
        {
            EXPECT_EQ(fill.vertices.items[i + k].u, 0.0f);
            EXPECT_EQ(fill.vertices.items[i + k].v, 0.0f);
        }
    }
    // Off-grid points, so that none lies on a fan diagonal.
    for (float x = -0.487f; x < 2.5f; x += 0.213f)
        for (float y = -0.491f; y < 2.5f; y += 0.197f)
            EXPECT_EQ(Coverage(fill, {x, y}), square.HitTestPoint({x, y}) ? 1 : 0) << x << ", " << y;

    // A dart fanned from one of its tips, which cannot see the other tip past the notch: the
    // triangles overlap and reach out into the notch.
    WorldShape dart = StraightShape({{2, 1}, {0, 0}, {2, -1}, {1, 0}});
    Mesh dartFill;
    dart.AppendTriangles(dartFill, WholeWorld);
    bool reachedOut = false;
    for (float x = -0.487f; x < 2.5f; x += 0.0713f)
        for (float y = -1.491f; y < 1.5f; y += 0.0697f)
        {
            const int covering = Coverage(dartFill, {x, y});
            EXPECT_EQ(covering % 2, dart.HitTestPoint({x, y}) ? 1 : 0) << x << ", " << y;
            reachedOut = reachedOut || (covering > 0 && !dart.HitTestPoint({x, y}));
        }
    EXPECT_TRUE(reachedOut);
}

TEST(WorldShapeFill, NothingForTinyOutlinesOrShapesOutOfView)
{
    WorldShape square = StraightShape({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    const struct
    {
        const char* name;
        float view[4];
        bool drawn;
    } views[] = {
        {"overlapping", {1.9f, 5.0f, 1.9f, 5.0f}, true},
        {"touching the right side", {2.0f, 5.0f, 0.0f, 1.0f}, false},
        {"touching the top", {0.0f, 1.0f, 2.0f, 3.0f}, false},
        {"left of it", {-5.0f, 0.0f, 0.0f, 1.0f}, false},
        {"below it", {0.0f, 1.0f, -5.0f, -0.001f}, false},
    };
    for (const auto& v : views)
    {
        Mesh fill;
        square.AppendTriangles(fill, v.view);
        EXPECT_EQ(fill.vertices.count > 0, v.drawn) << v.name;
    }

    for (WorldShape tiny : {StraightShape({{1, 1}}), StraightShape({{0, 0}, {0.05f, 0}}), WorldShape()})
    {
        Mesh fill;
        tiny.AppendTriangles(fill, WholeWorld);
        EXPECT_EQ(fill.vertices.count, 0u);
    }
}

TEST(WorldShapeSize, MeasuredSizeIsWhatCompilingMakes)
{
    // Loaders refuse shapes by these counts before compiling them, so they must be exact.
    WorldShape farCurve = SmoothRing(5, 3.0f);
    farCurve.Translate({900000.0f, -700000.0f});
    WorldShape huge = StraightShape({{0, 0}, {9000, 0}, {9000, 9000}});
    const struct
    {
        const char* name;
        WorldShape shape;
    } cases[] = {
        {"no points", WorldShape()},
        {"one point", StraightShape({{1, 1}})},
        {"a Jagged square", UnitSquare({SurfaceType::Jagged, SurfaceType::Jagged})},
        {"a smooth ring", SmoothRing(7, 2.5f, {SurfaceType::MagneticAttractor, SurfaceType::Jagged})},
        {"a ring far from the origin", farCurve},
        {"edges past the sampling cap", huge},
        {"a passable curve", SmoothRing(3, 1.0f, {SurfaceType::Passable, SurfaceType::Plain, SurfaceType::Passable})},
    };
    for (const auto& c : cases)
    {
        WorldShape shape = c.shape;
        const WorldShape::CompiledSize measured = shape.MeasureCompiled();
        shape.Compile();
        uint64_t made = 0;
        uint64_t chained = 0;
        for (const ShapeSegment& segment : shape.segments)
        {
            made += segment.points.count;
            if ((segment.isCurved || segment.surfaceType == SurfaceType::Jagged) &&
                segment.surfaceType != SurfaceType::Passable)
                chained += segment.points.count;
        }
        EXPECT_EQ(measured.points, made) << c.name;
        EXPECT_EQ(measured.chainedPoints, chained) << c.name;
    }
}
