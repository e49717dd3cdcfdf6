#include <filesystem>
#include <fstream>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "FolderAsFound.h"
#include "FrameBuffer.h"
#include "GLTestWindow.h"
#include "Mesh.h"
#include "Shader.h"

// The base shaders are data files of the run-time tree; these tests hold them to what the render
// pass and the post effects rely on.

TEST(BaseShaders, ShapeFillsAddUpCoverage)
{
    const FolderAsFound runtimeTree;
    GLTestWindow window;
    FrameBuffer target(ComponentHalfFloat, 1);
    GLTestWindow::DrawInto(target, 8, 8, glm::vec4(0, 0, 0, 0));
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBlendEquation(GL_FUNC_ADD);

    Shader shape("BaseShaders/Shape.vsd", "BaseShaders/Shape.fsd");
    ASSERT_TRUE(shape.owned);
    const glm::mat4 projection = glm::ortho(0.0f, 8.0f, 0.0f, 8.0f, -1.0f, 1.0f);
    GLTestWindow::UseWithProjection(shape, projection);

    Mesh fill;
    fill.CreateBuffer();
    fill.AddQuad({0, 8}, {8, 0}, {0, 0}, {0, 0}); // the whole target once
    fill.AddQuad({0, 8}, {4, 0}, {0, 0}, {0, 0}); // its left half a second time
    fill.Upload();
    fill.Draw();

    std::vector<float> coverage(64, -1.0f);
    glReadPixels(0, 0, 8, 8, GL_RED, GL_FLOAT, coverage.data());
    EXPECT_EQ(coverage[3 * 8 + 1], 2.0f);
    EXPECT_EQ(coverage[3 * 8 + 6], 1.0f);
}

TEST(BaseShaders, PostProcessCoversTheTargetWithUvsRisingUpward)
{
    const FolderAsFound runtimeTree;
    GLTestWindow window;
    std::filesystem::create_directories("Data/Probe");
    std::ofstream("Data/Probe/Uvs.fsd") << "#version 450\nin vec2 uvs;\nout vec4 colour;\nvoid main() { colour = vec4(uvs, 0.0, 1.0); }\n";
    Shader probe("BaseShaders/PostProcess.vsd", "Probe/Uvs.fsd");
    ASSERT_TRUE(probe.owned);

    FrameBuffer target(ComponentUnsigned8, 4);
    GLTestWindow::DrawInto(target, 16, 16, glm::vec4(0, 0, 1, 0));
    glUseProgram(probe.program);
    Mesh quad;
    quad.CreateBuffer();
    quad.AddUnitQuad();
    quad.Upload();
    quad.Draw();

    const std::vector<uint8_t> pixels = GLTestWindow::ReadPixels(16, 16);
    for (size_t i = 0; i < pixels.size(); i += 4)
        ASSERT_EQ(pixels[i + 3], 255) << "pixel " << i / 4 << " not covered";
    auto at = [&](int x, int y) { return std::vector<uint8_t>{pixels[(y * 16 + x) * 4], pixels[(y * 16 + x) * 4 + 1]}; };
    EXPECT_EQ(at(0, 0), (std::vector<uint8_t>{8, 8}));      // bottom left: uvs near (0, 0)
    EXPECT_EQ(at(0, 15), (std::vector<uint8_t>{8, 247}));   // top left: uvs.y near 1
    EXPECT_EQ(at(15, 0), (std::vector<uint8_t>{247, 8}));   // bottom right
}
