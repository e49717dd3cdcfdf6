#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "Level.h"
#include "LogChannel.h"
#include "LogWatch.h"
#include "ShapeFixtures.h"
#include "TestFiles.h"
#include "Utilities.h"

// The levels shipped in the run-time tree's "Data/Levels/", as tools/levels/make-levels.py writes
// them from the descriptions beside it. Whatever else a level holds, the game must read it whole,
// write it back unchanged, and put the figure somewhere it can stand.

namespace
{
const std::string LevelsFolder = LEDROW_SHIPPED_LEVELS_DIR;

/// What each shipped level holds; a level added, renamed or emptied without this table shows here.
struct ShippedLevel
{
    const char* file;
    uint32_t shapes;
    uint32_t trinkets;
    uint32_t waypoints;
    uint32_t signposts;
};

const ShippedLevel Shipped[] = {
    {"01-first-steps.lrl", 1, 4, 0, 4},
    {"02-accelerators.lrl", 1, 4, 0, 2},
    {"03-magnets.lrl", 2, 3, 0, 3},
    {"04-bouncers-and-passable.lrl", 2, 3, 0, 3},
    {"05-rough-ground.lrl", 1, 4, 0, 3},
    {"06-gates.lrl", 2, 3, 4, 8},
    {"07-arena.lrl", 2, 3, 0, 1},
};

void PrintTo(const ShippedLevel& level, std::ostream* out)
{
    *out << level.file;
}

std::string PathOf(const ShippedLevel& level)
{
    return LevelsFolder + "/" + level.file;
}

/// The distance straight down from `from` to the nearest edge of the level that the figure can
/// stand on (any but a Passable one), or nothing when no such edge lies below.
std::optional<float> DistanceToFloorBelow(const Level& level, glm::vec2 from)
{
    std::optional<float> nearest;
    for (const WorldShape& shape : level.worldShapes)
        for (const ShapeSegment& segment : shape.segments)
        {
            if (segment.surfaceType == SurfaceType::Passable)
                continue;
            for (uint32_t i = 0; i + 1 < segment.points.count; ++i)
            {
                const glm::vec2 a = segment.points[i];
                const glm::vec2 b = segment.points[i + 1];
                if (a.x == b.x || from.x < std::min(a.x, b.x) || from.x > std::max(a.x, b.x))
                    continue;
                const float y = a.y + (b.y - a.y) * (from.x - a.x) / (b.x - a.x);
                if (y <= from.y && (!nearest || from.y - y < *nearest))
                    nearest = from.y - y;
            }
        }
    return nearest;
}

class ShippedLevelTest : public testing::TestWithParam<ShippedLevel>
{
protected:
    Level level{nullptr};
};

TEST(ShippedLevels, TheFolderHoldsExactlyTheListedLevelsUnderNamesThatFitTheLevelList)
{
    std::set<std::string> listed;
    for (const std::string& name : ListDirectory(LevelsFolder, "lrl"))
        listed.insert(name);
    std::set<std::string> expected;
    for (const ShippedLevel& level : Shipped)
        expected.insert(level.file);
    EXPECT_EQ(listed, expected);
    EXPECT_GE(listed.size(), 5u);
    for (const std::string& name : listed)
        // A host announces the level by name in a 64-byte field with its terminating zero.
        EXPECT_LT(name.size(), 64u) << name;
}

TEST_P(ShippedLevelTest, ReadsWholeWithEveryObject)
{
    LogWatch errors(ErrorLog);
    LogWatch warnings(WarningLog);
    ASSERT_TRUE(level.ReadFromFile(PathOf(GetParam())));
    EXPECT_TRUE(errors.Lines().empty()) << errors.Lines().front();
    EXPECT_TRUE(warnings.Lines().empty()) << warnings.Lines().front();
    EXPECT_EQ(level.worldShapes.count, GetParam().shapes);
    EXPECT_EQ(level.trinkets.count, GetParam().trinkets);
    EXPECT_EQ(level.waypoints.count, GetParam().waypoints);
    EXPECT_EQ(level.signposts.count, GetParam().signposts);
    for (const WorldShape& shape : level.worldShapes)
    {
        EXPECT_GE(shape.points.count, 3u);
        for (const ShapePoint& point : shape.points)
            EXPECT_TRUE(point.surfaceType == SurfaceType::Passable || SurfaceTypeName(point.surfaceType)[0] != '\0')
                << "an edge of a surface that no level designer can name: " << static_cast<uint32_t>(point.surfaceType);
    }
}

TEST_P(ShippedLevelTest, SavingWhatWasReadGivesBackTheFileByteForByte)
{
    const std::vector<uint8_t> file = FileBytes(PathOf(GetParam()));
    ASSERT_TRUE(level.ReadFromFile(PathOf(GetParam())));
    ByteBlob saved;
    saved.WriteHeader();
    level.Serialise(saved);
    EXPECT_EQ(std::vector<uint8_t>(saved.data, saved.data + saved.size), file);
}

TEST_P(ShippedLevelTest, TheStartLiesInsideTheLevelALittleAboveAFloor)
{
    ASSERT_TRUE(level.ReadFromFile(PathOf(GetParam())));
    const glm::vec2 start = level.start.position;
    EXPECT_TRUE(StrictlyInside(BoundsOf(level.worldShapes), start))
        << "start (" << start.x << ", " << start.y << ")";

    // The figure reaches 0.2 below its centre: it must not begin inside the floor, nor fall far.
    const std::optional<float> drop = DistanceToFloorBelow(level, start);
    ASSERT_TRUE(drop.has_value()) << "nothing to stand on below the start";
    EXPECT_GT(*drop, 0.2f);
    EXPECT_LT(*drop, 3.0f);
}

INSTANTIATE_TEST_SUITE_P(EveryShippedLevel, ShippedLevelTest, testing::ValuesIn(Shipped),
                         [](const testing::TestParamInfo<ShippedLevel>& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
} // namespace
