// Figures for loading and playing levels:
// - how long the magnet fields take to compute (against the obvious every-piece-for-every-texel
//   way) and what one magnet force query costs on a physics step;
// - what the dearest level files cost to read and start, each in a process of its own so that
//   its peak memory is its own: read and compile, magnet fields computed without a GPU, a game of
//   four players started, its first frame of play, and a frame's lines collected through a view
//   the size of the play screen's and through one that takes in the whole level (as the editor
//   draws it zoomed out, points and signpost markers included).
//
//   ledrow_bench_level [name]     (only the files whose name contains `name`)
//
// The files are the worst found for each kind of record: as many as a level may hold, stacked
// beyond what the physics world takes, or just past what a level may cost.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "HalfFloat.h"
#include "Level.h"
#include "LineRenderer.h"
#include "Mesh.h"
#include "PhysicsStep.h"
#include "PlayInput.h"
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

void MagnetFigures()
{
    FieldFigures("a unit edge", Magnet({0, 0}, {1, 0}), true);
    FieldFigures("a 20-unit diagonal edge", Magnet({0, 0}, {14, 14}), true);
    FieldFigures("a 100-unit edge", Magnet({0, 0}, {100, 0}), true);
    FieldFigures("a 500-unit edge", Magnet({0, 0}, {500, 0}), false);

    // A physics step with "Fang" held asks every segment at the player's three circle points.
    const ShapeSegment near = Magnet({0, 0}, {5, 0});
    ShapeSegment plain = Magnet({0, 0}, {5, 0});
    plain.surfaceType = SurfaceType::Plain;
    plain.Compile();
    const int queries = 1000000;
    float sink = 0.0f;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < queries; ++i)
        sink += near.GetMagneticForce({2.5f + 0.000001f * static_cast<float>(i), -0.3f}).y;
    const double inReach = MillisecondsSince(start) * 1.0e6 / queries;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < queries; ++i)
        sink += near.GetMagneticForce({50.0f, static_cast<float>(i)}).y + plain.GetMagneticForce({2.5f, -0.3f}).y;
    const double outOfReach = MillisecondsSince(start) * 1.0e6 / queries / 2.0;
    std::printf("magnet force: %.1f ns beside a 5-unit magnet, %.1f ns far from one or on a plain edge (%g)\n\n",
                inReach, outOfReach, static_cast<double>(sink > 0.0f));
}

/// A level file's payload written record by record.
struct Payload
{
    std::vector<uint8_t> bytes;

    Payload& U32(uint32_t value) { return Raw(&value, 4); }
    Payload& F32(float value) { return Raw(&value, 4); }
    Payload& Vec2(glm::vec2 v) { return F32(v.x).F32(v.y); }
    Payload& Raw(const void* data, size_t size)
    {
        const auto* from = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), from, from + size);
        return *this;
    }
    Payload& Level(glm::vec2 start) { return U32(4).Vec2(start).F32(0.0f); }
    Payload& Point(glm::vec2 position, glm::vec2 handleA, glm::vec2 handleB, bool spline, SurfaceType type, bool corner)
    {
        const uint8_t splineByte = spline ? 1 : 0;
        const uint8_t cornerByte = corner ? 1 : 0;
        U32(2).Vec2(position).Vec2(handleA).Vec2(handleB).Raw(&splineByte, 1);
        return U32(static_cast<uint32_t>(type)).Raw(&cornerByte, 1);
    }
    /// A ring of straight corner edges.
    Payload& Straight(std::initializer_list<glm::vec2> corners, SurfaceType type = SurfaceType::Plain)
    {
        U32(3);
        for (glm::vec2 corner : corners)
            Point(corner, corner, corner, false, type, true);
        return *this;
    }
    /// `count` smooth points on a circle, handles along the tangents.
    Payload& Ring(int count, float radius, SurfaceType type)
    {
        U32(3);
        const float step = 6.2831853f / static_cast<float>(count);
        const float reach = radius * 4.0f / 3.0f * std::tan(step / 4.0f);
        for (int i = 0; i < count; ++i)
        {
            const float angle = step * static_cast<float>(i);
            const glm::vec2 at{radius * std::cos(angle), radius * std::sin(angle)};
            const glm::vec2 tangent{-std::sin(angle), std::cos(angle)};
            Point(at, at - reach * tangent, at + reach * tangent, true, type, false);
        }
        return *this;
    }
    Payload& Trinket(glm::vec2 at) { return U32(5).Vec2(at); }
    Payload& Waypoint(glm::vec2 a, glm::vec2 b, glm::vec2 respawn) { return U32(7).Vec2(a).Vec2(b).Vec2(respawn); }
    Payload& Signpost(glm::vec2 at, const std::string& text)
    {
        U32(8).Vec2(at).Vec2(at + glm::vec2(-1.5f, -1.0f)).Vec2(at + glm::vec2(1.5f, -2.0f));
        return U32(0).U32(static_cast<uint32_t>(text.size())).Raw(text.data(), text.size());
    }
};

glm::vec2 Grid(uint32_t i, uint32_t across, float spacing)
{
    return {static_cast<float>(i % across) * spacing, static_cast<float>(i / across) * spacing};
}

struct WorstFile
{
    const char* name;
    std::function<Payload()> make;
};

std::vector<WorstFile> WorstFiles()
{
    const uint64_t bodies = Level::MaxLoadCost / Level::TrinketRecordCost;
    return {
        {"shapes without points, as many as fit", [=] {
             Payload p;
             p.Level({0, 0});
             for (uint64_t i = 0; i < Level::MaxLoadCost / Level::ShapeRecordCost; ++i)
                 p.U32(3);
             return p;
         }},
        {"long Jagged edges, as many as fit", [] {
             // Each two-point shape compiles both edges to 20,003 points that its chains follow.
             Payload p;
             p.Level({0, 1});
             for (int i = 0; i < 3; ++i)
                 p.Straight({{0, 10.0f * i}, {2000, 10.0f * i}}, SurfaceType::Jagged);
             return p;
         }},
        {"a smooth ring as long as fits", [] {
             Payload p;
             p.Level({0, 0});
             p.Ring(8000, 1273.0f, SurfaceType::Bouncer);
             return p;
         }},
        {"small triangles, as many as fit", [] {
             Payload p;
             p.Level({0, 0});
             for (uint32_t i = 0; i < 9000; ++i)
             {
                 const glm::vec2 at = Grid(i, 100, 3.0f);
                 p.Straight({at, at + glm::vec2(0.02f, 0), at + glm::vec2(0, 0.02f)});
             }
             return p;
         }},
        {"trinkets, as many as fit", [=] {
             Payload p;
             p.Level({0, 0});
             for (uint64_t i = 0; i < bodies; ++i)
                 p.Trinket(Grid(static_cast<uint32_t>(i), 200, 1.0f));
             return p;
         }},
        {"gates, as many as fit", [] {
             Payload p;
             p.Level({0, 0});
             for (uint64_t i = 0; i < Level::MaxLoadCost / Level::WaypointRecordCost; ++i)
             {
                 const glm::vec2 at = Grid(static_cast<uint32_t>(i), 100, 2.0f);
                 p.Waypoint(at, at + glm::vec2(1.3f, 0), at + glm::vec2(0.65f, 0.3f));
             }
             return p;
         }},
        {"signposts with long texts, as many as fit", [] {
             Payload p;
             p.Level({0, 0});
             const std::string text(255, 'w');
             const uint64_t each = Level::SignpostRecordCost + text.size() / Level::SignpostTextBytesPerCost;
             for (uint64_t i = 0; i < Level::MaxLoadCost / each; ++i)
                 p.Signpost(Grid(static_cast<uint32_t>(i), 100, 4.0f), text);
             return p;
         }},
        {"trinkets stacked on one spot", [=] {
             Payload p;
             p.Level({0, 0});
             for (uint64_t i = 0; i < bodies; ++i)
                 p.Trinket({1.0f, 1.0f});
             return p;
         }},
        {"squares stacked on one spot", [] {
             Payload p;
             p.Level({0, 0});
             for (int i = 0; i < 2000; ++i)
                 p.Straight({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}});
             return p;
         }},
        {"a 300-point ring of unit magnets", [] {
             Payload p;
             p.Level({0, 50});
             p.Ring(300, 47.75f, SurfaceType::MagneticAttractor);
             return p;
         }},
        {"100-unit magnets filling the field budget", [] {
             Payload p;
             p.Level({0, 0});
             for (int i = 0; i < 30; ++i)
                 p.Straight({{0, 20.0f * i}, {100, 20.0f * i}, {100, 20.0f * i + 1.0f}}, SurfaceType::MagneticRepulsor);
             return p;
         }},
        {"accelerators 1.4 million units long", [] {
             Payload p;
             p.Level({0, 1});
             p.Straight({{-7.0e5f, 0}, {7.0e5f, 0}, {7.0e5f, 1}, {-7.0e5f, 1}}, SurfaceType::AnticlockwiseAccelerator);
             // A curved edge from a point back to itself round the far corner of the world.
             p.U32(3).Point({1.0e6f, 1.0e6f}, {-1.0e6f, -1.0e6f}, {-1.0e6f, -1.0e6f}, true,
                            SurfaceType::ClockwiseAccelerator, true);
             return p;
         }},
        {"a megabyte of trinkets (refused)", [] {
             Payload p;
             p.Level({0, 0});
             for (uint32_t i = 0; i < 87000; ++i)
                 p.Trinket(Grid(i, 300, 1.0f));
             return p;
         }},
    };
}

/// Lines a frame collects of `level` through `view`: the level's own drawing with the signpost
/// markers, and the points of every shape as the editor shows them.
size_t DrawFrame(Level& level, const float (&view)[4], LineRenderer& lines)
{
    lines.Clear();
    level.Draw(lines, view, true);
    for (const WorldShape& shape : level.worldShapes)
        shape.DrawEditor(lines, 0.1f, view);
    return lines.SegmentCount();
}

void MeasureFile(const WorstFile& file)
{
    const Payload payload = file.make();
    ByteBlob blob;
    blob.WriteHeader();
    blob.WriteArray(payload.bytes.data(), static_cast<uint32_t>(payload.bytes.size()));
    blob.readingMode = true;
    blob.readCursor = ByteBlob::HeaderSize;

    Level level(nullptr);
    auto start = std::chrono::steady_clock::now();
    const bool read = level.ReadFromBlob(blob);
    const double readTime = MillisecondsSince(start);

    start = std::chrono::steady_clock::now();
    level.AllotDataTextures();
    std::vector<uint16_t> samples;
    uint64_t texels = 0;
    for (const WorldShape& shape : level.worldShapes)
        for (const ShapeSegment& segment : shape.segments)
        {
            uint32_t width = 0;
            uint32_t height = 0;
            if (!segment.fieldLeftOut && segment.ComputeDataTextureSamples(samples, width, height))
                texels += static_cast<uint64_t>(width) * height;
        }
    const double fieldTime = MillisecondsSince(start);

    start = std::chrono::steady_clock::now();
    level.Start(4, 0);
    const double worldTime = MillisecondsSince(start);
    start = std::chrono::steady_clock::now();
    level.Update(PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep), PlayInput());
    const double stepTime = MillisecondsSince(start);

    // Each frame is drawn twice and the second one timed: the game's line batch keeps its room
    // from frame to frame.
    LineRenderer lines;
    const glm::vec2 at = level.start.position;
    const float playView[4] = {at.x - 7.5f, at.x + 7.5f, at.y - 5.0f, at.y + 5.0f};
    const float everywhere[4] = {-2.0e6f, 2.0e6f, -2.0e6f, 2.0e6f};
    DrawFrame(level, everywhere, lines);
    start = std::chrono::steady_clock::now();
    const size_t playLines = DrawFrame(level, playView, lines);
    const double playTime = MillisecondsSince(start);
    start = std::chrono::steady_clock::now();
    const size_t allLines = DrawFrame(level, everywhere, lines);
    const double allTime = MillisecondsSince(start);
    const int32_t bodies = level.world != nullptr ? level.world->GetBodyCount() : 0;
    level.EndGame();

    std::printf("%-44s %8zu B  %-7s read %7.1f ms  fields %7.1f ms (%5.2f M texels)  start %7.1f ms (%6d bodies)  "
                "first frame %6.1f ms  draw %7zu lines %6.2f ms, all %8zu lines %7.1f ms",
                file.name, payload.bytes.size() + ByteBlob::HeaderSize, read ? "read" : "refused", readTime, fieldTime,
                static_cast<double>(texels) / 1.0e6, worldTime, bodies, stepTime, playLines,
                playTime, allLines, allTime);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    const char* only = argc > 1 ? argv[1] : nullptr;
    if (only == nullptr)
        MagnetFigures();
    std::printf("Dearest level files (read, fields and start are start-up, then one frame of play and the lines of "
                "a frame; peak is the whole process):\n");
    for (const WorstFile& file : WorstFiles())
    {
        if (only != nullptr && std::strstr(file.name, only) == nullptr)
            continue;
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0)
        {
            MeasureFile(file);
            std::_Exit(0);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            std::printf("  peak %6.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
        else
            std::printf("%-44s failed (status %d)\n", file.name, status);
    }
    return 0;
}
