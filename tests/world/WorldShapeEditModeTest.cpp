#include <cmath>

#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "LineRenderer.h"
#include "ShapeFixtures.h"
#include "WorldShape.h"

namespace
{
/// An L: a 2 by 2 square with its top-right quarter cut away. Counter-clockwise.
WorldShape LShape()
{
    return StraightShape({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 2.0f}, {0.0f, 2.0f}});
}
} // namespace

TEST(WorldShapeHitTest, PointsInsideTheOutlineOnly)
{
    WorldShape l = LShape();
    // A U whose outline starts on the line of its top edges: the gap between the arms lies on
    // that line but outside the shape.
    WorldShape u = StraightShape({{0.0f, 3.0f}, {0.0f, 0.0f}, {3.0f, 0.0f}, {3.0f, 3.0f}, {2.0f, 3.0f}, {2.0f, 1.0f},
                                  {1.0f, 1.0f}, {1.0f, 3.0f}});
    // An arch whose outline starts at the bottom left: the mouth between its legs lies on the line
    // of the bottom edges through the first point.
    WorldShape arch = StraightShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 2.0f}, {2.0f, 2.0f}, {2.0f, 0.0f}, {3.0f, 0.0f},
                                     {3.0f, 3.0f}, {0.0f, 3.0f}});
    WorldShape clockwise = StraightShape({{0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}});
    const struct
    {
        const char* name;
        WorldShape* shape;
        glm::vec2 point;
        bool inside;
    } cases[] = {
        {"L: in the long arm", &l, {0.5f, 1.5f}, true},
        {"L: in the corner", &l, {0.5f, 0.5f}, true},
        {"L: in the foot", &l, {1.5f, 0.5f}, true},
        {"L: in the notch", &l, {1.5f, 1.5f}, false},
        {"L: outside the box", &l, {3.0f, 0.5f}, false},
        {"U: in an arm", &u, {0.5f, 2.5f}, true},
        {"U: in the gap", &u, {1.5f, 2.0f}, false},
        {"U: in the mouth of the gap, on the line of the top edges", &u, {1.5f, 3.0f}, false},
        {"arch: in a leg", &arch, {0.5f, 1.0f}, true},
        {"arch: in the mouth, on the line of the bottom edges", &arch, {1.5f, 0.0f}, false},
        {"arch: under the span", &arch, {1.5f, 1.0f}, false},
        {"clockwise ring: its centre, on a diagonal from the first point", &clockwise, {0.5f, 0.5f}, true},
        {"clockwise ring: off the diagonal", &clockwise, {0.2f, 0.7f}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.shape->HitTestPoint(c.point), c.inside);
    }

    // An outline of two points (a shape of one zero-length edge pair) is never hit.
    WorldShape thin;
    thin.AddPoint({0.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}, false, true);
    thin.AddPoint({0.01f, 0.0f}, {0.01f, 0.0f}, {0.01f, 0.0f}, false, true);
    thin.Compile();
    ASSERT_LT(thin.outline.count, 3u);
    EXPECT_FALSE(thin.HitTestPoint({0.005f, 0.0f}));
}

TEST(WorldShapeHitTest, RubberBandsCatchShapesTheyLieInOrTouchAnEdgeOf)
{
    WorldShape big = StraightShape({{-10.0f, -10.0f}, {10.0f, -10.0f}, {10.0f, 10.0f}, {-10.0f, 10.0f}});
    WorldShape box = StraightShape({{0.0f, 0.0f}, {4.0f, 0.0f}, {4.0f, 1.0f}, {0.0f, 1.0f}});
    const struct
    {
        const char* name;
        WorldShape* shape;
        float minX, maxX, minY, maxY;
        bool caught;
    } cases[] = {
        {"wholly inside a large shape", &big, -1.0f, 1.0f, -1.0f, 1.0f, true},
        {"around a stretch of the top edge", &box, 1.0f, 2.0f, 0.9f, 1.5f, true},
        {"around the whole shape", &box, -1.0f, 5.0f, -1.0f, 2.0f, true},
        {"above the top edge", &box, 1.0f, 2.0f, 1.1f, 1.5f, false},
        {"overlapping the box only at its edge", &box, 4.0f, 5.0f, 0.0f, 1.0f, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.shape->HitTestRect(c.minX, c.maxX, c.minY, c.maxY), c.caught);
    }
}

TEST(WorldShapeSelectable, RotateTranslateAndPreviewsUseTheStoredPoints)
{
    WorldShape shape = LShape();
    shape.points[0].isSpline = true;
    shape.Compile();
    const WorldShape before = shape.CopyPoints();
    const glm::vec2 centre{3.0f, -1.0f};
    shape.Rotate(centre, 0.7f);
    shape.Rotate(centre, -0.7f);
    for (uint32_t i = 0; i < shape.points.count; ++i)
    {
        ExpectVecNear(shape.points[i].position, before.points[i].position, 1e-5f);
        ExpectVecNear(shape.points[i].handleB, before.points[i].handleB, 1e-5f);
    }

    WorldShape square = StraightShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}});
    square.Rotate({0.0f, 0.0f}, 1.5707964f); // clockwise: (1, 0) goes to (0, -1)
    ExpectVecNear(square.points[1].position, {0.0f, -1.0f});
    ExpectVecNear(square.segments[1].p0, {0.0f, -1.0f});

    ExpectVecNear(shape.GetPosition(), {1.0f, 1.0f});
    shape.Translate({2.0f, -3.0f});
    ExpectVecNear(shape.GetPosition(), {3.0f, -2.0f});
    EXPECT_EQ(shape.segments[0].p0, shape.points[0].position) << "translating compiles";

    LineRenderer lines;
    lines.currentColour = {1.0f, 1.0f, 1.0f};
    shape.DrawTranslatePreview(lines, {1.0f, 0.0f});
    ASSERT_EQ(lines.SegmentCount(), shape.outline.count) << "one closed line round the outline";
    EXPECT_EQ(lines.positions[0], shape.outline[0] + glm::vec2(1.0f, 0.0f));
    EXPECT_EQ(lines.positions.back(), shape.outline[0] + glm::vec2(1.0f, 0.0f));
    EXPECT_EQ(lines.colours[0], PreviewColour);
    EXPECT_FALSE(lines.stripOpen);

    lines.Clear();
    shape.DrawRotatePreview(lines, {0.0f, 0.0f}, 1.5707964f);
    ASSERT_EQ(lines.SegmentCount(), shape.outline.count);
    ExpectVecNear(lines.positions[0], RotatePoint(shape.outline[0], {0.0f, 0.0f}, 1.5707964f));
    ExpectVecNear(shape.points[0].position, {2.0f, -3.0f}); // previews change nothing
}

TEST(WorldShapePick, HandlesWinOverPointsAndLowerIndicesWin)
{
    WorldShape shape = SmoothRing(5, 2.0f);
    // Handle B of point 3 right beside point 2.
    shape.points[3].handleB = shape.points[2].position + glm::vec2(0.03f, 0.0f);
    shape.points[2].isSpline = false; // so handle A of point 3 cannot be picked
    const struct
    {
        const char* name;
        glm::vec2 point;
        float radius;
        int32_t index;
        uint32_t kind;
    } cases[] = {
        {"handle B of point 3 over the position of point 2", shape.points[2].position, 0.1f, 3, ElementHandleB},
        {"a point", shape.points[4].position, 0.1f, 4, ElementPoint},
        {"handle A after a spline edge", shape.points[1].handleA, 0.1f, 1, ElementHandleA},
        {"handle B", shape.points[0].handleB, 0.1f, 0, ElementHandleB},
        {"far from everything", {50.0f, 50.0f}, 0.1f, -1, ElementNone},
        // Handle A of a point after a straight edge is not shown, so it cannot be picked.
        {"handle A after a straight edge", shape.points[3].handleA, 0.01f, -1, ElementNone},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        int32_t index = 7;
        uint32_t kind = ElementPoint;
        EXPECT_EQ(shape.FindElement(c.point, c.radius, index, kind), c.index >= 0);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(kind, c.kind);
    }

    int32_t index = 2;
    uint32_t kind = ElementPoint;
    EXPECT_FALSE(WorldShape().FindElement({0.0f, 0.0f}, 0.1f, index, kind));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(kind, ElementNone);
}

TEST(WorldShapePick, EdgesAreFoundFirstInOrder)
{
    WorldShape square = StraightShape({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}, {0.0f, 2.0f}});
    uint32_t index = 99;
    float t = -5.0f;
    glm::vec2 point{0.0f, 0.0f}, derivative{0.0f, 0.0f};

    // Near the corner where edge 2 (from (2, 2)) meets edge 3: both come within the radius.
    ASSERT_TRUE(square.FindNearestSegment({0.03f, 1.97f}, 0.1f, index, t, point, derivative));
    EXPECT_EQ(index, 2u);
    EXPECT_NEAR(t, 1.0f, 0.02f);
    ExpectVecNear(point, square.segments[2].Evaluate(t));
    ExpectVecNear(derivative, square.segments[2].Derivative(t));
    EXPECT_LT(derivative.x, 0.0f) << "edge 2 runs from right to left";

    ASSERT_TRUE(square.IsNearEdge({2.05f, 1.0f}, 0.1f, index));
    EXPECT_EQ(index, 1u);

    index = 99;
    EXPECT_FALSE(square.IsNearEdge({1.0f, 1.0f}, 0.1f, index));
    EXPECT_FALSE(square.FindNearestSegment({1.0f, 1.0f}, 0.1f, index, t, point, derivative));
    EXPECT_EQ(index, 99u) << "untouched when nothing is near";
}

TEST(WorldShapeDrawEditor, ShowsHandlesOfCurvedEdgesAndPointsByKind)
{
    WorldShape shape = StraightShape({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}});
    shape.points[0].isSpline = true; // edge 0 is a curve: handle B of point 0, handle A of point 1
    shape.points[1].isCorner = false;
    shape.Compile();
    LineRenderer lines;
    shape.DrawEditor(lines, 0.1f, EverywhereView);
    // Two handle lines, two crosses of two lines, three circles of 32 chords.
    ASSERT_EQ(lines.SegmentCount(), 2u + 4u + 3u * 32u);
    EXPECT_EQ(lines.positions[0], shape.points[0].position);
    EXPECT_EQ(lines.positions[1], shape.points[0].handleB);
    EXPECT_EQ(lines.positions[2], shape.points[1].handleA);
    EXPECT_EQ(lines.colours[0], PreviewColour);
    const glm::vec3 green{0.0f, 1.0f, 0.0f}, red{1.0f, 0.0f, 0.0f}, blue{0.0f, 0.0f, 1.0f};
    EXPECT_EQ(lines.colours[4], green); // the cross at handle B of point 0
    EXPECT_EQ(lines.colours[8], red);   // point 0 is a corner
    const size_t point1Circle = (2 + 2 + 32 + 2) * 2;
    EXPECT_EQ(lines.colours[point1Circle], blue);
    EXPECT_EQ(lines.currentColour, red) << "the last point's colour stays set";

    // Through a view that shows point 2 alone, only its circle is drawn; through one that shows
    // handle B of point 0 and nothing else, only its line and cross.
    LineRenderer corner;
    const float aroundPoint2[4] = {1.5f, 2.5f, 1.5f, 2.5f};
    shape.DrawEditor(corner, 0.1f, aroundPoint2);
    EXPECT_EQ(corner.SegmentCount(), 32u);
    LineRenderer handle;
    const glm::vec2 handleB = shape.points[0].handleB;
    const float aroundHandle[4] = {handleB.x - 0.05f, handleB.x + 0.05f, handleB.y - 0.05f, handleB.y + 0.05f};
    shape.DrawEditor(handle, 0.1f, aroundHandle);
    EXPECT_EQ(handle.SegmentCount(), 1u + 2u);
}
