#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>
#include <glm/vec2.hpp>

#include "PolylineBoxes.h"
#include "ShapeSegment.h"
#include "WorldShape.h"

// Shapes as the editor makes them, for tests that need geometry rather than a particular record.

/// A compiled straight edge from `p0` to `p1`, its handles a third of the way along.
inline ShapeSegment StraightSegment(glm::vec2 p0, glm::vec2 p1, SurfaceType type = SurfaceType::Plain)
{
    ShapeSegment segment;
    segment.p0 = p0;
    segment.p1 = p1;
    segment.c0 = p0 + 0.33333f * (p1 - p0);
    segment.c1 = p0 + 0.66667f * (p1 - p0);
    segment.surfaceType = type;
    segment.Compile();
    return segment;
}

/// A compiled cubic edge through the control points `p0`, `c0`, `c1`, `p1`.
inline ShapeSegment CurvedSegment(glm::vec2 p0, glm::vec2 c0, glm::vec2 c1, glm::vec2 p1, SurfaceType type = SurfaceType::Plain)
{
    ShapeSegment segment;
    segment.p0 = p0;
    segment.c0 = c0;
    segment.c1 = c1;
    segment.p1 = p1;
    segment.isCurved = true;
    segment.surfaceType = type;
    segment.Compile();
    return segment;
}

/// A ring of straight edges through `positions`, each point a corner with its handles a quarter
/// of the way along its edges (so every turn is a sharp corner), as the shape builder makes a
/// clicked shape. Uncompiled, as the editor's actions take a new shape.
inline WorldShape CornerShape(std::initializer_list<glm::vec2> positions, std::initializer_list<SurfaceType> types = {})
{
    const std::vector<glm::vec2> p(positions);
    const std::vector<SurfaceType> t(types);
    const size_t n = p.size();
    WorldShape shape;
    for (size_t i = 0; i < n; ++i)
    {
        const glm::vec2 next = p[(i + 1) % n];
        const glm::vec2 previous = p[(i + n - 1) % n];
        shape.AddPoint(p[i] + 0.25f * (previous - p[i]), p[i], p[i] + 0.25f * (next - p[i]), false, true);
        if (i < t.size())
            shape.points[static_cast<uint32_t>(i)].surfaceType = t[i];
    }
    return shape;
}

/// `CornerShape`, compiled.
inline WorldShape StraightShape(std::initializer_list<glm::vec2> positions,
                                std::initializer_list<SurfaceType> types = {})
{
    WorldShape shape = CornerShape(positions, types);
    shape.Compile();
    return shape;
}

/// `count` smooth spline points on a counter-clockwise circle, handles along the tangents so
/// that no point is sharp. Compiled.
inline WorldShape SmoothRing(int count, float radius, std::initializer_list<SurfaceType> types = {})
{
    const std::vector<SurfaceType> t(types);
    WorldShape shape;
    const float step = 6.2831853f / static_cast<float>(count);
    const float reach = radius * 4.0f / 3.0f * std::tan(step / 4.0f);
    for (int i = 0; i < count; ++i)
    {
        const float angle = step * static_cast<float>(i);
        const glm::vec2 position{radius * std::cos(angle), radius * std::sin(angle)};
        const glm::vec2 tangent{-std::sin(angle), std::cos(angle)};
        shape.AddPoint(position - reach * tangent, position, position + reach * tangent, true, false);
        if (static_cast<size_t>(i) < t.size())
            shape.points[static_cast<uint32_t>(i)].surfaceType = t[static_cast<size_t>(i)];
    }
    shape.Compile();
    return shape;
}

/// The box round every shape of `shapes`, from their compiled bounds.
inline PolylineBoxes::Box BoundsOf(const DynArray<WorldShape>& shapes)
{
    PolylineBoxes::Box box{FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX};
    for (const WorldShape& shape : shapes)
    {
        box.minX = std::min(box.minX, shape.minX);
        box.maxX = std::max(box.maxX, shape.maxX);
        box.minY = std::min(box.minY, shape.minY);
        box.maxY = std::max(box.maxY, shape.maxY);
    }
    return box;
}

/// True when `at` lies inside `box`, off its edges.
inline bool StrictlyInside(const PolylineBoxes::Box& box, glm::vec2 at)
{
    return at.x > box.minX && at.x < box.maxX && at.y > box.minY && at.y < box.maxY;
}

inline void ExpectVecNear(glm::vec2 actual, glm::vec2 expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

inline bool IsFinite(glm::vec2 v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

/// Every stored and compiled coordinate of the shape is finite.
inline void ExpectAllFinite(const WorldShape& shape)
{
    for (const ShapePoint& point : shape.points)
    {
        EXPECT_TRUE(IsFinite(point.position));
        EXPECT_TRUE(IsFinite(point.handleA));
        EXPECT_TRUE(IsFinite(point.handleB));
    }
    for (const ShapeSegment& segment : shape.segments)
    {
        for (const glm::vec2& point : segment.points)
            EXPECT_TRUE(IsFinite(point));
        for (const glm::vec2& normal : segment.normals)
            EXPECT_TRUE(IsFinite(normal));
        EXPECT_TRUE(std::isfinite(segment.length));
    }
}
