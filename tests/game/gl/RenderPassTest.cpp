#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "../../world/ShapeFixtures.h"
#include "GLTestWindow.h"
#include "LedrowGame.h"
#include "LevelEditor.h"
#include "LogWatch.h"
#include "RuntimeTreeCopy.h"
#include "TestFiles.h"

namespace
{
namespace fs = std::filesystem;

void WriteEffect(const std::string& name, const std::string& text)
{
    WriteFile("Effects/" + name + ".lrfx", text);
}

// The texels of a channel as floats, `components` per texel (1: red only), bottom row first.
std::vector<float> ChannelTexels(const FrameBuffer& channel, int components)
{
    std::vector<float> texels(static_cast<size_t>(channel.width) * channel.height * components);
    glBindTexture(GL_TEXTURE_2D, channel.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, components == 1 ? GL_RED : GL_RGBA, GL_FLOAT, texels.data());
    return texels;
}

// The composed frame as the player saw it: on the software renderer under Xvfb the swap copies
// the back buffer to the window and leaves it as it was.
std::vector<uint8_t> ShownFrame(int width, int height)
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    return GLTestWindow::ReadPixels(width, height);
}

class RenderPass : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(game.IsReady()) << game.GetStartupFailure();
        ASSERT_NE(game.currentEffect, nullptr);
        ASSERT_EQ(game.currentEffect->name, "Passthrough");
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            game.UpdateMenus();
            game.Render();
        }
    }

    // The grave-accent key as the window library delivers it.
    void PressGrave(bool pressed = true)
    {
        testing::internal::CaptureStdout();
        GameBase::KeyCallback(game.window, GLFW_KEY_GRAVE_ACCENT, 0, pressed ? GLFW_PRESS : GLFW_RELEASE, 0);
        testing::internal::GetCapturedStdout();
    }

    // The largest value of a channel's texels whose world position lies in the box.
    float MaxIn(const FrameBuffer& channel, const std::vector<float>& texels, int components, int component, glm::vec2 low, glm::vec2 high)
    {
        float view[4];
        game.camera.GetViewRect(view);
        float largest = -1e30f;
        for (uint32_t y = 0; y < channel.height; ++y)
        {
            const float worldY = view[2] + (static_cast<float>(y) + 0.5f) / static_cast<float>(channel.height) * (view[3] - view[2]);
            if (worldY < low.y || worldY > high.y)
                continue;
            for (uint32_t x = 0; x < channel.width; ++x)
            {
                const float worldX = view[0] + (static_cast<float>(x) + 0.5f) / static_cast<float>(channel.width) * (view[1] - view[0]);
                if (worldX >= low.x && worldX <= high.x)
                    largest = std::max(largest, texels[(static_cast<size_t>(y) * channel.width + x) * components + component]);
            }
        }
        return largest;
    }

    // The tests change the effect files that the game loads from the working folder: each game
    // has a copy of the run-time tree of its own.
    RuntimeTreeCopy runtime;
    LedrowGame game;
};

bool AllZero(const std::vector<float>& texels)
{
    return std::all_of(texels.begin(), texels.end(), [](float value) { return value == 0.0f; });
}
} // namespace

TEST_F(RenderPass, MainScreenShowsBothTitleLinesInTheTextChannelOnly)
{
    game.worldLines.AddLine({0.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}); // nothing of the main screen's
    Frames(2);
    const std::vector<float> text = ChannelTexels(*game.fontChannel, 1);
    // Inside a glyph the distance field is above one half (a stroke is much thinner than the
    // spread, so only just); the pens are where the titles start.
    EXPECT_GT(MaxIn(*game.fontChannel, text, 1, 0, {-3.0f, 0.6f}, {0.5f, 1.6f}), 0.52f) << "\"Quorvane\"";
    EXPECT_GT(MaxIn(*game.fontChannel, text, 1, 0, {-0.4f, -0.5f}, {3.0f, 0.5f}), 0.52f) << "\"Ledrow\"";
    EXPECT_EQ(MaxIn(*game.fontChannel, text, 1, 0, {-7.0f, -4.5f}, {-4.0f, -2.0f}), 0.0f) << "text where there is none";
    EXPECT_TRUE(AllZero(ChannelTexels(*game.colourChannel, 4)));
    EXPECT_TRUE(AllZero(ChannelTexels(*game.worldShapesChannel, 1)));
    EXPECT_TRUE(AllZero(ChannelTexels(*game.magnetismChannel, 4)));
    EXPECT_EQ(game.worldLines.SegmentCount(), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A level in play: its fills where the fan covers an odd number of times, its magnet fields and
// its signpost texts reach their channels.
TEST_F(RenderPass, LevelInPlayFillsItsChannels)
{
    game.level = std::make_unique<Level>(&game.camera);
    // An L-shaped room, concave so that the fan overlaps outside it, with an attracting floor.
    game.level->worldShapes.PushBack(StraightShape({{-6.0f, -4.0f}, {6.0f, -4.0f}, {6.0f, -2.0f}, {-2.0f, -2.0f}, {-2.0f, 4.0f}, {-6.0f, 4.0f}},
                                                   {SurfaceType::MagneticAttractor}));
    game.level->signposts.PushBack(Signpost("Hello", {1.0f, 2.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}));
    game.level->BuildDataTextures();
    game.screenState = LedrowGame::Playing;
    Frames(1);

    const std::vector<float> fills = ChannelTexels(*game.worldShapesChannel, 1);
    EXPECT_EQ(std::fmod(MaxIn(*game.worldShapesChannel, fills, 1, 0, {-5.0f, 2.0f}, {-4.0f, 3.0f}), 2.0f), 1.0f) << "inside the room";
    EXPECT_EQ(std::fmod(MaxIn(*game.worldShapesChannel, fills, 1, 0, {1.0f, 0.0f}, {2.0f, 1.0f}), 2.0f), 0.0f) << "in the L's corner";

    const std::vector<float> field = ChannelTexels(*game.magnetismChannel, 4);
    EXPECT_GT(MaxIn(*game.magnetismChannel, field, 4, 1, {-1.0f, -3.9f}, {1.0f, -3.5f}), 0.05f) << "the floor pulls down";
    EXPECT_EQ(MaxIn(*game.magnetismChannel, field, 4, 1, {-5.0f, 2.0f}, {-4.0f, 3.0f}), 0.0f) << "no field far from the floor";

    const std::vector<float> text = ChannelTexels(*game.fontChannel, 1);
    EXPECT_GT(MaxIn(*game.fontChannel, text, 1, 0, {1.0f, 2.0f}, {2.5f, 2.5f}), 0.52f) << "the signpost's text";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // A signpost being edited shows its preview text at its preview position.
    game.level->signposts[0].previewText = "Moved";
    game.level->signposts[0].previewPosition = {-5.0f, -1.0f};
    game.level->signposts[0].showPreview = true;
    Frames(1);
    const std::vector<float> preview = ChannelTexels(*game.fontChannel, 1);
    EXPECT_GT(MaxIn(*game.fontChannel, preview, 1, 0, {-5.0f, -1.0f}, {-3.5f, -0.5f}), 0.52f);
    EXPECT_LT(MaxIn(*game.fontChannel, preview, 1, 0, {1.0f, 2.0f}, {2.5f, 2.5f}), 0.5f);
}

// A frame lays out only what the view shows of the signposts' texts, and never more than a
// frame's worth; leaving the level gives the text mesh's memory back, its buffer's included.
TEST_F(RenderPass, SignpostTextsTakeWhatTheViewShowsAndLeavingGivesItBack)
{
    game.level = std::make_unique<Level>(&game.camera);
    game.level->signposts.PushBack(Signpost("Hello", {1.0f, 2.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}));
    // As much text as a level file may hold, far above the view.
    const std::string largest((Level::MaxLoadCost - Level::SignpostRecordCost) * Level::SignpostTextBytesPerCost, 'W');
    game.level->signposts.PushBack(Signpost(largest, {-50.0f, 1000.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}));
    game.screenState = LedrowGame::Playing;
    Frames(1);
    EXPECT_EQ(game.textMesh.vertices.count, 5u * 6u) << "\"Hello\" alone";

    // Brought into a view wide enough to show the whole line.
    game.level->signposts[1].position = {0.0f, 0.0f};
    game.camera.viewHeight = 1.0e6f;
    Frames(1);
    EXPECT_EQ(game.textMesh.vertices.count, 6u * Signpost::MaxFrameTextQuads);

    game.LeaveLevel();
    EXPECT_EQ(game.textMesh.vertices.capacity, DynArray<MeshVertex>::InitialCapacity);
    GLint stored = -1;
    glBindBuffer(GL_ARRAY_BUFFER, game.textMesh.buffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &stored);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(stored, 0);
}

// The editor's level goes through the same pass, and closing the editor gives the memory back.
TEST_F(RenderPass, ClosingTheEditorGivesTheTextMeshBack)
{
    game.editor = std::make_unique<LevelEditor>(&game.camera, game.window);
    game.screenState = LedrowGame::LevelEditorScreen;
    game.editor->level->signposts.PushBack(Signpost(std::string(100000, 'W'), {0.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}));
    game.camera.viewHeight = 1.0e5f;
    Frames(1);
    EXPECT_EQ(game.textMesh.vertices.count, 6u * Signpost::MaxFrameTextQuads);
    game.editor->closeRequested = true;
    Frames(1);
    ASSERT_EQ(game.editor, nullptr);
    EXPECT_EQ(game.textMesh.vertices.count, 14u * 6u) << "the main screen's title lines";
    EXPECT_LE(game.textMesh.vertices.capacity, 128u);
}

// A channel that no effect samples is not drawn, not even cleared; the world's lines are still
// emptied every frame.
TEST_F(RenderPass, ChannelsTheEffectDoesNotSampleAreLeftAlone)
{
    WriteEffect("Passthrough", "$source colourTexture\n$source fontTexture\n$main:\nFragColour = texture(colourTexture, uvs);\n");
    PressGrave();
    ASSERT_NE(game.currentEffect, nullptr);
    ASSERT_TRUE(game.currentEffect->sources[EffectParser::ColourChannel].used);
    ASSERT_FALSE(game.currentEffect->sources[EffectParser::FontChannel].used) << "declared but never read";

    for (FrameBuffer* channel : {game.fontChannel.get(), game.worldShapesChannel.get(), game.magnetismChannel.get()})
        GLTestWindow::DrawInto(*channel, channel->width, channel->height, {0.25f, 0.25f, 0.25f, 0.25f});
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    Frames(1);
    for (FrameBuffer* channel : {game.fontChannel.get(), game.worldShapesChannel.get(), game.magnetismChannel.get()})
    {
        const std::vector<float> texels = ChannelTexels(*channel, 1);
        EXPECT_TRUE(std::all_of(texels.begin(), texels.end(), [](float value) { return std::abs(value - 0.25f) < 0.01f; }));
    }

    WriteEffect("Passthrough", "$source fontTexture\n$main:\nFragColour = vec4(texture(fontTexture, uvs).r);\n");
    PressGrave();
    ASSERT_FALSE(game.currentEffect->sources[EffectParser::ColourChannel].used);
    game.worldLines.AddLine({0.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, 1.0f, 1.0f});
    Frames(1);
    EXPECT_EQ(game.worldLines.SegmentCount(), 0u);
}

// The grave accent reloads every effect file, changed ones included, and returns to
// "Passthrough" from any other effect; releasing it does nothing.
TEST_F(RenderPass, GraveAccentReloadsChangedEffectFiles)
{
    game.SelectEffect("Blueprint");
    ASSERT_EQ(game.currentEffect->name, "Blueprint");
    WriteEffect("Passthrough", "$main:\nFragColour = vec4(0.0, 1.0, 0.0, 1.0);\n");
    PressGrave(false);
    EXPECT_EQ(game.currentEffect->name, "Blueprint");

    PressGrave();
    ASSERT_NE(game.currentEffect, nullptr);
    EXPECT_EQ(game.currentEffect->name, "Passthrough");
    EXPECT_EQ(game.effects.size(), 3u);
    Frames(1);
    const std::vector<uint8_t> frame = ShownFrame(game.windowWidth, game.windowHeight);
    const size_t farCorner = (static_cast<size_t>(game.windowHeight) * game.windowWidth - 1) * 4; // top right, clear of the menus
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + farCorner, frame.begin() + farCorner + 4), (std::vector<uint8_t>{0, 255, 0, 255}));
}

// Without a usable "Passthrough" a reload keeps the effect in use, and says so once.
TEST_F(RenderPass, ReloadWithoutPassthroughKeepsTheEffectInUse)
{
    game.SelectEffect("Parchment");
    PostEffect* inUse = game.currentEffect;
    const struct
    {
        const char* what;
        bool removeFile;
    } cases[] = {{"a Passthrough that does not build", false}, {"no Passthrough at all", true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        if (c.removeFile)
            fs::remove("Effects/Passthrough.lrfx");
        else
            WriteEffect("Passthrough", "$main:\nFragColour = not glsl;\n");
        const LogWatch errors(ErrorLog);
        const LogWatch warnings(WarningLog);
        PressGrave();
        EXPECT_EQ(game.currentEffect, inUse);
        EXPECT_EQ(game.effects.at("Parchment").get(), inUse);
        EXPECT_EQ(game.effects.count("Passthrough"), 0u);
        // Ours, so it does not wait for a key.
        const std::vector<std::string> lines = warnings.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "[LedrowGame.cpp:397]No usable effect named Passthrough in Effects/ after the reload; Parchment stays in use.");
        EXPECT_EQ(lines.size(), c.removeFile ? 1u : 2u) << "the build failure, then the reload, both ours";
        EXPECT_TRUE(errors.Lines().empty());
        Frames(1);
    }
}

// A start without a "Passthrough" effect draws a cleared frame with the menus over it.
TEST(RenderPassWithoutEffects, StartDrawsAClearedFrame)
{
    const RuntimeTreeCopy runtime;
    fs::remove("Effects/Passthrough.lrfx");
    const LogWatch errors(ErrorLog);
    const LogWatch warnings(WarningLog);
    testing::internal::CaptureStdout();
    LedrowGame game;
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(game.IsReady());
    EXPECT_EQ(game.currentEffect, nullptr);
    EXPECT_TRUE(errors.Lines().empty());
    ASSERT_EQ(warnings.Lines().size(), 1u);
    EXPECT_EQ(warnings.Lines()[0], "[LedrowGame.cpp:61]No usable effect named Passthrough in Effects/; the world is not drawn until one is "
                                   "loaded (press ` to reload the effects).");
    for (int i = 0; i < 2; ++i)
    {
        game.UpdateMenus();
        game.Render();
    }
    const std::vector<uint8_t> frame = ShownFrame(game.windowWidth, game.windowHeight);
    const size_t farCorner = (static_cast<size_t>(game.windowHeight) * game.windowWidth - 1) * 4;
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + farCorner, frame.begin() + farCorner + 4), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
