#include <cmath>
#include <initializer_list>

#include <gtest/gtest.h>
#include <glm/geometric.hpp>

#include "LineRenderer.h"
#include "ShapeBuilder.h"
#include "WorldShape.h"
#include "../world/ShapeFixtures.h"

namespace
{
/// One frame with the left button down, one with it up, as the editor's update feeds a click.
/// Returns what the press frame answered.
bool Click(ShapeBuilder& builder, glm::vec2 at)
{
    const bool finished = builder.Update(at, true, false);
    if (!finished)
        builder.Update(at, false, false);
    return finished;
}

/// A builder started by a press at the first position (held for one frame, then released), then
/// clicked at every further position. Ends without closing the ring.
ShapeBuilder ClickedBuilder(std::initializer_list<glm::vec2> positions)
{
    const glm::vec2* first = positions.begin();
    ShapeBuilder builder(*first);
    builder.Update(*first, true, false);
    builder.Update(*first, false, false);
    for (const glm::vec2* p = first + 1; p != positions.end(); ++p)
        Click(builder, *p);
    return builder;
}
} // namespace

TEST(ShapeBuilder, ClickedSquareBecomesStraightCornersInEitherOrder)
{
    const struct
    {
        const char* name;
        std::initializer_list<glm::vec2> clicks;
        glm::vec2 stored[4];
        bool reversed;
    } cases[] = {
        {"counter-clockwise", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, false},
        {"clockwise", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {{1, 0}, {1, 1}, {0, 1}, {0, 0}}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ShapeBuilder builder = ClickedBuilder(c.clicks);
        ASSERT_EQ(builder.points.count, 4u);
        EXPECT_TRUE(Click(builder, {0.05f, -0.05f})) << "a click near the first point closes the ring";

        WorldShape shape;
        builder.Finish(shape);
        EXPECT_EQ(builder.NeedsReversal(), c.reversed);
        ASSERT_EQ(shape.points.count, 4u);
        EXPECT_EQ(shape.segments.count, 0u) << "the action compiles it";
        for (uint32_t i = 0; i < 4; ++i)
        {
            SCOPED_TRACE(i);
            const ShapePoint& point = shape.points[i];
            const glm::vec2 next = c.stored[(i + 1) % 4];
            const glm::vec2 previous = c.stored[(i + 3) % 4];
            EXPECT_EQ(point.position, c.stored[i]);
            EXPECT_FALSE(point.isSpline);
            EXPECT_TRUE(point.isCorner);
            EXPECT_EQ(point.surfaceType, SurfaceType::Plain);
            // Handles a quarter of the way along the edges, in the stored order.
            ExpectVecNear(point.handleB, point.position + 0.25f * (next - point.position));
            ExpectVecNear(point.handleA, point.position + 0.25f * (previous - point.position));
        }
        // Stored counter-clockwise either way: the bottom edge's normals face down.
        shape.Compile();
        for (const ShapeSegment& segment : shape.segments)
            if (segment.p0.y == 0.0f && segment.p1.y == 0.0f)
                ExpectVecNear(segment.normals[0], {0.0f, -1.0f});
    }
}

TEST(ShapeBuilder, DraggingPullsMirroredHandlesUntilTheRightButtonBreaksThem)
{
    ShapeBuilder builder({0.0f, 0.0f});
    EXPECT_FALSE(builder.Update({1.0f, 0.0f}, true, false));
    const BuilderPoint& point = builder.points[0];
    EXPECT_EQ(point.handleB, glm::vec2(1.0f, 0.0f));
    EXPECT_EQ(point.handleA, glm::vec2(-1.0f, 0.0f));
    EXPECT_FALSE(point.isCorner);

    EXPECT_FALSE(builder.Update({1.0f, 0.0f}, true, true));
    EXPECT_TRUE(builder.handlesBroken);
    EXPECT_TRUE(point.isCorner);
    EXPECT_FALSE(builder.Update({0.0f, 1.0f}, true, true));
    EXPECT_EQ(point.handleB, glm::vec2(0.0f, 1.0f));
    EXPECT_EQ(point.handleA, glm::vec2(-1.0f, 0.0f));
    EXPECT_EQ(builder.points.count, 1u) << "breaking handles takes no point back";

    // The next point's drag mirrors again.
    builder.Update({0.0f, 1.0f}, false, false);
    builder.Update({3.0f, 0.0f}, true, false);
    builder.Update({3.0f, 1.0f}, true, false);
    EXPECT_FALSE(builder.handlesBroken);
    EXPECT_EQ(builder.points[1].handleA, glm::vec2(3.0f, -1.0f));
}

TEST(ShapeBuilder, RightClickTakesBackAPointOrAbandonsTheShape)
{
    ShapeBuilder builder = ClickedBuilder({{0, 0}, {2, 0}, {2, 2}});
    ASSERT_EQ(builder.points.count, 3u);
    EXPECT_FALSE(builder.Update({5.0f, 5.0f}, false, true));
    builder.Update({5.0f, 5.0f}, false, false);
    ASSERT_EQ(builder.points.count, 2u);
    EXPECT_EQ(builder.points[1].position, glm::vec2(2.0f, 0.0f));

    EXPECT_FALSE(builder.Update({5.0f, 5.0f}, false, true));
    EXPECT_FALSE(builder.Update({5.0f, 5.0f}, false, true)) << "a held button is no fresh press";
    builder.Update({5.0f, 5.0f}, false, false);
    EXPECT_TRUE(builder.Update({5.0f, 5.0f}, false, true)) << "one point left: abandoned";
    EXPECT_EQ(builder.points.count, 1u);

    // A click on the only point finishes too; the editor then makes no shape.
    ShapeBuilder single = ClickedBuilder({{0, 0}});
    EXPECT_TRUE(Click(single, {0.0f, 0.09f}));
    EXPECT_EQ(single.points.count, 1u);
}

TEST(ShapeBuilder, OnlyEdgesBetweenTwoClickedPointsBecomeStraight)
{
    ShapeBuilder builder = ClickedBuilder({{0, 0}});
    // Press at (2, 0) and drag the handle out to (3, 0.5).
    builder.Update({2.0f, 0.0f}, true, false);
    builder.Update({3.0f, 0.5f}, true, false);
    builder.Update({3.0f, 0.5f}, false, false);
    Click(builder, {1.0f, 2.0f});
    ASSERT_TRUE(Click(builder, {0.0f, 0.0f}));

    WorldShape shape;
    builder.Finish(shape);
    ASSERT_EQ(shape.points.count, 3u);
    EXPECT_TRUE(shape.points[0].isSpline) << "clicked, but its edge leads to the dragged point";
    EXPECT_TRUE(shape.points[1].isSpline);
    EXPECT_FALSE(shape.points[2].isSpline) << "between two clicked points";
    EXPECT_FALSE(shape.points[1].isCorner);
    EXPECT_EQ(shape.points[1].handleB, glm::vec2(3.0f, 0.5f));
    EXPECT_EQ(shape.points[1].handleA, glm::vec2(1.0f, -0.5f));
    EXPECT_TRUE(shape.points[0].isCorner);
    EXPECT_TRUE(shape.points[2].isCorner);
}

TEST(ShapeBuilder, ReversingMovesEachSplineFlagWithItsEdge)
{
    // Clockwise: (0, 0), (0, 2) dragged, (2, 2), (2, 0); the edges into and out of the dragged
    // point are curves, the others straight.
    ShapeBuilder builder = ClickedBuilder({{0, 0}});
    builder.Update({0.0f, 2.0f}, true, false);
    builder.Update({0.5f, 2.5f}, true, false);
    builder.Update({0.5f, 2.5f}, false, false);
    Click(builder, {2.0f, 2.0f});
    Click(builder, {2.0f, 0.0f});
    ASSERT_TRUE(builder.NeedsReversal());

    WorldShape shape;
    builder.Finish(shape);
    ASSERT_EQ(shape.points.count, 4u);
    const glm::vec2 order[] = {{2, 0}, {2, 2}, {0, 2}, {0, 0}};
    const bool curved[] = {false, true, true, false}; // edges (2,2)-(0,2) and (0,2)-(0,0)
    for (uint32_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(shape.points[i].position, order[i]);
        EXPECT_EQ(shape.points[i].isSpline, curved[i]);
    }
    EXPECT_EQ(shape.points[2].handleB, glm::vec2(-0.5f, 1.5f)) << "the old incoming handle now leads out";
}

TEST(ShapeBuilder, PreviewShowsTheOpenChainOrTheClosingRing)
{
    ShapeBuilder builder = ClickedBuilder({{0, 0}, {2, 0}, {2, 2}});
    builder.Update({1.0f, 1.0f}, false, false);
    LineRenderer lines;
    builder.Draw(lines);
    // Two edges of 20 samples each as one open strip, then 70 lines of marks per point.
    const size_t chain = 40 - 1;
    ASSERT_EQ(lines.SegmentCount(), chain + 3 * 70);
    EXPECT_FALSE(lines.stripOpen);
    EXPECT_EQ(lines.colours[0], glm::vec3(0.6f, 0.6f, 0.6f));
    const size_t lastPointMarks = chain + 2 * 70;
    EXPECT_EQ(lines.colours[2 * lastPointMarks], glm::vec3(0.5f, 1.0f, 1.0f));
    EXPECT_EQ(lines.colours.back(), glm::vec3(0.0f, 0.8f, 0.0f));
    EXPECT_EQ(lines.currentColour, glm::vec3(0.0f, 0.0f, 0.8f));

    // Within 0.1 of the first point: the whole ring, its closing edge dark red, and a red circle
    // of radius 0.15 round the first point.
    builder.Update({0.02f, 0.03f}, false, false);
    ASSERT_TRUE(builder.closing);
    lines.Clear();
    builder.Draw(lines);
    const size_t ring = 60;
    ASSERT_EQ(lines.SegmentCount(), ring + 3 * 70 + 64);
    EXPECT_EQ(lines.colours[2 * 45 + 1], glm::vec3(0.5f, 0.0f, 0.0f)) << "on the closing edge";
    EXPECT_EQ(lines.colours[2 * 20], glm::vec3(0.6f, 0.6f, 0.6f));
    ExpectVecNear(lines.positions[2 * (ring - 1) + 1], {0.0f, 0.0f}); // the strip closes on its start
    const glm::vec2 circlePoint = lines.positions[lines.positions.size() - 1];
    EXPECT_NEAR(glm::length(circlePoint), 0.15f, 1e-5f);
    EXPECT_EQ(lines.colours.back(), glm::vec3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(lines.currentColour, glm::vec3(0.0f, 0.0f, 0.8f));
}
