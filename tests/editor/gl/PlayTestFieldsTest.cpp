#include <cstdint>
#include <memory>

#include <gtest/gtest.h>

#include "Action_Translate.h"
#include "GLTestWindow.h"
#include "LogWatch.h"
#include "ScratchFolder.h"
#include "Texture.h"
#include "../EditorTesting.h"

using namespace editor_testing;

// A play-test builds the magnet fields of a level that edits have recompiled, and once built
// them all: one triangle with a 707-unit attractor edge, loaded, moved and played, made a field
// of 66 million texels (well over a gigabyte on a software renderer).
TEST(EditorPlayTest, EditedMagnetsBuildNoMoreFieldThanALevelMay)
{
    const ScratchFolder folder;
    GLTestWindow window;
    // Thirty 100-unit magnets beside the triangle, each field 1760 by 160 texels: 29 fit.
    constexpr uint32_t Magnets = 30;
    constexpr uint64_t MagnetField = 1760u * 160u;
    {
        Level saved(nullptr);
        saved.worldShapes.PushBack(StraightShape({{0, 0}, {500, 500}, {0, 500}}, {SurfaceType::MagneticAttractor}));
        for (uint32_t k = 0; k < Magnets; ++k)
        {
            const float y = -20.0f * static_cast<float>(k + 1);
            saved.worldShapes.PushBack(
                StraightShape({{0, y}, {100, y}, {100, y + 0.2f}, {0, y + 0.2f}}, {SurfaceType::MagneticRepulsor}));
        }
        ByteBlob blob;
        blob.WriteHeader();
        saved.Serialise(blob);
        ASSERT_TRUE(blob.WriteToFile("magnets.lrl"));
    }
    auto builtTexels = [](const Level& level) {
        uint64_t texels = 0;
        for (const WorldShape& shape : level.worldShapes)
            for (const ShapeSegment& segment : shape.segments)
                if (segment.dataTexture != nullptr)
                    texels += static_cast<uint64_t>(segment.dataTexture->width) * segment.dataTexture->height;
        return texels;
    };
    const char* const leftOut = "magnet fields of 2 edges (shape 0 edge 0, shape 30 edge 0, ";

    EditorHarness editor(window.window);
    {
        const LogWatch warnings(WarningLog);
        ASSERT_TRUE(editor->LoadLevel("magnets.lrl"));
        EXPECT_EQ(builtTexels(editor.level()), (Magnets - 1) * MagnetField);
        EXPECT_TRUE(warnings.Saw(leftOut));
    }

    // Every shape moved (the level start is selectable 0), which recompiles them all.
    DynArray<uint32_t> shapes;
    for (uint32_t k = 1; k <= Magnets + 1; ++k)
        shapes.PushBack(k);
    editor->AddAction(std::make_unique<Action_Translate>(glm::vec2(0.5f, 0.0f), std::move(shapes)));
    ASSERT_EQ(editor->actionIndex, 0);
    EXPECT_EQ(builtTexels(editor.level()), 0u);

    const LogWatch warnings(WarningLog);
    editor.Key(GLFW_KEY_P);
    ASSERT_TRUE(editor->playTesting);
    EXPECT_EQ(builtTexels(editor.level()), (Magnets - 1) * MagnetField);
    EXPECT_LE(builtTexels(editor.level()), Level::MaxDataTexels);
    EXPECT_TRUE(warnings.Saw(leftOut));
}
