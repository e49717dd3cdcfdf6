#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <glm/geometric.hpp>

#include "ShapeFixtures.h"
#include "ShapeSegment.h"
#include "Texture.h"
#include "WorldShape.h"

namespace
{
void ExpectUnitAndFinite(const ShapeSegment& segment)
{
    ASSERT_EQ(segment.points.count, segment.normals.count);
    for (uint32_t k = 0; k < segment.normals.count; ++k)
    {
        ASSERT_TRUE(IsFinite(segment.points[k])) << "point " << k;
        ASSERT_NEAR(glm::length(segment.normals[k]), 1.0f, 1e-5f) << "normal " << k;
    }
    EXPECT_TRUE(std::isfinite(segment.length));
}
} // namespace

TEST(ShapeSegmentCompile, SampleCountsFollowTheLength)
{
    const struct
    {
        const char* name;
        float length;
        SurfaceType type;
        uint32_t pointCount;
    } cases[] = {
        {"unit edge: N = 11", 1.0f, SurfaceType::Plain, 12},
        {"unit Jagged edge: N = 12", 1.0f, SurfaceType::Jagged, 13},
        {"0.05 edge: N = 1", 0.05f, SurfaceType::Plain, 2},
        {"zero-length edge: N = 1", 0.0f, SurfaceType::Bouncer, 2},
        {"0.35 edge: N = 2 x trunc(2.25) + 1", 0.35f, SurfaceType::Plain, 6},
        {"2.5 edge: N = 2 x trunc(13) + 1", 2.5f, SurfaceType::Plain, 28},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ShapeSegment segment = StraightSegment({0.0f, 1.0f}, {c.length, 1.0f}, c.type);
        ASSERT_EQ(segment.points.count, c.pointCount);
        EXPECT_EQ(segment.normals.count, c.pointCount);
        EXPECT_EQ(segment.points[0], segment.p0);
        EXPECT_EQ(segment.points[c.pointCount - 1], segment.p1);
        ExpectUnitAndFinite(segment);
    }
}

TEST(ShapeSegmentCompile, StraightEdgeIsEvenlySpacedWithOneNormal)
{
    const ShapeSegment segment = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f});
    ASSERT_EQ(segment.points.count, 12u);
    for (uint32_t k = 0; k < 12; ++k)
    {
        ExpectVecNear(segment.points[k], {static_cast<float>(k) / 11.0f, 0.0f});
        ExpectVecNear(segment.normals[k], {0.0f, -1.0f}); // the tangent turned clockwise
    }
    EXPECT_NEAR(segment.length, 1.0f, 1e-5f);
    EXPECT_EQ(segment.minX, 0.0f);
    EXPECT_EQ(segment.maxX, 1.0f);
    EXPECT_EQ(segment.minY, 0.0f);
    EXPECT_EQ(segment.maxY, 0.0f);
    EXPECT_GT(segment.influenceMinX, segment.influenceMaxX) << "only magnets have an influence box";
}

TEST(ShapeSegmentCompile, JaggedTeethStandOutAlongTheNormals)
{
    const ShapeSegment segment = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::Jagged);
    ASSERT_EQ(segment.points.count, 13u);
    for (uint32_t k = 0; k < 13; ++k)
        ExpectVecNear(segment.points[k], {static_cast<float>(k) / 12.0f, k % 2 == 1 ? -0.1f : 0.0f});
    EXPECT_EQ(segment.points[12], glm::vec2(1.0f, 0.0f));
    EXPECT_GT(segment.length, 1.0f);
    EXPECT_NEAR(segment.length, 12.0f * std::sqrt(1.0f / 144.0f + 0.01f), 1e-4f);
    EXPECT_NEAR(segment.minY, -0.1f, 1e-6f);
}

TEST(ShapeSegmentCompile, MagnetInfluenceBoxReachesJustUnderFourPointEight)
{
    for (SurfaceType type : {SurfaceType::MagneticAttractor, SurfaceType::MagneticRepulsor})
    {
        const ShapeSegment segment = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, type);
        EXPECT_EQ(segment.minX, 0.0f);
        EXPECT_EQ(segment.maxX, 1.0f);
        EXPECT_EQ(segment.minY, 0.0f);
        EXPECT_EQ(segment.maxY, 0.0f);
        EXPECT_EQ(segment.influenceMinX, -4.7999997f);
        EXPECT_EQ(segment.influenceMaxX, 5.7999997f);
        EXPECT_EQ(segment.influenceMinY, -4.7999997f);
        EXPECT_EQ(segment.influenceMaxY, 4.7999997f);
    }
}

TEST(ShapeSegmentCompile, CurveIsResampledAtEqualArcLength)
{
    // A quarter circle of radius 2, about 3.14 long: N = 2 x trunc(16.2) + 1 = 33.
    const float k = 2.0f * 0.5522847f;
    const ShapeSegment segment = CurvedSegment({2.0f, 0.0f}, {2.0f, k}, {k, 2.0f}, {0.0f, 2.0f});
    ASSERT_EQ(segment.points.count, 34u);
    EXPECT_EQ(segment.points[0], glm::vec2(2.0f, 0.0f));
    EXPECT_EQ(segment.points[33], glm::vec2(0.0f, 2.0f));
    const float spacing = segment.length / 33.0f;
    for (uint32_t i = 0; i < 34; ++i)
    {
        if (i > 0)
        {
            EXPECT_NEAR(glm::length(segment.points[i] - segment.points[i - 1]), spacing, 2e-4f);
        }
        EXPECT_NEAR(glm::length(segment.points[i]), 2.0f, 1e-3f);
        // Counter-clockwise around the circle, so the normals point outwards.
        ExpectVecNear(segment.normals[i], segment.points[i] / 2.0f, 3e-3f);
    }
    EXPECT_NEAR(segment.length, 3.14159f, 2e-3f);
}

TEST(ShapeSegmentCompile, DegenerateCurvesKeepEveryCoordinateFinite)
{
    const struct
    {
        const char* name;
        glm::vec2 p0, c0, c1, p1;
        bool curved;
    } cases[] = {
        {"straight edge of zero length", {1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}, false},
        {"curve of zero length", {1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}, true},
        {"handles on their points", {0.0f, 0.0f}, {0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 0.0f}, true},
        {"both handles at one place", {0.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}, {2.0f, 0.0f}, true},
        {"cusp", {0.0f, 0.0f}, {2.0f, 1.0f}, {0.0f, 1.0f}, {2.0f, 0.0f}, true},
        {"curve folding back on its chord", {0.0f, 0.0f}, {2.0f, 0.0f}, {-1.0f, 0.0f}, {1.0f, 0.0f}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ShapeSegment segment;
        segment.p0 = c.p0;
        segment.c0 = c.c0;
        segment.c1 = c.c1;
        segment.p1 = c.p1;
        segment.isCurved = c.curved;
        for (SurfaceType type : {SurfaceType::Plain, SurfaceType::Jagged, SurfaceType::MagneticAttractor})
        {
            segment.surfaceType = type;
            segment.Compile();
            ExpectUnitAndFinite(segment);
            EXPECT_EQ(segment.points[segment.points.count - 1], c.p1);
        }
    }
}

TEST(ShapeSegmentCompile, DamagedCoordinatesCannotBlowUpThePieceCount)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const uint32_t most = 2u * ShapeSegment::MaxHalfPieceCount + 3u; // N + 1 points, Jagged N one more
    const struct
    {
        const char* name;
        glm::vec2 p1;
    } cases[] = {
        {"beyond the world bound", {3e6f, 0.0f}},
        {"largest float", {3.4e38f, -3.4e38f}},
        {"infinite", {inf, 0.0f}},
        {"not a number", {nan, 1.0f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        for (bool curved : {false, true})
            for (SurfaceType type : {SurfaceType::Plain, SurfaceType::Jagged})
            {
                ShapeSegment segment;
                segment.p1 = c.p1;
                segment.c0 = {0.0f, 1.0f};
                segment.c1 = c.p1;
                segment.isCurved = curved;
                segment.surfaceType = type;
                segment.Compile();
                EXPECT_GE(segment.points.count, 2u);
                EXPECT_LE(segment.points.count, most);
                EXPECT_LE(segment.points.capacity, most);
            }
    }
    // A long edge inside the bound still gets its 0.1 spacing.
    EXPECT_EQ(StraightSegment({0.0f, 0.0f}, {1000.0f, 0.0f}).points.count, 10002u);
}

TEST(ShapeSegmentCompile, EvaluateAndDerivativeExtendThePolynomial)
{
    const ShapeSegment segment = CurvedSegment({0.0f, 0.0f}, {1.0f, 2.0f}, {3.0f, 2.0f}, {4.0f, 0.0f});
    ExpectVecNear(segment.Evaluate(0.0f), {0.0f, 0.0f});
    ExpectVecNear(segment.Evaluate(1.0f), {4.0f, 0.0f});
    ExpectVecNear(segment.Evaluate(0.5f), {2.0f, 1.5f});
    ExpectVecNear(segment.Derivative(0.0f), {3.0f, 6.0f});
    ExpectVecNear(segment.Derivative(1.0f), {3.0f, -6.0f});
    ExpectVecNear(segment.Evaluate(2.0f), {2.0f, -12.0f}); // beyond the end, same cubic
}

TEST(ShapeSegmentNearest, FindsTheParameterWithinTheDistanceOnly)
{
    const ShapeSegment straight = StraightSegment({0.0f, 0.0f}, {2.0f, 0.0f});
    const ShapeSegment curve = CurvedSegment({0.0f, 0.0f}, {0.0f, 1.0f}, {2.0f, 1.0f}, {2.0f, 0.0f});
    const struct
    {
        const char* name;
        const ShapeSegment* segment;
        glm::vec2 point;
        float maximumDistance;
        float expected; // -1: none
    } cases[] = {
        {"at p0", &straight, {0.0f, 0.0f}, 0.1f, 0.0f},
        {"beside the middle", &straight, {1.0f, 0.05f}, 0.1f, 0.5f},
        {"farther than the maximum", &straight, {1.0f, 0.2f}, 0.1f, -1.0f},
        {"beyond p1 on the extension", &straight, {2.05f, 0.0f}, 0.1f, -1.0f},
        {"far out along the extension", &straight, {2.0e5f, 0.0f}, 1e9f, -1.0f},
        {"before p0 on the extension", &straight, {-0.05f, 0.0f}, 0.1f, -1.0f},
        {"top of the curve", &curve, {1.0f, 0.8f}, 0.1f, 0.5f},
        {"near the end of the curve", &curve, curve.Evaluate(0.98f), 0.1f, 0.98f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const float t = c.segment->FindNearestParameter(c.point, c.maximumDistance);
        if (c.expected < 0.0f)
            EXPECT_EQ(t, -1.0f);
        else
            EXPECT_NEAR(t, c.expected, 0.001f);
    }
}

TEST(ShapeSegmentCopy, CopiesNeverShareTheDataTextureAndMovesHandItOver)
{
    // A record that was never created needs no GL context to delete; the sanitiser build checks
    // that exactly one owner frees it.
    ShapeSegment owner = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::MagneticAttractor);
    owner.dataTexture = new Texture();

    ShapeSegment copied(owner);
    EXPECT_EQ(copied.dataTexture, nullptr);
    EXPECT_EQ(copied.points.count, owner.points.count);
    EXPECT_EQ(copied.influenceMaxX, owner.influenceMaxX);

    ShapeSegment assigned;
    assigned.dataTexture = new Texture();
    assigned = owner;
    EXPECT_EQ(assigned.dataTexture, nullptr) << "its own texture is deleted, the source's not taken";
    assigned = assigned;
    EXPECT_EQ(assigned.points.count, owner.points.count);

    Texture* texture = owner.dataTexture;
    ShapeSegment moved;
    moved = std::move(owner);
    EXPECT_EQ(moved.dataTexture, texture);
    EXPECT_EQ(owner.dataTexture, nullptr);
    EXPECT_EQ(owner.points.items, nullptr);
    EXPECT_EQ(moved.points.count, 12u);
    EXPECT_EQ(moved.GetLinkType(), LinkShapeSegment);
}
