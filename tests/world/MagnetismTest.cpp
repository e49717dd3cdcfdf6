#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "HalfFloat.h"
#include "LevelObjectTesting.h"
#include "ShapeFixtures.h"
#include "ShapeSegment.h"

using namespace testing_support;

namespace
{
float FromBits(uint32_t bits)
{
    return std::bit_cast<float>(bits);
}
} // namespace

TEST(FloatToHalf, RoundsToNearestWithTiesToEven)
{
    const struct
    {
        const char* name;
        float value;
        uint16_t half;
    } cases[] = {
        {"one", 1.0f, 0x3C00},
        {"minus two", -2.0f, 0xC000},
        {"largest half", 65504.0f, 0x7BFF},
        {"just below the overflow tie", 65519.99f, 0x7BFF},
        {"overflow tie goes to infinity", 65520.0f, 0x7C00},
        {"negative overflow", -70000.0f, 0xFC00},
        {"infinity", std::numeric_limits<float>::infinity(), 0x7C00},
        {"minus infinity", -std::numeric_limits<float>::infinity(), 0xFC00},
        {"minus zero", -0.0f, 0x8000},
        {"tie between 1 and the next half goes down to even", 1.0f + std::ldexp(1.0f, -11), 0x3C00},
        {"tie above an odd half goes up to even", 1.0f + 3.0f * std::ldexp(1.0f, -11), 0x3C02},
        {"smallest normal half", std::ldexp(1.0f, -14), 0x0400},
        {"largest subnormal rounds up into the normals", std::ldexp(1.0f, -14) - std::ldexp(1.0f, -26), 0x0400},
        {"half the smallest normal", std::ldexp(1.0f, -15), 0x0200},
        {"smallest subnormal", std::ldexp(1.0f, -24), 0x0001},
        {"three quarters of the smallest subnormal", 0.75f * std::ldexp(1.0f, -24), 0x0001},
        {"2^-25 is a tie and goes to zero", std::ldexp(1.0f, -25), 0x0000},
        {"one and a half subnormal units tie up to two", 1.5f * std::ldexp(1.0f, -24), 0x0002},
        {"two and a half subnormal units tie down to two", 2.5f * std::ldexp(1.0f, -24), 0x0002},
        {"far below the subnormals", -std::ldexp(1.0f, -30), 0x8000},
        {"a float subnormal", FromBits(0x00000001u), 0x0000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToHalf(c.value), c.half) << c.name;
}

TEST(FloatToHalf, NaNsStayQuietNaNsWithTheTopOfTheirPayload)
{
    EXPECT_EQ(FloatToHalf(FromBits(0x7FC00000u)), 0x7E00);
    EXPECT_EQ(FloatToHalf(FromBits(0xFFC00000u)), 0xFE00);
    // A signalling NaN comes out quiet, and still a NaN although its payload bits are all lost.
    EXPECT_EQ(FloatToHalf(FromBits(0x7F800001u)), 0x7E00);
    // Payload bits 21 to 13 become the half's bits 8 to 0.
    EXPECT_EQ(FloatToHalf(FromBits(0x7F802000u)), 0x7E01);
    EXPECT_EQ(FloatToHalf(FromBits(0x7FBFE000u)), 0x7FFF);
}

#if defined(__FLT16_MAX__)
TEST(FloatToHalf, MatchesTheCompilersConversionAcrossTheFloats)
{
    // A stride prime to every power of two visits every exponent with mixed mantissas.
    uint32_t checked = 0;
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 65537ull * 3ull + 2ull)
    {
        const float value = FromBits(static_cast<uint32_t>(bits));
        if (std::isnan(value))
            continue;
        const auto expected = std::bit_cast<uint16_t>(static_cast<_Float16>(value));
        ASSERT_EQ(FloatToHalf(value), expected) << std::hex << "float bits 0x" << bits;
        ++checked;
    }
    EXPECT_GT(checked, 20000u);
}
#endif

TEST(MagneticForce, AttractorPullsTowardsTheEdgeFromItsNeighbouringPieces)
{
    // The unit edge has eleven pieces 1/11 long with normals (0, -1). At (0.5, -0.05) the point
    // is 0.02 of the reach out (h = 0.02) on the middle piece's centre line, where that piece
    // gives nothing; pieces j steps to either side are j/11 off to the side, over a half-width
    // of 0.408, and the fifth ones are beyond it.
    const ShapeSegment attractor = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::MagneticAttractor);
    ASSERT_EQ(attractor.points.count, 12u);
    float expected = 0.0f;
    for (int j = 1; j <= 4; ++j)
        expected += 2.0f * 0.6f * 0.98f * 0.98f * (1.0f - (static_cast<float>(j) / 11.0f) / 0.408f);

    const glm::vec2 pull = attractor.GetMagneticForce({0.5f, -0.05f});
    EXPECT_NEAR(pull.x, 0.0f, 1e-5f);
    EXPECT_NEAR(pull.y, expected, 1e-4f);
    // With the middle piece it would be 0.576 more.
    EXPECT_LT(pull.y, expected + 0.5f);

    const ShapeSegment repulsor = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::MagneticRepulsor);
    const glm::vec2 push = repulsor.GetMagneticForce({0.5f, -0.05f});
    EXPECT_EQ(push.x, -pull.x);
    EXPECT_EQ(push.y, -pull.y);
}

TEST(MagneticForce, NothingBeyondTheReachOutsideTheBoxOrOnOtherSurfaces)
{
    const ShapeSegment attractor = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::MagneticAttractor);
    const struct
    {
        const char* name;
        glm::vec2 point;
    } quiet[] = {
        {"2.6 out, h = 1.04", {0.5f, -2.6f}},
        {"0.6 behind the surface", {0.5f, 0.6f}},
        {"beside the edge's end, beyond every piece's width", {2.5f, -0.1f}},
        {"outside the influence box", {-4.9f, -0.05f}},
        {"far outside", {1.0e6f, 1.0e6f}},
        {"not a number", {std::nanf(""), 0.0f}},
    };
    for (const auto& q : quiet)
    {
        const glm::vec2 force = attractor.GetMagneticForce(q.point);
        EXPECT_EQ(force.x, 0.0f) << q.name;
        EXPECT_EQ(force.y, 0.0f) << q.name;
    }
    for (SurfaceType type : {SurfaceType::Plain, SurfaceType::Jagged, SurfaceType::Bouncer, SurfaceType::Passable})
    {
        const glm::vec2 force = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, type).GetMagneticForce({0.5f, -0.05f});
        EXPECT_EQ(force.x, 0.0f);
        EXPECT_EQ(force.y, 0.0f);
    }
}

TEST(MagnetDataTexture, UnitEdgeTextureIs176By160)
{
    const ShapeSegment attractor = StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::MagneticAttractor);
    EXPECT_FLOAT_EQ(attractor.influenceMaxX - attractor.influenceMinX, 10.5999994f);
    EXPECT_FLOAT_EQ(attractor.influenceMaxY - attractor.influenceMinY, 9.5999994f);
    std::vector<uint16_t> samples;
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(attractor.ComputeDataTextureSamples(samples, width, height));
    EXPECT_EQ(width, 176u);
    EXPECT_EQ(height, 160u);
    EXPECT_EQ(samples.size(), 176u * 160u * 4u);
    // Row 0 is the bottom of the box, column 0 its left.
    ExpectNear(attractor.DataTexelPoint(0, 0, width, height),
               {attractor.influenceMinX + 10.5999994f / 352.0f, attractor.influenceMinY + 9.5999994f / 320.0f});
}

TEST(MagnetDataTexture, EveryTexelHoldsTheForceAtItsPoint)
{
    // Straight, curved, long and diagonal, and far from the origin where float rounding is
    // coarse: the texture must hold exactly what a player would feel at each texel's point.
    const struct
    {
        const char* name;
        ShapeSegment segment;
    } cases[] = {
        {"unit attractor", StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::MagneticAttractor)},
        {"curved repulsor", CurvedSegment({0.0f, 0.0f}, {1.0f, 2.0f}, {3.0f, -1.0f}, {4.0f, 1.0f}, SurfaceType::MagneticRepulsor)},
        {"long diagonal attractor", StraightSegment({-7.0f, -9.0f}, {13.0f, 6.0f}, SurfaceType::MagneticAttractor)},
        {"attractor far out", StraightSegment({900000.0f, -900000.0f}, {900003.0f, -899999.0f}, SurfaceType::MagneticAttractor)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ShapeSegment& segment = c.segment;
        std::vector<uint16_t> samples;
        uint32_t width = 0;
        uint32_t height = 0;
        ASSERT_TRUE(segment.ComputeDataTextureSamples(samples, width, height));
        const bool attractor = segment.surfaceType == SurfaceType::MagneticAttractor;
        uint32_t felt = 0;
        for (uint32_t row = 0; row < height; ++row)
            for (uint32_t column = 0; column < width; ++column)
            {
                const glm::vec2 force = segment.GetMagneticForce(segment.DataTexelPoint(column, row, width, height));
                const uint16_t* texel = &samples[(static_cast<size_t>(row) * width + column) * 4];
                const uint16_t expected[4] = {attractor ? FloatToHalf(force.x) : uint16_t(0),
                                              attractor ? FloatToHalf(force.y) : uint16_t(0),
                                              attractor ? uint16_t(0) : FloatToHalf(force.x),
                                              attractor ? uint16_t(0) : FloatToHalf(force.y)};
                for (int channel = 0; channel < 4; ++channel)
                    ASSERT_EQ(texel[channel], expected[channel])
                        << "texel (" << column << ", " << row << ") channel " << channel;
                felt += force.x != 0.0f || force.y != 0.0f;
            }
        EXPECT_GT(felt, 100u);
    }
}

TEST(MagnetDataTexture, OnlyMagnetsOfABuildableSizeGetTexels)
{
    std::vector<uint16_t> samples{1, 2, 3};
    uint32_t width = 7;
    uint32_t height = 7;
    EXPECT_FALSE(StraightSegment({0.0f, 0.0f}, {1.0f, 0.0f}, SurfaceType::Plain).ComputeDataTextureSamples(samples, width, height));
    EXPECT_TRUE(samples.empty());
    EXPECT_EQ(width, 0u);
    EXPECT_EQ(height, 0u);

    const struct
    {
        const char* name;
        ShapeSegment magnet;
        glm::vec2 felt;
        const char* size;
    } tooLarge[] = {
        // 16 x 610 texels across, more than any texture that is built.
        {"600 units across", StraightSegment({0.0f, 0.0f}, {600.0f, 0.0f}, SurfaceType::MagneticRepulsor),
         {300.05f, -0.5f}, "9760 by 160"},
        // Each side fits, but the field alone would be eight times what a whole level may build.
        {"707 units on the diagonal", StraightSegment({0.0f, 0.0f}, {500.0f, 500.0f}, SurfaceType::MagneticAttractor),
         {250.05f, 249.5f}, "8160 by 8160"},
    };
    for (const auto& c : tooLarge)
    {
        SCOPED_TRACE(c.name);
        const LogWatches logs;
        EXPECT_FALSE(c.magnet.ComputeDataTextureSamples(samples, width, height));
        EXPECT_TRUE(samples.empty());
        logs.ExpectOneWarning(std::string("[ShapeSegment.cpp:443]Magnet field of ") + c.size);
        // The force itself does not depend on the texture.
        const glm::vec2 force = c.magnet.GetMagneticForce(c.felt);
        EXPECT_TRUE(force.x != 0.0f || force.y != 0.0f);
    }
}
