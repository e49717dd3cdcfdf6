#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <box2d/box2d.h>
#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "Camera.h"
#include "Level.h"
#include "LevelObjectTesting.h"
#include "HeapBytes.h"
#include "ScratchFolder.h"
#include "ShapeFixtures.h"
#include "TestFiles.h"

using namespace testing_support;

namespace
{
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Infinity = std::numeric_limits<float>::infinity();

/// A level payload built record by record, remembering where each record (and each shape point
/// record) starts, which is where a file may end and still be whole.
struct Payload
{
    RecordBytes bytes;
    std::set<size_t> recordStarts;

    size_t Size() const { return bytes.bytes.size(); }
    Payload& Mark()
    {
        recordStarts.insert(Size());
        return *this;
    }
    Payload& Level(glm::vec2 start, float reserved = 0.0f)
    {
        bytes.U32(4).Vec2(start).F32(reserved);
        return Mark();
    }
    Payload& Point(glm::vec2 position, SurfaceType type = SurfaceType::Plain)
    {
        // A corner with handles a quarter unit to either side: nothing the reader repairs.
        return Point(position - glm::vec2(0.25f, 0.0f), position, position + glm::vec2(0.25f, 0.0f), false, true, type);
    }
    Payload& Point(glm::vec2 handleA, glm::vec2 position, glm::vec2 handleB, bool isSpline, bool isCorner,
                   SurfaceType type = SurfaceType::Plain)
    {
        const uint8_t spline = isSpline ? 1 : 0;
        const uint8_t corner = isCorner ? 1 : 0;
        bytes.U32(2).Vec2(position).Vec2(handleA).Vec2(handleB);
        bytes.Raw(&spline, 1).U32(static_cast<uint32_t>(type)).Raw(&corner, 1);
        return Mark();
    }
    Payload& Shape(std::initializer_list<glm::vec2> positions, SurfaceType type = SurfaceType::Plain)
    {
        bytes.U32(3);
        Mark();
        for (glm::vec2 position : positions)
            Point(position, type);
        return *this;
    }
    Payload& Trinket(glm::vec2 position)
    {
        bytes.U32(5).Vec2(position);
        return Mark();
    }
    Payload& Waypoint(glm::vec2 a, glm::vec2 b, glm::vec2 respawn)
    {
        bytes.U32(7).Vec2(a).Vec2(b).Vec2(respawn);
        return Mark();
    }
    Payload& Signpost(glm::vec2 position, const std::string& text, uint32_t textTag = 0)
    {
        bytes.U32(8).Vec2(position).Vec2(position + glm::vec2(-1.5f, -1.0f)).Vec2(position + glm::vec2(1.5f, -2.0f));
        bytes.U32(textTag).U32(static_cast<uint32_t>(text.size())).Text(text);
        return Mark();
    }
    Payload& Raw(std::initializer_list<uint8_t> raw)
    {
        for (uint8_t byte : raw)
            bytes.Raw(&byte, 1);
        return *this;
    }
    std::vector<uint8_t> Cut(size_t length) const
    {
        return std::vector<uint8_t>(bytes.bytes.begin(), bytes.bytes.begin() + static_cast<long>(length));
    }
};

/// Every kind of record, with a curved magnetic shape among the plain ones.
Payload FullLevel()
{
    Payload payload;
    payload.Level({1.5f, -2.25f}, 7.0f)
        .Shape({{-5, -1}, {5, -1}, {5, 0}, {-5, 0}})
        .Shape({{0, 3}, {1, 3}, {1, 4}}, SurfaceType::MagneticAttractor)
        .Trinket({0.5f, 1.0f})
        .Trinket({-2.0f, 0.25f})
        .Waypoint({2, 0}, {2, 1.3f}, {2.3f, 0.5f})
        .Waypoint({4, 0}, {4, 1}, {4.3f, 0.5f})
        .Waypoint({6, 0}, {6, 1}, {6.3f, 0.5f})
        .Signpost({0, 2}, "")
        .Signpost({3, 2}, "Hello");
    return payload;
}

std::vector<uint8_t> Saved(Level& level)
{
    return PayloadOf(level);
}

bool Read(Level& level, const std::vector<uint8_t>& payload)
{
    ByteBlob blob;
    LoadPayload(blob, payload);
    return level.ReadFromBlob(blob);
}

/// What every failed load must leave: a level as it was made, that can be saved, played and
/// read again.
void ExpectEmptyAndUsable(Level& level)
{
    EXPECT_EQ(level.worldShapes.count, 0u);
    EXPECT_EQ(level.trinkets.count, 0u);
    EXPECT_EQ(level.waypoints.count, 0u);
    EXPECT_EQ(level.signposts.count, 0u);
    EXPECT_EQ(level.start.position, glm::vec2(0.0f, 0.0f));
    EXPECT_EQ(level.start.reserved, 0.0f);
    EXPECT_EQ(level.time, 0.0f);
    EXPECT_EQ(level.world, nullptr);
    EXPECT_EQ(Saved(level), RecordBytes().U32(4).F32(0).F32(0).F32(0).bytes);
    level.CreatePhysicsWorld();
    ASSERT_NE(level.world, nullptr);
    EXPECT_EQ(level.world->GetBodyCount(), 0);
    level.DestroyPhysicsWorld();
}

/// What a refused load must leave: one warning since `logs` began, which holds `reason`, no
/// error, and an empty, usable level.
void ExpectRefused(Level& level, const LogWatches& logs, const std::string& reason)
{
    logs.ExpectOneWarning(reason);
    ExpectEmptyAndUsable(level);
}

struct Counts
{
    uint32_t shapes, trinkets, waypoints, signposts;
    bool operator==(const Counts&) const = default;
};

Counts CountsOf(const Level& level)
{
    return {level.worldShapes.count, level.trinkets.count, level.waypoints.count, level.signposts.count};
}

std::ostream& operator<<(std::ostream& out, const Counts& c)
{
    return out << c.shapes << " shapes, " << c.trinkets << " trinkets, " << c.waypoints << " waypoints, "
               << c.signposts << " signposts";
}

Camera sharedCamera;
} // namespace

TEST(Level, NewLevelIsEmptyAtTheOrigin)
{
    Level level(&sharedCamera);
    EXPECT_EQ(level.camera, &sharedCamera);
    EXPECT_EQ(level.GetTypeId(), 4u);
    EXPECT_FALSE(level.start.selected);
    EXPECT_EQ(level.worldShapes.capacity, 16u);
    EXPECT_EQ(level.localPlayer, nullptr);
    EXPECT_EQ(level.contactListener, nullptr);
    ExpectEmptyAndUsable(level);
}

TEST(LevelFile, RecordsAreWrittenAtTheirOffsetsAndReadBackByteForByte)
{
    const Payload file = FullLevel();
    Level level(&sharedCamera);
    const LogWatches logs;
    ASSERT_TRUE(Read(level, file.bytes.bytes));
    logs.ExpectQuiet();
    EXPECT_EQ(CountsOf(level), (Counts{2, 2, 3, 2}));

    const std::vector<uint8_t> saved = Saved(level);
    EXPECT_EQ(saved, file.bytes.bytes);

    // The fixed part, then records of 34 bytes per shape point, 12 per trinket, 28 per waypoint
    // and 36 plus the text per signpost.
    auto u32At = [&](size_t offset) {
        uint32_t value;
        std::memcpy(&value, saved.data() + offset, 4);
        return value;
    };
    auto f32At = [&](size_t offset) {
        float value;
        std::memcpy(&value, saved.data() + offset, 4);
        return value;
    };
    EXPECT_EQ(u32At(0), 4u);
    EXPECT_EQ(f32At(4), 1.5f);
    EXPECT_EQ(f32At(8), -2.25f);
    EXPECT_EQ(f32At(12), 7.0f);
    EXPECT_EQ(u32At(16), 3u);
    const size_t trinkets = 16 + (4 + 4 * 34) + (4 + 3 * 34);
    EXPECT_EQ(u32At(trinkets), 5u);
    EXPECT_EQ(u32At(trinkets + 12), 5u);
    const size_t waypoints = trinkets + 2 * 12;
    EXPECT_EQ(u32At(waypoints), 7u);
    const size_t signposts = waypoints + 3 * 28;
    EXPECT_EQ(u32At(signposts), 8u);
    EXPECT_EQ(u32At(signposts + 36), 8u);
    EXPECT_EQ(saved.size(), signposts + 36 + 36 + 5);

    // Loading also made the level ready to play: compiled shapes, fresh waypoints and trinkets,
    // every clock pointing at the level's.
    for (const WorldShape& shape : level.worldShapes)
    {
        EXPECT_EQ(shape.segments.count, shape.points.count);
        EXPECT_EQ(shape.levelTime, &level.time);
        for (const ShapeSegment& segment : shape.segments)
            EXPECT_EQ(segment.levelTime, &level.time);
    }
    for (const Waypoint& waypoint : level.waypoints)
    {
        EXPECT_EQ(waypoint.index, -1);
        EXPECT_EQ(waypoint.previous, -1);
        EXPECT_EQ(waypoint.levelTime, &level.time);
    }
    for (const Trinket& trinket : level.trinkets)
        EXPECT_EQ(trinket.timer, 0.0f);
    EXPECT_EQ(level.waypoints[1].endA, glm::vec2(4, 0));
    EXPECT_EQ(level.signposts[1].text, "Hello");
}

TEST(LevelFile, SavedFilesLoadFromDiskAsTheyWereWritten)
{
    const ScratchFolder folder;
    Level original(&sharedCamera);
    ASSERT_TRUE(Read(original, FullLevel().bytes.bytes));
    ByteBlob written;
    written.WriteHeader();
    original.Serialise(written);
    written.WriteToFile("round-trip.lrl");

    Level loaded(&sharedCamera);
    ASSERT_TRUE(loaded.ReadFromFile("round-trip.lrl"));
    EXPECT_EQ(Saved(loaded), Saved(original));

    const std::vector<uint8_t> onDisk = FileBytes("round-trip.lrl");
    ASSERT_EQ(onDisk.size(), written.size);
    EXPECT_EQ(std::vector<uint8_t>(onDisk.begin(), onDisk.begin() + 4),
              (std::vector<uint8_t>{0x98, 0xBE, 0x6F, 0x35}));
}

TEST(LevelFile, ListsAreReadOnlyInTheirOrderAndTheRestIsIgnored)
{
    const struct
    {
        const char* name;
        Payload payload;
        Counts counts;
    } cases[] = {
        {"only the fixed part", Payload().Level({1, 2}), {0, 0, 0, 0}},
        {"trinkets before shapes", Payload().Level({0, 0}).Trinket({1, 1}).Shape({{0, 0}, {1, 0}, {0, 1}}).Waypoint({0, 0}, {1, 0}, {0, 1}), {0, 1, 0, 0}},
        {"shapes and signposts only", Payload().Level({0, 0}).Shape({{0, 0}, {1, 0}, {0, 1}}).Shape({{3, 3}, {4, 3}, {3, 4}}).Signpost({1, 1}, "a"), {2, 0, 0, 1}},
        {"ending after the shapes", Payload().Level({0, 0}).Shape({{0, 0}, {1, 0}, {0, 1}}), {1, 0, 0, 0}},
        {"bytes after the signposts", Payload().Level({0, 0}).Signpost({1, 1}, "a").Raw({0xFF, 0x01, 0x02, 0x03, 0x04, 0x05}), {0, 0, 0, 1}},
        {"a shape after a signpost", Payload().Level({0, 0}).Signpost({1, 1}, "a").Shape({{0, 0}, {1, 0}, {0, 1}}), {0, 0, 0, 1}},
        {"a waypoint before a trinket", Payload().Level({0, 0}).Waypoint({0, 0}, {1, 0}, {0, 1}).Trinket({1, 1}), {0, 0, 1, 0}},
        {"a tag that names no record", Payload().Level({0, 0}).Trinket({1, 1}).Raw({6, 0, 0, 0}).Trinket({1, 1}), {0, 1, 0, 0}},
        {"three bytes of a tag", Payload().Level({0, 0}).Trinket({1, 1}).Raw({5, 0, 0}), {0, 1, 0, 0}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Level level(&sharedCamera);
        const LogWatches logs;
        EXPECT_TRUE(Read(level, c.payload.bytes.bytes));
        EXPECT_EQ(CountsOf(level), c.counts);
        logs.ExpectQuiet();
    }
}

TEST(LevelFile, FileCutAnywhereLoadsWholeRecordsOrNothing)
{
    // Cut at a record's start, or inside its tag, the file is a shorter level (a tag needs four
    // bytes to be seen); cut anywhere inside a record, the load fails, says so once and leaves
    // the level empty and usable.
    const Payload file = FullLevel();
    for (size_t cut = 0; cut < file.Size(); ++cut)
    {
        SCOPED_TRACE("cut to " + std::to_string(cut) + " bytes");
        bool whole = false;
        for (size_t start : file.recordStarts)
            whole = whole || (cut >= start && cut < start + 4);
        Level level(&sharedCamera);
        const LogWatches logs;
        const bool read = Read(level, file.Cut(cut));
        if (cut < 4)
        {
            EXPECT_FALSE(read);
            logs.ExpectQuiet();
            ExpectEmptyAndUsable(level);
        }
        else if (whole)
        {
            EXPECT_TRUE(read);
            logs.ExpectQuiet();
        }
        else
        {
            EXPECT_FALSE(read);
            ExpectRefused(level, logs, "cut short");
        }
    }
}

TEST(LevelFile, ImpossibleCoordinatesRefuseTheWholeLevel)
{
    const struct
    {
        const char* name;
        Payload payload;
    } cases[] = {
        {"start not a number", Payload().Level({NaN, 0})},
        {"start beyond the world", Payload().Level({0, -2.0e6f})},
        {"shape point at infinity", Payload().Level({0, 0}).Shape({{0, 0}, {Infinity, 0}, {0, 1}})},
        {"shape point beyond the world", Payload().Level({0, 0}).Shape({{0, 0}, {1, 0}, {0, 1.5e6f}})},
        {"trinket not a number", Payload().Level({0, 0}).Trinket({1, NaN})},
        {"waypoint respawn at minus infinity", Payload().Level({0, 0}).Waypoint({0, 0}, {1, 0}, {0, -Infinity})},
        {"signpost far beyond the world", Payload().Level({0, 0}).Signpost({1.0e7f, 0}, "far")},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // Good records before the bad one are not kept either.
        Payload payload = c.payload;
        Level level(&sharedCamera);
        const LogWatches logs;
        EXPECT_FALSE(Read(level, payload.bytes.bytes));
        ExpectRefused(level, logs, "[Level.cpp:");
    }
}

TEST(LevelFile, FarHandlesThatNoCurveUsesAreMovedAndTheLevelLoads)
{
    // A straight edge's handles shape nothing, so one far outside the world is put a quarter of
    // the way along its edge, as a handle on its point is, and the level loads with one line
    // saying so; a save then writes the moved handle. A coordinate that an edge is made from
    // still refuses the level. The triangle (0, 0), (4, 0), (0, 4); point 0 is changed.
    constexpr float Far = 5.0e6f;
    struct Point
    {
        glm::vec2 a, position, b;
        bool spline, corner;
    };
    const Point plain[3] = {{{0, 1}, {0, 0}, {1, 0}, false, true},
                            {{3, 0}, {4, 0}, {3, 1}, false, true},
                            {{1, 3}, {0, 4}, {0, 3}, false, true}};
    const struct
    {
        const char* name;
        Point zero;
        bool edgeTwoCurved;
        uint32_t moved; ///< 0: refused
        glm::vec2 a, b; ///< point 0's handles once read
    } cases[] = {
        {"a corner's outgoing handle on a straight edge", {{0, 1}, {0, 0}, {Far, 0}, false, true}, false, 1, {0, 1}, {1, 0}},
        {"a corner's incoming handle after a straight edge", {{0, -Far}, {0, 0}, {1, 0}, false, true}, false, 1, {0, 1}, {1, 0}},
        // The incoming handle shapes the curve of edge 2 and stays; the moved one turns to face it.
        {"a smooth point's outgoing handle, the other shaping a curve", {{-0.5f, 0.5f}, {0, 0}, {Far, -Far}, false, false},
         true, 1, {-0.5f, 0.5f}, {0.70710677f, -0.70710677f}},
        {"both handles of a smooth point between straight edges", {{-Far, 0}, {0, 0}, {Far, 0}, false, false}, false, 2,
         {-0.5f, 0.5f}, {0.5f, -0.5f}},
        {"the outgoing handle of a curved edge", {{0, 1}, {0, 0}, {Far, 0}, true, true}, false, 0, {}, {}},
        {"an incoming handle that a curve uses", {{0, Far}, {0, 0}, {1, 0}, false, true}, true, 0, {}, {}},
        {"the point itself", {{0, 1}, {0, Far}, {1, 0}, false, true}, false, 0, {}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Payload payload;
        payload.Level({0, 0}).bytes.U32(3);
        for (int k = 0; k < 3; ++k)
        {
            const Point& p = k == 0 ? c.zero : plain[k];
            payload.Point(p.a, p.position, p.b, p.spline || (k == 2 && c.edgeTwoCurved), p.corner);
        }
        Level level(&sharedCamera);
        const LogWatches logs;
        const bool read = Read(level, payload.bytes.bytes);
        if (c.moved == 0)
        {
            EXPECT_FALSE(read);
            ExpectRefused(level, logs, "a world shape has a point outside the world");
            continue;
        }
        ASSERT_TRUE(read);
        logs.ExpectOneWarning("[Level.cpp:230]Level moved " + std::to_string(c.moved) + " handles of straight edges");
        ASSERT_EQ(level.worldShapes.count, 1u);
        const ShapePoint& zero = level.worldShapes[0].points[0];
        ExpectVecNear(zero.handleA, c.a);
        ExpectVecNear(zero.handleB, c.b);
        for (uint32_t k = 1; k < 3; ++k)
        {
            EXPECT_EQ(level.worldShapes[0].points[k].handleA, plain[k].a);
            EXPECT_EQ(level.worldShapes[0].points[k].handleB, plain[k].b);
        }

        // What a save writes reads back as it is, with nothing more to move.
        const std::vector<uint8_t> saved = Saved(level);
        Level again(&sharedCamera);
        const LogWatches quiet;
        ASSERT_TRUE(Read(again, saved));
        quiet.ExpectQuiet();
        EXPECT_EQ(Saved(again), saved);
    }
}

TEST(LevelFile, EveryRecordCostsLittleOnceReadAndStarted)
{
    // Heap bytes per record once the level is read and compiled, and once its physics world is
    // built and stepped. A shape without points used to cost some 20 KB (the spare slots of its
    // arrays were whole objects), and every shape copied after a large one carried that one's
    // capacity for its points.
    constexpr int Count = 5000;
    auto repeated = [](const std::function<void(Payload&)>& record, const std::function<void(Payload&)>& before = {}) {
        Payload payload;
        payload.Level({0, 0});
        if (before)
            before(payload);
        for (int i = 0; i < Count; ++i)
            record(payload);
        return payload;
    };
    auto grid = [](int i) { return glm::vec2(static_cast<float>(i % 100) * 3.0f, static_cast<float>(i / 100) * 3.0f); };
    int next = 0;
    const struct
    {
        const char* name;
        Payload payload;
        size_t bytesPerRecord;
    } cases[] = {
        {"shapes without points", repeated([](Payload& p) { p.bytes.U32(3); }), 1024},
        {"shapes without points after a large one",
         repeated([](Payload& p) { p.bytes.U32(3); },
                  [](Payload& p) {
                      p.bytes.U32(3);
                      for (int i = 0; i < 1000; ++i)
                          p.Point({static_cast<float>(i) * 0.01f, static_cast<float>(i % 2) * 0.01f});
                  }),
         1024},
        {"small triangles", repeated([&](Payload& p) { const glm::vec2 at = grid(next++); p.Shape({at, at + glm::vec2(0.02f, 0), at + glm::vec2(0, 0.02f)}); }), 8 * 1024},
        {"trinkets", repeated([&](Payload& p) { p.Trinket(grid(next++)); }), 1024},
        {"waypoints", repeated([&](Payload& p) { const glm::vec2 at = grid(next++); p.Waypoint(at, at + glm::vec2(1, 0), at + glm::vec2(0.5f, 0.3f)); }), 2 * 1024},
        {"signposts", repeated([&](Payload& p) { p.Signpost(grid(next++), "Mind the gap"); }), 1024},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const size_t before = HeapBytesInUse();
        {
            Level level(&sharedCamera);
            ASSERT_TRUE(Read(level, c.payload.bytes.bytes));
            EXPECT_LE(HeapBytesInUse() - before, Count * c.bytesPerRecord);
            level.CreatePhysicsWorld();
            StepFor(*level.world, 0.1f);
            EXPECT_LE(HeapBytesInUse() - before, 2 * Count * c.bytesPerRecord);
        }
    }
}

TEST(LevelFile, FilesCostingMoreThanALevelMayAreRefusedAsTheyAreRead)
{
    // A two-point Jagged shape 5000 units across compiles each edge to 40003 points, all of
    // which its physics chains follow: one such shape fits what a level may cost, two do not.
    auto longJagged = [](int count) {
        Payload payload;
        payload.Level({0, 0});
        for (int i = 0; i < count; ++i)
            payload.Shape({{0, static_cast<float>(i)}, {5000, static_cast<float>(i)}}, SurfaceType::Jagged);
        return payload;
    };
    auto trinkets = [](uint64_t count) {
        Payload payload;
        payload.Level({0, 0});
        for (uint64_t i = 0; i < count; ++i)
            payload.Trinket({static_cast<float>(i % 1000), static_cast<float>(i / 1000)});
        return payload;
    };
    const struct
    {
        const char* name;
        Payload payload;
        bool loads;
    } cases[] = {
        {"one long Jagged shape", longJagged(1), true},
        {"two long Jagged shapes", longJagged(2), false},
        {"as many trinkets as a level may hold", trinkets(Level::MaxLoadCost / Level::TrinketRecordCost), true},
        {"one trinket more", trinkets(Level::MaxLoadCost / Level::TrinketRecordCost + 1), false},
        {"a signpost with megabytes of text",
         Payload().Level({0, 0}).Signpost({0, 0}, std::string(Level::MaxLoadCost * Level::SignpostTextBytesPerCost, 'x')),
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Level level(&sharedCamera);
        const LogWatches logs;
        EXPECT_EQ(Read(level, c.payload.bytes.bytes), c.loads);
        if (c.loads)
        {
            logs.ExpectQuiet();
            EXPECT_GT(CountsOf(level).shapes + CountsOf(level).trinkets, 0u);
        }
        else
        {
            ExpectRefused(level, logs, "too large to load");
        }
    }
}

TEST(LevelFile, FilesLargerThanAnyLevelAreRefusedUnread)
{
    const ScratchFolder folder;
    // A good level with bytes after it is read up to its last record, unless the file is larger
    // than any level: then it is not read at all.
    const std::vector<uint8_t> level = FullLevel().bytes.bytes;
    for (const uint64_t size : {Level::MaxFileBytes, Level::MaxFileBytes + 1})
    {
        SCOPED_TRACE(size);
        {
            std::ofstream file("padded.lrl", std::ios::binary | std::ios::trunc);
            const uint32_t header[4] = {ByteBlob::PlainMagic, static_cast<uint32_t>(level.size()), 0, 0};
            file.write(reinterpret_cast<const char*>(header), sizeof header);
            file.write(reinterpret_cast<const char*>(level.data()), static_cast<std::streamsize>(level.size()));
            const std::vector<char> padding(size - sizeof header - level.size(), '\xFF');
            file.write(padding.data(), static_cast<std::streamsize>(padding.size()));
        }
        Level loaded(&sharedCamera);
        const LogWatches logs;
        const bool read = loaded.ReadFromFile("padded.lrl");
        if (size <= Level::MaxFileBytes)
        {
            EXPECT_TRUE(read);
            EXPECT_EQ(CountsOf(loaded), (Counts{2, 2, 3, 2}));
            logs.ExpectQuiet();
        }
        else
        {
            EXPECT_FALSE(read);
            ExpectRefused(loaded, logs, "more than any level");
        }
    }
}

TEST(LevelFile, MagnetFieldsBeyondTheBudgetAreLeftOutNotTheLevel)
{
    // Fields are kept in file order while they fit; the rest are left out with one line naming
    // them, and the level loads whole. A 300-point attractor ring of unit edges used to save fine
    // and then load back empty.
    // Counts the fields kept and left out, and checks that those kept fit the budget and that
    // none left out would have fitted in what the kept ones left.
    auto fieldsOf = [](const Level& level, uint32_t& kept, uint32_t& leftOut) {
        uint64_t texels = 0;
        uint64_t smallestLeftOut = UINT64_MAX;
        kept = 0;
        leftOut = 0;
        for (const WorldShape& shape : level.worldShapes)
            for (const ShapeSegment& segment : shape.segments)
            {
                uint64_t width = 0;
                uint64_t height = 0;
                segment.GetDataTextureSize(width, height);
                if (width == 0)
                    continue;
                const bool tooWide = std::max(width, height) > ShapeSegment::MaxDataTextureSide;
                if (segment.fieldLeftOut)
                {
                    ++leftOut;
                    if (!tooWide)
                        smallestLeftOut = std::min(smallestLeftOut, width * height);
                    continue;
                }
                ++kept;
                texels += width * height;
                EXPECT_FALSE(tooWide);
            }
        EXPECT_LE(texels, Level::MaxDataTexels);
        if (smallestLeftOut != UINT64_MAX)
        {
            EXPECT_GT(texels + smallestLeftOut, Level::MaxDataTexels);
        }
    };

    Level ring(&sharedCamera);
    ring.worldShapes.PushBack(SmoothRing(300, 47.75f));
    for (ShapePoint& point : ring.worldShapes[0].points)
        point.surfaceType = SurfaceType::MagneticAttractor;
    const std::vector<uint8_t> saved = Saved(ring);

    auto magnets = [](int count, float length) {
        Payload payload;
        payload.Level({0, 0});
        for (int i = 0; i < count; ++i)
        {
            payload.bytes.U32(3);
            payload.Point({0, 20.0f * static_cast<float>(i)}, SurfaceType::MagneticRepulsor);
            payload.Point({length, 20.0f * static_cast<float>(i)}, SurfaceType::Plain);
        }
        return payload.bytes.bytes;
    };
    const struct
    {
        const char* name;
        std::vector<uint8_t> payload;
        uint32_t shapes, kept, leftOut;
        const char* named;
    } cases[] = {
        // A unit edge's field is some 176 x 176 texels: 283 of the ring's fit.
        {"a 300-point attractor ring", saved, 1, 283, 17,
         "of 17 edges (shape 0 edge 283, shape 0 edge 284, shape 0 edge 285, shape 0 edge 286, and 13 more, "},
        // A 100-unit magnet's field is 1760 x 160 texels: 29 fit.
        {"30 long magnets", magnets(30, 100.0f), 30, 29, 1, "of 1 edges (shape 29 edge 0, "},
        {"a magnet wider than any field", magnets(1, 600.0f), 1, 0, 1, "of 1 edges (shape 0 edge 0, "},
        {"29 long magnets", magnets(29, 100.0f), 29, 29, 0, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Level level(&sharedCamera);
        const LogWatches logs;
        ASSERT_TRUE(Read(level, c.payload));
        EXPECT_EQ(level.worldShapes.count, c.shapes);
        const LogWatches allotting;
        const uint64_t texels = level.AllotDataTextures();
        uint32_t kept = 0;
        uint32_t leftOut = 0;
        fieldsOf(level, kept, leftOut);
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(leftOut, c.leftOut);
        EXPECT_LE(texels, Level::MaxDataTexels);
        if (c.leftOut == 0)
        {
            logs.ExpectQuiet();
        }
        else
        {
            allotting.ExpectOneWarning(std::string("[Level.cpp:240]Level leaves out the magnet fields ") + c.named);
        }
        EXPECT_EQ(Saved(level), c.payload);
    }
}

TEST(LevelFile, DamagedSignpostTextRefusesTheLevelWithOneLine)
{
    Payload payload;
    payload.Level({0, 0}).Trinket({1, 1}).Signpost({0, 0}, "ok").Signpost({2, 2}, "bad", 3);
    Level level(&sharedCamera);
    const LogWatches logs;
    EXPECT_FALSE(Read(level, payload.bytes.bytes));
    ExpectRefused(level, logs, "[Signpost.cpp:");
}

TEST(LevelFile, FilesThatHoldNoLevelLeaveItEmpty)
{
    const ScratchFolder folder;
    // Not a level record: nothing is read and nothing said.
    {
        Level level(&sharedCamera);
        const LogWatches logs;
        EXPECT_FALSE(Read(level, RecordBytes().U32(5).F32(1).F32(1).bytes));
        logs.ExpectQuiet();
        ExpectEmptyAndUsable(level);
    }
    // A file that is not there: the byte blob says so, and its type check in write mode too.
    {
        Level level(&sharedCamera);
        const uint32_t errorsBefore = ErrorLineCount();
        const LogWatch warnings(WarningLog);
        EXPECT_FALSE(level.ReadFromFile("no-such-level.lrl"));
        EXPECT_EQ(warnings.Lines(), std::vector<std::string>());
        ASSERT_EQ(ErrorLineCount(), errorsBefore + 2);
        EXPECT_NE(ErrorLog.GetHistory()[errorsBefore].find("[ByteBlob.cpp:61]"), std::string::npos);
        EXPECT_NE(LastErrorLine().find("[ByteBlob.cpp:183]"), std::string::npos);
        ExpectEmptyAndUsable(level);
    }
    // A deflated blob is never inflated for a level: its payload is not a level record.
    {
        ByteBlob blob;
        blob.WriteHeader();
        for (int i = 0; i < 200; ++i)
            blob.WriteU32(4);
        blob.Compress();
        ASSERT_EQ(blob.GetMagic(), ByteBlob::DeflatedMagic);
        blob.WriteToFile("deflated.lrl");
        Level level(&sharedCamera);
        EXPECT_FALSE(level.ReadFromFile("deflated.lrl"));
        ExpectEmptyAndUsable(level);
    }
}

// A host names the level to play; this machine may hold anything under that name, or nothing.
// None of it may reach a line that waits for a key, and none of it may stall the reading.
TEST(LevelFile, ALevelThatAnotherMachineNamedIsReadWithoutAnError)
{
    const ScratchFolder folder;
    const auto writeBlob = [](const std::string& path, const std::vector<uint8_t>& payload) {
        ByteBlob blob;
        LoadPayload(blob, payload);
        ASSERT_TRUE(blob.WriteToFile(path));
    };
    writeBlob("good.lrl", FullLevel().bytes.bytes);
    writeBlob("other-record.lrl", RecordBytes().U32(5).F32(1).F32(1).bytes);
    // Cut inside the first shape's second point.
    writeBlob("cut.lrl", FullLevel().Cut(*std::next(FullLevel().recordStarts.begin(), 3) + 6));
    WriteFile("text.lrl", "hello, this is no level");
    writeBlob("huge.lrl", FullLevel().bytes.bytes);
    std::filesystem::resize_file("huge.lrl", Level::MaxFileBytes + 1);
    std::filesystem::create_directory("folder.lrl");
    ASSERT_EQ(mkfifo("pipe.lrl", 0600), 0);

    struct
    {
        const char* path;
        std::string why;     ///< empty when the level is read
        bool levelRefusal;   ///< the level's own warning that the file is damaged
    } const cases[] = {
        {"good.lrl", "", false},
        {"missing.lrl", "this machine has no such level file", false},
        {"folder.lrl", "it is no file on this machine", false},
        {"pipe.lrl", "it is no file on this machine", false},
        {"text.lrl", "the file is not a level this game can read", false},
        {"other-record.lrl", "the file is not a level this game can read", false},
        {"cut.lrl", "the file is not a level this game can read", true},
        {"huge.lrl", "the file holds 16777217 bytes, more than any level", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.path);
        Level level(&sharedCamera);
        ASSERT_TRUE(Read(level, FullLevel().bytes.bytes)); // what it held before goes either way
        const LogWatches logs;
        std::string why;
        EXPECT_EQ(level.ReadSharedFile(c.path, why), c.why.empty());
        EXPECT_EQ(why, c.why);
        if (c.levelRefusal)
            logs.ExpectOneWarning("a record is cut short");
        else
            logs.ExpectQuiet();
        if (c.why.empty())
        {
            EXPECT_EQ(CountsOf(level), (Counts{2, 2, 3, 2}));
        }
        else
        {
            ExpectEmptyAndUsable(level);
        }
    }
}

TEST(LevelFile, ReadingReplacesWhatTheLevelHeld)
{
    Level level(&sharedCamera);
    ASSERT_TRUE(Read(level, FullLevel().bytes.bytes));
    level.CreatePhysicsWorld();
    ASSERT_TRUE(Read(level, Payload().Level({3, 3}).Trinket({1, 1}).bytes.bytes));
    EXPECT_EQ(level.world, nullptr);
    EXPECT_EQ(CountsOf(level), (Counts{0, 1, 0, 0}));
    EXPECT_EQ(level.start.position, glm::vec2(3, 3));
}

TEST(LevelPhysics, ObjectsStackedBeyondTheOverlapBudgetAreLeftOutOfTheWorld)
{
    // The physics library pairs every two overlapping boxes when it first steps: 20,000 trinkets
    // on one spot would be 200 million pairs, gigabytes and minutes. The bodies are taken in
    // file order while their overlaps fit; from the first that does not, the rest (the gate
    // after them too) get none, said in one line, and the level still plays and draws.
    constexpr uint32_t Stacked = 20000;
    Payload payload;
    payload.Level({0, 3}).Shape({{-5, -1}, {5, -1}, {5, 0}, {-5, 0}});
    for (uint32_t i = 0; i < Stacked; ++i)
        payload.Trinket({1.0f, 1.0f});
    payload.Waypoint({3, 0}, {3, 1}, {3.3f, 0.5f});
    Level level(&sharedCamera);
    ASSERT_TRUE(Read(level, payload.bytes.bytes));

    const size_t before = HeapBytesInUse();
    const LogWatches logs;
    level.CreatePhysicsWorld();
    const int32_t bodies = level.world->GetBodyCount();
    EXPECT_GT(bodies, 1000);
    EXPECT_LT(bodies, static_cast<int32_t>(Stacked));
    logs.ExpectOneWarning("[Level.cpp:250]Level leaves " + std::to_string(Stacked + 1 - (bodies - 1)) + " objects out");

    BallPlayer ball(*level.world, {0.0f, 2.0f});
    StepFor(*level.world, 1.0f);
    EXPECT_NEAR(ball.Position().y, 0.11f, 0.03f);
    EXPECT_LE(HeapBytesInUse() - before, size_t{256} << 20);
}

TEST(LevelPhysics, WorldHoldsABodyPerShapeTrinketAndWaypoint)
{
    Level level(&sharedCamera);
    ASSERT_TRUE(Read(level, FullLevel().bytes.bytes));
    level.CreatePhysicsWorld();
    ASSERT_NE(level.world, nullptr);
    EXPECT_EQ(level.world->GetGravity().x, 0.0f);
    EXPECT_EQ(level.world->GetGravity().y, -5.0f);
    EXPECT_EQ(level.world->GetBodyCount(), 2 + 2 + 3);
    for (const WorldShape& shape : level.worldShapes)
        EXPECT_GT(shape.strips.count, 0u);

    // Every fixture points back at an object of this level.
    uint32_t segmentFixtures = 0;
    for (b2Body* body = level.world->GetBodyList(); body; body = body->GetNext())
        for (b2Fixture* fixture = body->GetFixtureList(); fixture; fixture = fixture->GetNext())
        {
            PhysicsLink* link = LinkOf(fixture);
            ASSERT_NE(link, nullptr);
            segmentFixtures += link->GetLinkType() == LinkShapeSegment;
        }
    EXPECT_EQ(segmentFixtures, 2u * (4 + 3));

    // A ball dropped on the level start lands on the slab.
    BallPlayer ball(*level.world, {0.0f, 2.0f});
    StepFor(*level.world, 3.0f);
    EXPECT_NEAR(ball.Position().y, 0.11f, 0.03f);

    // Building it again starts over; taking it down returns the level to edit time.
    level.CreatePhysicsWorld();
    EXPECT_EQ(level.world->GetBodyCount(), 7);
    level.DestroyPhysicsWorld();
    EXPECT_EQ(level.world, nullptr);
    for (const WorldShape& shape : level.worldShapes)
        EXPECT_EQ(shape.strips.count, 0u);
    level.DestroyPhysicsWorld();
    EXPECT_EQ(Saved(level), FullLevel().bytes.bytes);

    // A level destroyed in play takes its world with it (the sanitizers see any leak).
    Level playing(&sharedCamera);
    ASSERT_TRUE(Read(playing, FullLevel().bytes.bytes));
    playing.CreatePhysicsWorld();
}
