#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LogWatch.h"
#include "PlayTesting.h"
#include "ScratchFolder.h"

using namespace play_testing;

namespace
{
std::vector<std::filesystem::path> ShippedLevels()
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(LEDROW_SHIPPED_LEVELS_DIR))
        if (entry.path().extension() == ".lrl")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}
} // namespace

TEST(ShippedLevelsInPlay, EachPlaysTenSecondsWithNoInputAndKeepsTheFigureInside)
{
    // Every figure reads its controls from the working folder; none that an earlier test or a
    // player left there may add a line.
    const ScratchFolder folder;
    const std::vector<std::filesystem::path> files = ShippedLevels();
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path& file : files)
    {
        SCOPED_TRACE(file.filename().string());
        LogWatch errors(ErrorLog);
        LogWatch warnings(WarningLog);
        Camera camera;
        Level level(&camera);
        ASSERT_TRUE(level.ReadFromFile(file.string()));
        ASSERT_GT(level.worldShapes.count, 0u);
        const PolylineBoxes::Box bounds = BoundsOf(level.worldShapes);

        ASSERT_TRUE(level.Start(1, 0));
        bool inside = true;
        for (float played = 0.0f; played < 10.0f && inside; played += FrameDt)
        {
            level.Update(FrameDt, PlayInput{});
            const b2Vec2 at = level.localPlayer->body->GetPosition();
            inside = StrictlyInside(bounds, Vec(at));
            EXPECT_TRUE(inside) << "the figure left the level at (" << at.x << ", " << at.y << ") after " << played
                                << " s";
        }
        EXPECT_TRUE(errors.Lines().empty()) << errors.Lines().front();
        EXPECT_TRUE(warnings.Lines().empty()) << warnings.Lines().front();
    }
}
