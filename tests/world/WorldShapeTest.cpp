#include <cmath>

#include <gtest/gtest.h>
#include <glm/geometric.hpp>

#include "ShapeFixtures.h"
#include "Texture.h"
#include "WorldShape.h"

namespace
{
/// A square from (0, 0) to (2, 2) whose bottom edge (0 to 1) is a curve bulging downwards.
WorldShape SquareWithCurvedBottom()
{
    WorldShape shape = StraightShape({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}, {0.0f, 2.0f}});
    shape.points[0].isSpline = true;
    shape.points[0].handleB = {0.5f, -1.0f};
    shape.points[1].handleA = {1.5f, -1.0f};
    shape.Compile();
    return shape;
}
} // namespace

TEST(WorldShapeCompile, OutlineBoxAndLinksFollowTheSegments)
{
    // Straight edges of lengths 1, 1 and about 1.414: N = 11, 11 and 15.
    WorldShape triangle = StraightShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}});
    ASSERT_EQ(triangle.segments.count, 3u);
    EXPECT_EQ(triangle.outline.count, 11u + 15u + 11u);
    EXPECT_EQ(triangle.outline[0], glm::vec2(0.0f, 0.0f));
    EXPECT_EQ(triangle.outline[11], glm::vec2(1.0f, 0.0f));
    EXPECT_EQ(triangle.outline[26], glm::vec2(0.0f, 1.0f));
    EXPECT_EQ(triangle.minX, 0.0f);
    EXPECT_EQ(triangle.maxX, 1.0f);
    EXPECT_EQ(triangle.minY, 0.0f);
    EXPECT_EQ(triangle.maxY, 1.0f);
    for (uint32_t i = 0; i < 3; ++i)
    {
        const ShapeSegment& segment = triangle.segments[i];
        EXPECT_EQ(segment.p0, triangle.points[i].position);
        EXPECT_EQ(segment.p1, triangle.points[(i + 1) % 3].position);
        EXPECT_EQ(triangle.points[i].nextSegment, &triangle.segments[i]);
        EXPECT_EQ(triangle.points[i].previousSegment, &triangle.segments[(i + 2) % 3]);
        EXPECT_FALSE(segment.isCurved);
    }
    // Straight edges keep their controls a third of the way along, as the nearest-point search
    // expects.
    ExpectVecNear(triangle.segments[0].c0, {0.33333f, 0.0f}, 1e-7f);
    ExpectVecNear(triangle.segments[0].c1, {0.66667f, 0.0f}, 1e-7f);

    // A counter-clockwise ring has outward normals: the bottom edge of a square faces down.
    WorldShape square = StraightShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}});
    ExpectVecNear(square.segments[0].normals[5], {0.0f, -1.0f});

    WorldShape empty;
    empty.Compile();
    EXPECT_EQ(empty.segments.count, 0u);
    EXPECT_EQ(empty.outline.count, 0u);
    EXPECT_GT(empty.minX, empty.maxX);
}

TEST(WorldShapeCompile, CurvedEdgesTakeTheirControlsFromTheHandles)
{
    WorldShape shape = SquareWithCurvedBottom();
    const ShapeSegment& bottom = shape.segments[0];
    EXPECT_TRUE(bottom.isCurved);
    EXPECT_EQ(bottom.c0, glm::vec2(0.5f, -1.0f));
    EXPECT_EQ(bottom.c1, glm::vec2(1.5f, -1.0f));
    EXPECT_NEAR(shape.minY, -0.75f, 5e-3f) << "the box holds the bulge, as sampled";
    const float time = 2.0f;
    shape.SetLevelTime(&time);
    shape.Compile();
    for (const ShapeSegment& segment : shape.segments)
        EXPECT_EQ(segment.levelTime, &time);
}

TEST(WorldShapeCopy, CopiesAreWholeAndLinkedToTheirOwnSegments)
{
    const float time = 1.0f;
    WorldShape source = SquareWithCurvedBottom();
    source.SetLevelTime(&time);
    source.BuildSurfaceStrips();
    source.selected = true;
    source.segments[0].dataTexture = new Texture();

    WorldShape copied(source);
    EXPECT_TRUE(copied.selected);
    EXPECT_EQ(copied.points.count, 4u);
    EXPECT_EQ(copied.segments.count, 4u);
    EXPECT_EQ(copied.strips.count, source.strips.count);
    EXPECT_EQ(copied.outline.count, source.outline.count);
    EXPECT_EQ(copied.levelTime, &time);
    EXPECT_EQ(copied.minY, source.minY);
    EXPECT_EQ(copied.segments[0].dataTexture, nullptr);
    EXPECT_EQ(copied.segments.capacity, source.segments.capacity);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(copied.points[i].nextSegment, &copied.segments[i]) << "no link into the source";

    WorldShape assigned = StraightShape({{5.0f, 5.0f}, {6.0f, 5.0f}, {6.0f, 6.0f}});
    assigned = source;
    EXPECT_EQ(assigned.points.count, 4u);
    EXPECT_EQ(assigned.outline.count, source.outline.count);
    EXPECT_EQ(assigned.points[3].previousSegment, &assigned.segments[2]);
    assigned = assigned;
    EXPECT_EQ(assigned.points.count, 4u);

    Texture* texture = source.segments[0].dataTexture;
    WorldShape moved;
    moved = std::move(source);
    EXPECT_TRUE(moved.selected);
    EXPECT_EQ(moved.segments[0].dataTexture, texture);
    EXPECT_EQ(moved.points[0].nextSegment, &moved.segments[0]);
    EXPECT_EQ(source.points.items, nullptr);
    EXPECT_EQ(source.segments.capacity, 0u);
    EXPECT_EQ(source.strips.capacity, 0u);
    EXPECT_EQ(source.outline.capacity, 0u);
}

TEST(WorldShapeCopy, CopyPointsAndCloneHoldOnlyThePoints)
{
    const float time = 1.0f;
    WorldShape source = SquareWithCurvedBottom();
    source.SetLevelTime(&time);
    source.selected = true;

    const WorldShape points = source.CopyPoints();
    Selectable* clone = source.Clone();
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetSelectableType(), SelectableWorldShape);
    auto* cloned = static_cast<WorldShape*>(clone);
    for (const WorldShape* copy : {&points, static_cast<const WorldShape*>(cloned)})
    {
        ASSERT_EQ(copy->points.count, 4u);
        EXPECT_EQ(copy->points[0].handleB, source.points[0].handleB);
        EXPECT_TRUE(copy->points[0].isSpline);
        EXPECT_EQ(copy->points[0].nextSegment, nullptr);
        EXPECT_EQ(copy->segments.count, 0u);
        EXPECT_EQ(copy->outline.count, 0u);
        EXPECT_EQ(copy->levelTime, nullptr);
        EXPECT_GT(copy->minX, copy->maxX);
        EXPECT_FALSE(copy->selected);
    }
    delete cloned;
}

TEST(WorldShapeEditing, InsertingThenRemovingRestoresTheSplitEdge)
{
    WorldShape shape = SquareWithCurvedBottom();
    const WorldShape before = shape.CopyPoints();
    const glm::vec2 middle = shape.segments[0].Evaluate(0.5f);

    ASSERT_TRUE(shape.InsertPoint(middle + glm::vec2(0.0f, 0.05f), 0.1f));
    ASSERT_EQ(shape.points.count, 5u);
    const ShapePoint& inserted = shape.points[1];
    ExpectVecNear(inserted.position, middle, 1e-3f);
    EXPECT_TRUE(inserted.isSpline);
    EXPECT_FALSE(inserted.isCorner) << "a point on a curve is smooth";
    // The two halves trace the old curve.
    WorldShape reference = before.CopyPoints();
    reference.Compile();
    ExpectVecNear(shape.segments[0].Evaluate(0.5f), reference.segments[0].Evaluate(0.25f), 2e-3f);
    ExpectVecNear(shape.segments[1].Evaluate(0.5f), reference.segments[0].Evaluate(0.75f), 2e-3f);

    shape.RemovePoint(1);
    ASSERT_EQ(shape.points.count, 4u);
    for (uint32_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        ExpectVecNear(shape.points[i].handleA, before.points[i].handleA, 1e-4f);
        ExpectVecNear(shape.points[i].handleB, before.points[i].handleB, 1e-4f);
    }
}

TEST(WorldShapeEditing, InsertingOnAStraightEdgeGivesAStraightCorner)
{
    WorldShape shape = StraightShape({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}, {0.0f, 2.0f}},
                                     {SurfaceType::Bouncer});
    ASSERT_TRUE(shape.InsertPoint({0.5f, 0.02f}, 0.1f));
    ASSERT_EQ(shape.points.count, 5u);
    const ShapePoint& inserted = shape.points[1];
    ExpectVecNear(inserted.position, {0.5f, 0.0f}, 2e-3f);
    EXPECT_FALSE(inserted.isSpline);
    EXPECT_TRUE(inserted.isCorner);
    EXPECT_EQ(inserted.surfaceType, SurfaceType::Bouncer);
    EXPECT_EQ(shape.segments.count, 5u) << "inserting compiles";

    // On the last edge the new point goes after the last index.
    ASSERT_TRUE(shape.InsertPoint({0.0f, 1.0f}, 0.1f));
    EXPECT_EQ(shape.points.count, 6u);
    ExpectVecNear(shape.points[5].position, {0.0f, 1.0f}, 2e-3f);

    EXPECT_FALSE(shape.InsertPoint({1.0f, 1.0f}, 0.1f)) << "nowhere near an edge";
    EXPECT_EQ(shape.points.count, 6u);
}

TEST(WorldShapeEditing, RemovePointNeedsThreePointsAndAValidIndex)
{
    WorldShape shape = StraightShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}});
    for (int32_t index : {-1, 4, 100})
        shape.RemovePoint(index);
    EXPECT_EQ(shape.points.count, 4u);
    shape.RemovePoint(3);
    ASSERT_EQ(shape.points.count, 3u);
    EXPECT_EQ(shape.segments.count, 3u);
    shape.RemovePoint(0);
    ASSERT_EQ(shape.points.count, 2u);
    EXPECT_EQ(shape.points[0].position, glm::vec2(1.0f, 0.0f));
    shape.RemovePoint(0);
    EXPECT_EQ(shape.points.count, 2u);
}

TEST(WorldShapeEditing, RemovingAPointWithoutHandleLengthsKeepsCoordinatesFinite)
{
    // With a handle on the point there is no ratio to stretch a neighbour's handle by, so both
    // neighbours keep theirs.
    const struct
    {
        const char* name;
        glm::vec2 offsetA, offsetB; // of the removed point's handles
    } cases[] = {
        {"both handles on the point (a + b = 0)", {0.0f, 0.0f}, {0.0f, 0.0f}},
        {"handle A on the point (a = 0)", {0.0f, 0.0f}, {-0.5f, 0.5f}},
        {"handle B on the point (b = 0)", {0.5f, 0.5f}, {0.0f, 0.0f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WorldShape shape = SmoothRing(4, 1.0f);
        const glm::vec2 previousHandle = shape.points[0].handleB;
        const glm::vec2 nextHandle = shape.points[2].handleA;
        ShapePoint& removed = shape.points[1];
        removed.handleA = removed.position + c.offsetA;
        removed.handleB = removed.position + c.offsetB;
        shape.RemovePoint(1);
        ASSERT_EQ(shape.points.count, 3u);
        ExpectAllFinite(shape);
        ExpectVecNear(shape.points[0].handleB, previousHandle);
        ExpectVecNear(shape.points[1].handleA, nextHandle);
    }
}

TEST(WorldShapeEditing, SetPointVectorMovesPointsAndHandles)
{
    WorldShape shape = SmoothRing(4, 1.0f);
    shape.points[2].isCorner = true;
    const ShapePoint original = shape.points[0];

    shape.SetPointVector({3.0f, 1.0f}, ElementPoint, 4); // the index wraps to 0
    const glm::vec2 offset = glm::vec2(3.0f, 1.0f) - original.position;
    EXPECT_EQ(shape.points[0].position, glm::vec2(3.0f, 1.0f));
    ExpectVecNear(shape.points[0].handleA, original.handleA + offset);
    ExpectVecNear(shape.points[0].handleB, original.handleB + offset);
    EXPECT_EQ(shape.segments[0].p0, glm::vec2(3.0f, 1.0f)) << "moving compiles";

    // Handle A of a smooth point: handle B turns to the opposite side, keeping its length.
    const ShapePoint& smooth = shape.points[1];
    const float lengthB = glm::length(smooth.handleB - smooth.position);
    shape.SetPointVector(smooth.position + glm::vec2(0.0f, 2.0f), ElementHandleA, 1);
    ExpectVecNear(shape.points[1].handleB, shape.points[1].position - glm::vec2(0.0f, lengthB));

    // On a corner only the handle moves.
    const glm::vec2 cornerB = shape.points[2].handleB;
    shape.SetPointVector({-5.0f, 0.0f}, ElementHandleA, -2);
    EXPECT_EQ(shape.points[2].handleA, glm::vec2(-5.0f, 0.0f));
    EXPECT_EQ(shape.points[2].handleB, cornerB);

    // Handle B of a smooth point: handle A turns away from it, keeping its length.
    const glm::vec2 position3 = shape.points[3].position;
    const float lengthA = glm::length(shape.points[3].handleA - position3);
    shape.SetPointVector(position3 + glm::vec2(3.0f, 0.0f), ElementHandleB, 3);
    ExpectVecNear(shape.points[3].handleA, position3 - glm::vec2(lengthA, 0.0f));

    // Kind 3 changes nothing and does not compile.
    shape.segments.Clear();
    shape.SetPointVector({9.0f, 9.0f}, ElementNone, 0);
    EXPECT_EQ(shape.points[0].position, glm::vec2(3.0f, 1.0f));
    EXPECT_EQ(shape.segments.count, 0u);
}

TEST(WorldShapeEditing, AddPointCentresHandlesOnOneLine)
{
    const struct
    {
        const char* name;
        glm::vec2 handleA, position, handleB;
        glm::vec2 expectedA, expectedB;
    } cases[] = {
        {"on one line, opposite sides", {-1.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}, {-0.5f, 0.0f}, {1.5f, 0.0f}},
        {"a right angle stays", {-1.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 1.0f}, {-1.0f, 0.0f}, {0.0f, 1.0f}},
        {"a handle on the point", {0.5f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}},
        {"both handles on one side", {1.0f, 0.0f}, {0.0f, 0.0f}, {2.0f, 0.0f}, {1.0f, 0.0f}, {2.0f, 0.0f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WorldShape shape;
        shape.AddPoint(c.handleA, c.position, c.handleB, true, false);
        ASSERT_EQ(shape.points.count, 1u);
        const ShapePoint& point = shape.points[0];
        ExpectVecNear(point.handleA, c.expectedA);
        ExpectVecNear(point.handleB, c.expectedB);
        EXPECT_EQ(point.position, c.position);
        EXPECT_TRUE(point.isSpline);
        EXPECT_FALSE(point.isCorner);
        EXPECT_EQ(point.surfaceType, SurfaceType::Plain);
        EXPECT_EQ(shape.segments.count, 0u) << "adding does not compile";
    }
}

TEST(SurfaceStrips, BreakAtSharpCornersAndTypeChanges)
{
    WorldShape square = StraightShape({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}});
    square.BuildSurfaceStrips();
    ASSERT_EQ(square.strips.count, 4u) << "four sharp corners";
    for (const SurfaceStrip& strip : square.strips)
    {
        EXPECT_FALSE(strip.isClosed);
        EXPECT_EQ(strip.points.count, 12u);
        EXPECT_EQ(strip.surfaceType, SurfaceType::Plain);
    }

    WorldShape ring = SmoothRing(4, 1.0f);
    ring.BuildSurfaceStrips();
    ASSERT_EQ(ring.strips.count, 1u);
    SurfaceStrip& closed = ring.strips[0];
    EXPECT_TRUE(closed.isClosed);
    // The joined ring already ends where it began; closing repeats that point once more.
    EXPECT_EQ(closed.points.count, ring.outline.count + 2);
    EXPECT_EQ(closed.points[closed.points.count - 1], closed.points[0]);
    float segmentLengths = 0.0f;
    for (const ShapeSegment& segment : ring.segments)
        segmentLengths += segment.length;
    EXPECT_NEAR(closed.length, segmentLengths, 1e-4f);
    EXPECT_FALSE(closed.Merge(ring.segments[0])) << "nothing joins a closed strip";

    WorldShape mixed = SmoothRing(4, 1.0f, {SurfaceType::Plain, SurfaceType::Bouncer, SurfaceType::Plain,
                                            SurfaceType::Plain});
    mixed.BuildSurfaceStrips();
    ASSERT_EQ(mixed.strips.count, 2u);
    const SurfaceStrip& bouncer = mixed.strips[0];
    const SurfaceStrip& plain = mixed.strips[1];
    EXPECT_EQ(bouncer.surfaceType, SurfaceType::Bouncer);
    EXPECT_EQ(bouncer.points.count, mixed.segments[1].points.count);
    EXPECT_EQ(plain.surfaceType, SurfaceType::Plain);
    EXPECT_FALSE(plain.isClosed);
    // Edges 2, 3 and 0 in that order, sharing the points where they join.
    EXPECT_EQ(plain.points.count, mixed.segments[2].points.count + mixed.segments[3].points.count +
                                      mixed.segments[0].points.count - 2);
    EXPECT_EQ(plain.points[0], mixed.segments[2].p0);
    EXPECT_EQ(plain.points[plain.points.count - 1], mixed.segments[0].p1);

    // Building again starts from nothing.
    mixed.BuildSurfaceStrips();
    EXPECT_EQ(mixed.strips.count, 2u);
}

TEST(WorldShapeEditing, CoincidingPointsAndHandlesKeepEveryCoordinateFinite)
{
    const struct
    {
        const char* name;
        bool isSpline;
        int pointCount; // all at one place
    } cases[] = {
        {"one point, straight", false, 1},
        {"one point, curved", true, 1},
        {"two points at one place, straight", false, 2},
        {"three points at one place, curved", true, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WorldShape shape;
        for (int i = 0; i < c.pointCount; ++i)
            shape.AddPoint({1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}, c.isSpline, !c.isSpline);
        shape.Compile();
        shape.BuildSurfaceStrips();
        ExpectAllFinite(shape);
        EXPECT_FALSE(shape.HitTestPoint({1.0f, 1.0f}));
        // Editing a degenerate shape must not produce garbage either.
        shape.SetPointVector({1.0f, 1.0f}, ElementHandleA, 0);
        shape.SetPointVector({1.0f, 1.0f}, ElementHandleB, 0);
        shape.InsertPoint({1.0f, 1.0f}, 0.1f);
        shape.RemovePoint(0);
        ExpectAllFinite(shape);
    }

    // A smooth point dragged so that its handle lies on it: its curves keep finite normals.
    WorldShape ring = SmoothRing(4, 1.0f);
    ring.SetPointVector(ring.points[1].position, ElementHandleB, 1);
    ExpectAllFinite(ring);
    ring.SetPointVector(ring.points[1].position, ElementHandleA, 1);
    ExpectAllFinite(ring);
    ring.RemovePoint(1);
    ExpectAllFinite(ring);
}
