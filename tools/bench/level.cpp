// Figures for loading and playing levels: how long the magnet fields take to compute (against the
// obvious every-piece-for-every-texel way), what one magnet force query costs on a physics step,
// and what the largest level a file may hold costs to read, compile and turn into a world.
#include <chrono>
#include <cstdio>
#include <vector>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "HalfFloat.h"
#include "Level.h"
#include "ShapeSegment.h"

namespace
{
double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

ShapeSegment Magnet(glm::vec2 p0, glm::vec2 p1)
{
    ShapeSegment segment;
    segment.p0 = p0;
    segment.p1 = p1;
    segment.c0 = p0 + 0.33333f * (p1 - p0);
    segment.c1 = p0 + 0.66667f * (p1 - p0);
    segment.surfaceType = SurfaceType::MagneticAttractor;
    segment.Compile();
    return segment;
}

void FieldFigures(const char* name, const ShapeSegment& segment, bool naiveToo)
{
    std::vector<uint16_t> samples;
    uint32_t width = 0;
    uint32_t height = 0;
    auto start = std::chrono::steady_clock::now();
    segment.ComputeDataTextureSamples(samples, width, height);
    const double fast = MillisecondsSince(start);
    std::printf("field of %-28s %5u x %-4u texels, %5u pieces: %9.2f ms", name, width, height, segment.points.count - 1, fast);
    if (naiveToo)
    {
        start = std::chrono::steady_clock::now();
        uint32_t checksum = 0;
        for (uint32_t row = 0; row < height; ++row)
            for (uint32_t column = 0; column < width; ++column)
                checksum += FloatToHalf(segment.GetMagneticForce(segment.DataTexelPoint(column, row, width, height)).y);
        std::printf("   (every piece at every texel: %9.2f ms, checksum %u)", MillisecondsSince(start), checksum);
    }
    std::printf("\n");
}

void WriteLargestLevel(ByteBlob& blob)
{
    // 12 two-point shapes 5000 units across, each edge at the sampling cap: just under the limit
    // of compiled points a level may hold. Jagged, so that the chains follow every point.
    Level level(nullptr);
    for (int i = 0; i < 12; ++i)
    {
        WorldShape shape;
        const glm::vec2 a{0.0f, 10.0f * static_cast<float>(i)};
        const glm::vec2 b{5000.0f, 10.0f * static_cast<float>(i)};
        shape.AddPoint(a, a, a, false, true);
        shape.AddPoint(b, b, b, false, true);
        shape.points[0].surfaceType = SurfaceType::Jagged;
        shape.points[1].surfaceType = SurfaceType::Jagged;
        level.worldShapes.PushBack(shape);
    }
    blob.WriteHeader();
    level.Serialise(blob);
    blob.readingMode = true;
    blob.readCursor = ByteBlob::HeaderSize;
}
} // namespace

int main()
{
    FieldFigures("a unit edge", Magnet({0, 0}, {1, 0}), true);
    FieldFigures("a 20-unit diagonal edge", Magnet({0, 0}, {14, 14}), true);
    FieldFigures("a 100-unit edge", Magnet({0, 0}, {100, 0}), true);
    FieldFigures("a 500-unit edge", Magnet({0, 0}, {500, 0}), false);

    // The worst a level may ask for: 29 magnet edges of 100 units fill the texel budget.
    const ShapeSegment longMagnet = Magnet({0, 0}, {100, 0});
    auto start = std::chrono::steady_clock::now();
    std::vector<uint16_t> samples;
    uint32_t width = 0;
    uint32_t height = 0;
    for (int i = 0; i < 29; ++i)
        longMagnet.ComputeDataTextureSamples(samples, width, height);
    std::printf("fields of a level at the texel limit (29 x %u x %u): %.1f ms\n", width, height, MillisecondsSince(start));

    // A physics step with "Fang" held asks every segment at the player's three circle points.
    const ShapeSegment near = Magnet({0, 0}, {5, 0});
    ShapeSegment plain = Magnet({0, 0}, {5, 0});
    plain.surfaceType = SurfaceType::Plain;
    plain.Compile();
    const int queries = 1000000;
    float sink = 0.0f;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < queries; ++i)
        sink += near.GetMagneticForce({2.5f + 0.000001f * static_cast<float>(i), -0.3f}).y;
    const double inReach = MillisecondsSince(start) * 1.0e6 / queries;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < queries; ++i)
        sink += near.GetMagneticForce({50.0f, static_cast<float>(i)}).y + plain.GetMagneticForce({2.5f, -0.3f}).y;
    const double outOfReach = MillisecondsSince(start) * 1.0e6 / queries / 2.0;
    std::printf("magnet force: %.1f ns beside a 5-unit magnet, %.1f ns far from one or on a plain edge (%g)\n",
                inReach, outOfReach, static_cast<double>(sink > 0.0f));

    ByteBlob file;
    WriteLargestLevel(file);
    Level level(nullptr);
    start = std::chrono::steady_clock::now();
    const bool read = level.ReadFromBlob(file);
    const double readTime = MillisecondsSince(start);
    uint64_t points = 0;
    for (const WorldShape& shape : level.worldShapes)
        for (const ShapeSegment& segment : shape.segments)
            points += segment.points.count;
    start = std::chrono::steady_clock::now();
    level.CreatePhysicsWorld();
    const double worldTime = MillisecondsSince(start);
    std::printf("largest level (%s, %llu compiled points): read and compiled in %.1f ms, physics world in %.1f ms\n",
                read ? "read" : "refused", static_cast<unsigned long long>(points), readTime, worldTime);
    return 0;
}
