#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include "FolderAsFound.h"
#include "FrameBuffer.h"
#include "GLTestWindow.h"
#include "LogWatch.h"
#include "Mesh.h"
#include "PostEffect.h"
#include "TestFiles.h"
#include "Texture.h"

namespace
{
namespace fs = std::filesystem;

void WriteEffect(const std::string& name, const std::string& text)
{
    WriteFile("Effects/" + name + ".lrfx", text);
}

// A 2 x 2 RGB image of one colour.
void WriteImage(const std::string& path, uint8_t r, uint8_t g, uint8_t b)
{
    fs::create_directories(fs::path(path).parent_path());
    const uint8_t pixels[12] = {r, g, b, r, g, b, r, g, b, r, g, b};
    ASSERT_NE(stbi_write_png(path.c_str(), 2, 2, 3, pixels, 6), 0);
}

GLint SamplerUnit(const PostEffect& effect, const char* sampler)
{
    GLint unit = -1;
    glGetUniformiv(effect.shader.program, glGetUniformLocation(effect.shader.program, sampler), &unit);
    return unit;
}

class PostEffectGL : public testing::Test
{
protected:
    PostEffectGL()
    {
        colour = std::make_unique<FrameBuffer>(ComponentUnsigned8, 4);
        font = std::make_unique<FrameBuffer>(ComponentUnsigned16, 1);
        shapes = std::make_unique<FrameBuffer>(ComponentHalfFloat, 1);
        magnetism = std::make_unique<FrameBuffer>(ComponentHalfFloat, 4);
        target = std::make_unique<FrameBuffer>(ComponentUnsigned8, 4);
        for (FrameBuffer* channel : {colour.get(), font.get(), shapes.get(), magnetism.get()})
            GLTestWindow::DrawInto(*channel, Side, Side, {0.0f, 0.0f, 0.0f, 0.0f});
        quad.CreateBuffer();
        quad.AddUnitQuad();
        quad.Upload();
    }

    std::unique_ptr<PostEffect> Load(const std::string& name)
    {
        testing::internal::CaptureStdout();
        auto effect = std::make_unique<PostEffect>(name, channels());
        shaderMessages = testing::internal::GetCapturedStdout();
        return effect;
    }

    FrameBuffer* const (&channels())[4]
    {
        channelList[0] = colour.get();
        channelList[1] = font.get();
        channelList[2] = shapes.get();
        channelList[3] = magnetism.get();
        return channelList;
    }

    // Applies the effect over the target cleared to grey and reads its middle pixel.
    std::vector<uint8_t> ApplyAndRead(PostEffect& effect, bool* applied = nullptr)
    {
        GLTestWindow::DrawInto(*target, Side, Side, {0.5f, 0.5f, 0.5f, 1.0f});
        glDisable(GL_BLEND);
        const float rect[4] = {-1.0f, 1.0f, -1.0f, 1.0f};
        const bool drew = effect.Apply(quad, rect, 2.0f);
        if (applied != nullptr)
            *applied = drew;
        std::vector<uint8_t> pixels = GLTestWindow::ReadPixels(Side, Side);
        const size_t middle = (static_cast<size_t>(Side / 2) * Side + Side / 2) * 4;
        return {pixels.begin() + middle, pixels.begin() + middle + 4};
    }

    static constexpr uint32_t Side = 8;
    FolderAsFound runtimeTree; // the effects, images and shaders a test writes go with it
    GLTestWindow window;
    std::unique_ptr<FrameBuffer> colour, font, shapes, magnetism, target;
    FrameBuffer* channelList[4] = {};
    Mesh quad;
    std::string shaderMessages;
};
} // namespace

// Colour, magnetism and an image: units 0, 1 and 2, each sampler set to its unit and each unit
// holding the right texture when the effect is applied.
TEST_F(PostEffectGL, SampledChannelsAndImagesGetTheirTextureUnits)
{
    WriteEffect("Units", "$source fontTexture\n$image tint\n$source magnetismTexture\n$source colourTexture\n$variable time\n"
                         "$main:\nFragColour = vec4(texture(colourTexture, uvs).r, texture(magnetismTexture, uvs).g,\n"
                         "    texture(tint, uvs).b, time / 4.0);\n");
    WriteImage("Images/Units/tint.png", 0, 0, 255);
    GLTestWindow::DrawInto(*colour, Side, Side, {1.0f, 0.0f, 0.0f, 1.0f});
    GLTestWindow::DrawInto(*magnetism, Side, Side, {0.0f, 0.25f, 0.0f, 0.0f});
    GLTestWindow::DrawInto(*font, Side, Side, {1.0f, 1.0f, 1.0f, 1.0f});

    const LogWatch errors(ErrorLog);
    auto effect = Load("Units");
    ASSERT_TRUE(effect->IsUsable()) << shaderMessages;
    EXPECT_TRUE(errors.Lines().empty());
    EXPECT_TRUE(fs::exists("Data/Effects/Units.fsd"));
    EXPECT_TRUE(effect->usesTime);
    EXPECT_FALSE(effect->usesWorldPos);

    ASSERT_EQ(effect->sources.count, 4u);
    const bool used[4] = {true, false, false, true};
    const int32_t units[4] = {0, -1, -1, 1};
    for (uint32_t k = 0; k < 4; ++k)
    {
        SCOPED_TRACE(effect->sources[k].samplerName);
        EXPECT_EQ(effect->sources[k].used, used[k]);
        EXPECT_EQ(effect->sources[k].textureUnit, units[k]);
        EXPECT_EQ(effect->sources[k].channel, channelList[k]);
    }
    ASSERT_EQ(effect->images.count, 1u);
    EXPECT_EQ(effect->images[0].textureUnit, 2);
    EXPECT_EQ(SamplerUnit(*effect, "colourTexture"), 0);
    EXPECT_EQ(SamplerUnit(*effect, "magnetismTexture"), 1);
    EXPECT_EQ(SamplerUnit(*effect, "tint"), 2);

    const std::vector<uint8_t> pixel = ApplyAndRead(*effect);
    EXPECT_EQ(pixel, (std::vector<uint8_t>{255, 64, 255, 128}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The world position runs from the view's left to right and bottom to top.
TEST_F(PostEffectGL, WorldPositionSpansTheViewRectangle)
{
    WriteEffect("World", "$variable worldPos\n$main:\nFragColour = vec4(worldPos * 0.5 + 0.5, 0.0, 1.0);\n");
    auto effect = Load("World");
    ASSERT_TRUE(effect->IsUsable()) << shaderMessages;
    GLTestWindow::DrawInto(*target, Side, Side, {0.0f, 0.0f, 0.0f, 1.0f});
    const float rect[4] = {-1.0f, 1.0f, -1.0f, 1.0f};
    effect->Apply(quad, rect, 0.0f);
    const std::vector<uint8_t> pixels = GLTestWindow::ReadPixels(Side, Side);
    // Bottom-left pixel centre: world (-0.875, -0.875); top-right: (0.875, 0.875).
    EXPECT_NEAR(pixels[0], 16, 1);
    EXPECT_NEAR(pixels[1], 16, 1);
    const size_t topRight = (static_cast<size_t>(Side - 1) * Side + Side - 1) * 4;
    EXPECT_NEAR(pixels[topRight], 239, 1);
    EXPECT_NEAR(pixels[topRight + 1], 239, 1);
}

// Every fault of an effect file is one line and never a crash: in the error log for the faults the
// language is known by, else as a warning, which never waits for a key. An effect whose program
// did not build is never drawn through.
TEST_F(PostEffectGL, FaultsAreLoggedOnceAndBrokenEffectsDrawNothing)
{
    WriteEffect("Junk", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    WriteEffect("NoMain", "$source colourTexture\nFragColour = vec4(1.0);\n");
    WriteEffect("Broken", "$main:\nFragColour = this is not glsl;\n");
    WriteEffect("Unknown", "$source colorTexture\n$main:\nFragColour = vec4(0.0, 1.0, 0.0, 1.0);\n");
    WriteEffect("NoImage", "$image missing\n$main:\nFragColour = texture(missing, uvs) + vec4(0.0, 0.0, 0.0, 1.0);\n");
    fs::create_directories("Images/Huge");
    WriteImage("Images/Huge/big.png", 1, 2, 3);
    {
        // A header that claims 5000 x 5000 pixels: refused before decoding.
        std::fstream file("Images/Huge/big.png", std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(16);
        const unsigned char size[8] = {0, 0, 0x13, 0x88, 0, 0, 0x13, 0x88};
        file.write(reinterpret_cast<const char*>(size), 8);
    }
    WriteEffect("Huge", "$image big\n$main:\nFragColour = texture(big, uvs) + vec4(0.0, 0.0, 0.0, 1.0);\n");

    const struct
    {
        const char* name;
        const LogChannel& channel;
        const char* logged;
        bool usable;
        std::vector<uint8_t> pixel; // what applying it draws over grey
    } cases[] = {
        // A file that cannot be read is read as an empty one.
        {"Missing", ErrorLog, "[PostEffect.cpp:198]Never found $main directive in effect file Missing", false, {128, 128, 128, 255}},
        {"Junk", WarningLog, "[PostEffect.cpp:112]Effect file Junk is not text", false, {128, 128, 128, 255}},
        {"NoMain", ErrorLog, "[PostEffect.cpp:198]Never found $main directive in effect file NoMain", false, {128, 128, 128, 255}},
        {"Broken", WarningLog, "[PostEffect.cpp:214]Effect Broken could not be built", false, {128, 128, 128, 255}},
        {"Unknown", WarningLog, "[PostEffect.cpp:140]Unknown channel \"colorTexture\"", true, {0, 255, 0, 255}},
        {"NoImage", WarningLog, "[PostEffect.cpp:229]Image Images/NoImage/missing.png of effect NoImage could not be loaded", true,
         {0, 0, 0, 255}},
        {"Huge", WarningLog, "[PostEffect.cpp:229]Image Images/Huge/big.png of effect Huge could not be loaded: it is 5000 by 5000 pixels",
         true, {0, 0, 0, 255}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const LogWatch errors(ErrorLog);
        const LogWatch warnings(WarningLog);
        const LogWatch& logged = &c.channel == &ErrorLog ? errors : warnings;
        auto effect = Load(c.name);
        EXPECT_EQ(errors.Lines().size() + warnings.Lines().size(), 1u);
        ASSERT_EQ(logged.Lines().size(), 1u);
        EXPECT_EQ(logged.Lines()[0].rfind(c.logged, 0), 0u) << logged.Lines()[0];
        EXPECT_EQ(effect->IsUsable(), c.usable);
        bool applied = false;
        EXPECT_EQ(ApplyAndRead(*effect, &applied), c.pixel);
        EXPECT_EQ(applied, c.usable);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
