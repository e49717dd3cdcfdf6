#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include "ByteBlob.h"
#include "FolderAsFound.h"
#include "FrameBuffer.h"
#include "GLTestWindow.h"
#include "LineRenderer.h"
#include "MipChain.h"
#include "Mesh.h"
#include "Shader.h"
#include "TestFiles.h"
#include "Texture.h"

namespace
{
GLint TextureLevelWidth(uint32_t texture)
{
    GLint width = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width;
}

// Writes an atlas file the way the font cache does: u32 width, u32 height, then the samples.
void WriteAtlas(const std::string& name, uint32_t width, uint32_t height, uint32_t samplesWritten, bool deflate)
{
    ByteBlob blob;
    blob.WriteHeader();
    blob.WriteU32(width);
    blob.WriteU32(height);
    for (uint32_t i = 0; i < samplesWritten; ++i)
        blob.WriteU16(static_cast<uint16_t>(i * 997));
    if (deflate)
        blob.Compress();
    std::filesystem::create_directories("Fonts");
    blob.WriteToFile("Fonts/" + name);
}

class GLResources : public testing::Test
{
protected:
    FolderAsFound runtimeTree; // the images, atlases and shaders a test writes go with it
    GLTestWindow window;
};
} // namespace

TEST_F(GLResources, ShaderThatCompilesReportsSuccess)
{
    testing::internal::CaptureStdout();
    Shader shader("BaseShaders/Simple.vsd", "BaseShaders/Simple.fsd");
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(shader.owned);
    EXPECT_EQ(output, "\"Data/BaseShaders/Simple.vsd\" compiled successfully.\n"
                      "\"Data/BaseShaders/Simple.fsd\" compiled successfully.\n"
                      "It appears that things are pretty okay\n");
    GLint linked = GL_FALSE;
    glGetProgramiv(shader.program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);

    Shader moved = std::move(shader);
    EXPECT_TRUE(moved.owned);
    EXPECT_FALSE(shader.owned);
    EXPECT_EQ(shader.program, Shader::NoObject);
}

TEST_F(GLResources, ShaderThatFailsReportsEveryStageAndTheLink)
{
    WriteFile("Data/Broken/Broken.vsd", "#version 450\nvoid main() { this is not glsl }\n");
    testing::internal::CaptureStdout();
    Shader shader("Broken/Broken.vsd", "Broken/Missing.fsd");
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(shader.owned);
    EXPECT_NE(output.find("Vertex shader Data/Broken/Broken.vsd failed with error:\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Error loading file: Data/Broken/Missing.fsd\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Fragment shader Data/Broken/Missing.fsd failed with error:\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Error linking shaders \"Data/Broken/Broken.vsd\" and \"Data/Broken/Missing.fsd\"\n"), std::string::npos)
        << output;
    EXPECT_EQ(output.find("pretty okay"), std::string::npos);
}

TEST_F(GLResources, TwoChannelImageGivesTextureWithoutStorage)
{
    std::filesystem::create_directories("Images");
    const uint8_t greyAlpha[4 * 4 * 2] = {};
    ASSERT_NE(stbi_write_png("Images/grey-alpha.png", 4, 4, 2, greyAlpha, 8), 0);
    Texture texture;
    texture.Load("grey-alpha.png");
    EXPECT_TRUE(texture.loaded);
    EXPECT_EQ(texture.channels, 2);
    EXPECT_EQ(TextureLevelWidth(texture.id), 0);
    texture.Release();
}

TEST_F(GLResources, OddWidthRgbImageUploadsWholly)
{
    std::filesystem::create_directories("Images");
    std::vector<uint8_t> rgb(5 * 3 * 3, 200);
    ASSERT_NE(stbi_write_png("Images/odd.png", 5, 3, 3, rgb.data(), 5 * 3), 0);
    Texture texture;
    texture.Load("odd.png");
    EXPECT_TRUE(texture.loaded);
    EXPECT_EQ(texture.width, 5);
    EXPECT_EQ(texture.height, 3);
    EXPECT_EQ(TextureLevelWidth(texture.id), 5);
    std::vector<uint8_t> back(5 * 3 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, rgb);
    texture.Release();
}

TEST_F(GLResources, AtlasFilesLoadOnlyWhenWhole)
{
    WriteAtlas("good_distance.dat", 8, 4, 32, true);
    Texture good;
    good.Load("good_distance.dat");
    EXPECT_TRUE(good.loaded);
    EXPECT_EQ(TextureLevelWidth(good.id), 8);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_R16);
    std::vector<uint16_t> samples(32);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_SHORT, samples.data());
    EXPECT_EQ(samples[5], static_cast<uint16_t>(5 * 997));
    good.Release();

    WriteAtlas("short_distance.dat", 8, 4, 31, true);
    WriteAtlas("huge_distance.dat", 100000, 100000, 4, false);
    std::filesystem::create_directories("Fonts");
    std::ofstream("Fonts/junk_distance.dat") << "not a blob at all";
    for (const char* name : {"short_distance.dat", "huge_distance.dat", "junk_distance.dat", "missing_distance.dat"})
    {
        SCOPED_TRACE(name);
        Texture bad;
        bad.Load(name);
        EXPECT_FALSE(bad.loaded);
    }
}

TEST_F(GLResources, FrameBufferReallocatesOnlyForANewSize)
{
    FrameBuffer buffer(ComponentUnsigned8, 4);
    ASSERT_TRUE(buffer.created);
    EXPECT_EQ(TextureLevelWidth(buffer.texture), 1920);

    glBindFramebuffer(GL_FRAMEBUFFER, buffer.framebuffer);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    buffer.Resize(1920, 1280); // the same size keeps the texture and what was drawn into it
    glBindFramebuffer(GL_FRAMEBUFFER, buffer.framebuffer);
    EXPECT_EQ(GLTestWindow::ReadPixels(1, 1), (std::vector<uint8_t>{255, 0, 0, 255}));

    buffer.Resize(800, 1280);
    EXPECT_EQ(buffer.width, 800u);
    EXPECT_EQ(TextureLevelWidth(buffer.texture), 800);
    buffer.Resize(800, 600);
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(height, 600);
}

TEST_F(GLResources, ChannelBuffersOfTheGameAreComplete)
{
    const struct
    {
        ComponentType type;
        uint32_t channels;
    } channels[] = {{ComponentUnsigned8, 4}, {ComponentUnsigned16, 1}, {ComponentHalfFloat, 1}, {ComponentHalfFloat, 4}};
    for (const auto& c : channels)
    {
        FrameBuffer buffer(c.type, c.channels);
        EXPECT_TRUE(buffer.created) << "type " << c.type << " with " << c.channels << " channels";
    }
}

TEST_F(GLResources, LineBatchDrawsItsLines)
{
    FrameBuffer target(ComponentUnsigned8, 4);
    GLTestWindow::DrawInto(target, 64, 64, glm::vec4(0, 0, 0, 1));

    Shader lineShader("BaseShaders/Simple.vsd", "BaseShaders/Simple.fsd");
    const glm::mat4 projection = glm::ortho(0.0f, 64.0f, 0.0f, 64.0f, -1.0f, 1.0f);
    GLTestWindow::UseWithProjection(lineShader, projection);

    LineRenderer lines;
    lines.CreateBuffers();
    lines.AddLine({0, 10.5f}, {64, 10.5f}, {0, 1, 0});
    lines.currentColour = {1, 0, 0};
    lines.AddStripPoint({40.5f, 0});
    lines.AddStripPoint({40.5f, 64});
    lines.Render();
    EXPECT_TRUE(lines.positions.empty());

    const std::vector<uint8_t> pixels = GLTestWindow::ReadPixels(64, 64);
    auto pixel = [&](int x, int y) { return std::vector<uint8_t>(pixels.begin() + (y * 64 + x) * 4, pixels.begin() + (y * 64 + x) * 4 + 4); };
    EXPECT_EQ(pixel(5, 10), (std::vector<uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(pixel(40, 50), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(5, 50), (std::vector<uint8_t>{0, 0, 0, 255}));
}

TEST_F(GLResources, MeshDrawsATexturedQuad)
{
    FrameBuffer target(ComponentUnsigned8, 4);
    GLTestWindow::DrawInto(target, 32, 32, glm::vec4(0, 0, 0, 1));

    std::filesystem::create_directories("Images");
    const uint8_t blue[4 * 4 * 4] = {0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255,
                                     0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255,
                                     0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    ASSERT_NE(stbi_write_png("Images/blue.png", 4, 4, 4, blue, 16), 0);
    Texture texture;
    texture.Load("blue.png");

    Shader textureShader("BaseShaders/Texture.vsd", "BaseShaders/Texture.fsd");
    const glm::mat4 projection = glm::ortho(-1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f);
    GLTestWindow::UseWithProjection(textureShader, projection);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture.id);

    Mesh quad;
    quad.CreateBuffer();
    quad.AddUnitQuad();
    quad.Upload();
    quad.Draw();

    const std::vector<uint8_t> pixels = GLTestWindow::ReadPixels(32, 32);
    auto pixel = [&](int x, int y) { return std::vector<uint8_t>(pixels.begin() + (y * 32 + x) * 4, pixels.begin() + (y * 32 + x) * 4 + 4); };
    EXPECT_EQ(pixel(16, 16), (std::vector<uint8_t>{0, 0, 255, 255})); // inside the unit quad
    EXPECT_EQ(pixel(2, 2), (std::vector<uint8_t>{0, 0, 0, 255}));     // outside it
    texture.Release();
}

// The levels built on the CPU must be those the driver generates, or text and effect images would
// look different depending on which path made them.
TEST_F(GLResources, MipmapsBuiltAheadMatchTheDriversOwn)
{
    struct Case
    {
        ComponentType type;
        uint32_t channels, width, height;
        GLenum format;
    };
    const Case cases[] = {
        {ComponentUnsigned16, 1, 256, 64, GL_RED},
        {ComponentUnsigned8, 1, 64, 64, GL_RED},
        {ComponentUnsigned8, 3, 32, 128, GL_RGB},
        {ComponentUnsigned8, 4, 128, 1, GL_RGBA},
    };
    uint32_t seed = 12345;
    for (const Case& item : cases)
    {
        const uint32_t componentBytes = item.type == ComponentUnsigned16 ? 2 : 1;
        std::vector<uint8_t> base(static_cast<size_t>(item.width) * item.height * item.channels * componentBytes);
        for (uint8_t& byte : base)
            byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
        const MipChain chain = MipChain::Build(base.data(), item.width, item.height, item.channels, componentBytes);
        ASSERT_FALSE(chain.levels.empty());
        Texture ahead;
        ahead.CreateFromTexels(item.width, item.height, item.type, item.channels, base.data(), &chain);
        Texture generated;
        generated.CreateFromTexels(item.width, item.height, item.type, item.channels, base.data());
        const GLenum glType = componentBytes == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        for (size_t level = 0; level < chain.levels.size(); ++level)
        {
            const size_t bytes = static_cast<size_t>(chain.levels[level].width) * chain.levels[level].height * item.channels * componentBytes;
            std::vector<uint8_t> fromAhead(bytes);
            std::vector<uint8_t> fromDriver(bytes);
            glBindTexture(GL_TEXTURE_2D, ahead.id);
            glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level + 1), item.format, glType, fromAhead.data());
            glBindTexture(GL_TEXTURE_2D, generated.id);
            glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level + 1), item.format, glType, fromDriver.data());
            EXPECT_EQ(fromAhead, fromDriver) << item.width << " x " << item.height << " with " << item.channels << " channels of "
                                             << componentBytes << " bytes, level " << level + 1;
        }
        ahead.Release();
        generated.Release();
    }
}
