#include <cstdint>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "Camera.h"
#include "FrameBuffer.h"
#include "GLTestWindow.h"
#include "Level.h"
#include "LogWatch.h"
#include "Mesh.h"
#include "ScratchFolder.h"
#include "Shader.h"
#include "Texture.h"
#include "WorldShape.h"
#include "../ShapeFixtures.h"

namespace
{
class MagnetismTexture : public testing::Test
{
protected:
    GLTestWindow window;

    // A unit square whose bottom edge (edge 0) has the given surface.
    static WorldShape Square(SurfaceType bottom)
    {
        WorldShape shape;
        const glm::vec2 corners[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (glm::vec2 corner : corners)
            shape.AddPoint(corner, corner, corner, false, true);
        shape.points[0].surfaceType = bottom;
        shape.Compile();
        return shape;
    }

    static std::vector<uint16_t> TexelsOf(const Texture& texture)
    {
        std::vector<uint16_t> texels(static_cast<size_t>(texture.width) * texture.height * 4);
        glBindTexture(GL_TEXTURE_2D, texture.id);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_HALF_FLOAT, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return texels;
    }

    static GLint LevelParameter(uint32_t texture, GLenum parameter)
    {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }
};
} // namespace

TEST_F(MagnetismTexture, BuildUploadsTheComputedFieldAsHalfFloats)
{
    WorldShape shape = Square(SurfaceType::MagneticRepulsor);
    ShapeSegment& magnet = shape.segments[0];
    magnet.BuildDataTexture();
    ASSERT_NE(magnet.dataTexture, nullptr);
    const Texture& texture = *magnet.dataTexture;
    EXPECT_TRUE(texture.loaded);
    EXPECT_EQ(LevelParameter(texture.id, GL_TEXTURE_WIDTH), 176);
    EXPECT_EQ(LevelParameter(texture.id, GL_TEXTURE_HEIGHT), 160);
    EXPECT_EQ(LevelParameter(texture.id, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA16F);
    GLint minFilter = 0;
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    GLint smallestLevelWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 7, GL_TEXTURE_WIDTH, &smallestLevelWidth);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(smallestLevelWidth, 1); // 176 halves down to 1 in seven steps: mipmaps were made

    std::vector<uint16_t> samples;
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(magnet.ComputeDataTextureSamples(samples, width, height));
    EXPECT_EQ(TexelsOf(texture), samples);

    // Building again gives the same field; the other edges get none.
    magnet.BuildDataTexture();
    ASSERT_NE(magnet.dataTexture, nullptr);
    EXPECT_EQ(TexelsOf(*magnet.dataTexture), samples);
    shape.segments[1].BuildDataTexture();
    EXPECT_EQ(shape.segments[1].dataTexture, nullptr);

    // Compiling replaces the segments, and their textures go with them.
    const uint32_t builtId = magnet.dataTexture->id;
    shape.Compile();
    EXPECT_EQ(shape.segments[0].dataTexture, nullptr);
    EXPECT_FALSE(glIsTexture(builtId));
}

TEST_F(MagnetismTexture, LoadingALevelFileBuildsTheFieldsOfItsMagnets)
{
    const ScratchFolder folder;
    Level saved(nullptr);
    saved.worldShapes.PushBack(Square(SurfaceType::MagneticAttractor));
    saved.worldShapes.PushBack(Square(SurfaceType::Bouncer));
    ByteBlob blob;
    blob.WriteHeader();
    saved.Serialise(blob);
    blob.WriteToFile("magnets.lrl");

    Camera camera;
    Level level(&camera);
    ASSERT_TRUE(level.LoadFromFile("magnets.lrl"));
    ASSERT_EQ(level.worldShapes.count, 2u);
    for (uint32_t s = 0; s < 2; ++s)
        for (uint32_t i = 0; i < 4; ++i)
        {
            const Texture* texture = level.worldShapes[s].segments[i].dataTexture;
            EXPECT_EQ(texture != nullptr, s == 0 && i == 0) << "shape " << s << " edge " << i;
            if (texture != nullptr)
            {
                EXPECT_TRUE(glIsTexture(texture->id));
            }
        }
}

TEST_F(MagnetismTexture, DrawMagnetismLaysTheFieldOverTheInfluenceBox)
{
    WorldShape shape = Square(SurfaceType::MagneticAttractor);
    ShapeSegment& magnet = shape.segments[0];
    magnet.BuildDataTexture();
    ASSERT_NE(magnet.dataTexture, nullptr);

    // One pixel per texel over the influence box, so each pixel shows exactly its texel.
    FrameBuffer target(ComponentFloat, 4);
    ASSERT_TRUE(target.created);
    Shader shader("BaseShaders/Texture.vsd", "BaseShaders/Texture.fsd");
    Mesh mesh;
    mesh.CreateBuffer();
    const float box[4] = {magnet.influenceMinX, magnet.influenceMaxX, magnet.influenceMinY, magnet.influenceMaxY};
    const glm::mat4 projection = glm::ortho(box[0], box[1], box[2], box[3], -1.0f, 1.0f);

    auto draw = [&](const float (&view)[4]) {
        GLTestWindow::DrawInto(target, 176, 160, glm::vec4(0.0f));
        GLTestWindow::UseWithProjection(shader, projection);
        shape.DrawMagnetism(mesh, view);
        std::vector<float> pixels(176 * 160 * 4);
        glReadPixels(0, 0, 176, 160, GL_RGBA, GL_FLOAT, pixels.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return pixels;
    };

    const std::vector<float> pixels = draw(box);
    EXPECT_EQ(mesh.vertices.count, 0u);
    uint32_t pulled = 0;
    for (uint32_t row = 0; row < 160; row += 3)
        for (uint32_t column = 0; column < 176; column += 3)
        {
            const glm::vec2 force = magnet.GetMagneticForce(magnet.DataTexelPoint(column, row, 176, 160));
            const float* pixel = &pixels[(static_cast<size_t>(row) * 176 + column) * 4];
            ASSERT_NEAR(pixel[0], force.x, 2e-3f) << column << ", " << row;
            ASSERT_NEAR(pixel[1], force.y, 2e-3f) << column << ", " << row;
            ASSERT_EQ(pixel[2], 0.0f);
            pulled += force.y > 0.1f;
        }
    EXPECT_GT(pulled, 50u);

    // A view that only touches the box draws nothing.
    const float beside[4] = {box[1], box[1] + 5.0f, box[2], box[3]};
    for (float value : draw(beside))
        ASSERT_EQ(value, 0.0f);
}

TEST_F(MagnetismTexture, EditedLevelsBuildNoMoreFieldThanTheBudgetAllows)
{
    // An edit recompiles its shape, whose new segments once knew nothing of the budget, and the
    // play-test that followed built every field: one 707-unit attractor edge made a field of
    // 66 million texels. Loading, and building again after an edit as a play-test does, must
    // both keep within the budget, leaving out the same fields.
    const ScratchFolder folder;
    struct Built
    {
        uint32_t textures = 0;
        uint64_t texels = 0;
    };
    auto built = [](const Level& level) {
        Built all;
        for (const WorldShape& shape : level.worldShapes)
            for (const ShapeSegment& segment : shape.segments)
                if (segment.dataTexture != nullptr)
                {
                    ++all.textures;
                    all.texels += static_cast<uint64_t>(segment.dataTexture->width) * segment.dataTexture->height;
                }
        return all;
    };
    WorldShape ring = SmoothRing(300, 47.75f);
    for (ShapePoint& point : ring.points)
        point.surfaceType = SurfaceType::MagneticAttractor;
    const struct
    {
        const char* name;
        WorldShape shape;
        uint32_t textures;
        const char* leftOut;
    } cases[] = {
        {"a triangle with a 707-unit attractor edge",
         StraightShape({{0, 0}, {500, 500}, {0, 500}}, {SurfaceType::MagneticAttractor}), 0,
         "of 1 edges (shape 0 edge 0, "},
        // A unit edge's field is some 176 x 176 texels: 283 of the ring's fit.
        {"a ring of 300 attractor edges", ring, 283, "of 17 edges (shape 0 edge 283, "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        {
            Level saved(nullptr);
            saved.worldShapes.PushBack(c.shape);
            ByteBlob blob;
            blob.WriteHeader();
            saved.Serialise(blob);
            ASSERT_TRUE(blob.WriteToFile("fields.lrl"));
        }
        Camera camera;
        Level level(&camera);
        Built loaded;
        {
            const LogWatch warnings(WarningLog);
            ASSERT_TRUE(level.LoadFromFile("fields.lrl"));
            loaded = built(level);
            EXPECT_EQ(loaded.textures, c.textures);
            EXPECT_LE(loaded.texels, Level::MaxDataTexels);
            ASSERT_EQ(warnings.Lines().size(), 1u);
            EXPECT_TRUE(warnings.Saw(c.leftOut)) << warnings.Lines()[0];
        }

        // A point dragged by a hair, as the editor moves it, and the level played.
        WorldShape& shape = level.worldShapes[0];
        shape.SetPointVector(shape.points[1].position + glm::vec2(0.01f, 0.0f), ElementPoint, 1);
        EXPECT_EQ(built(level).textures, 0u) << "the edit dropped the old fields";
        const LogWatch warnings(WarningLog);
        level.BuildDataTextures();
        ASSERT_TRUE(level.Start(1, 0));
        const Built played = built(level);
        EXPECT_EQ(played.textures, c.textures);
        EXPECT_EQ(played.texels, loaded.texels);
        ASSERT_EQ(warnings.Lines().size(), 1u);
        EXPECT_TRUE(warnings.Saw(c.leftOut)) << warnings.Lines()[0];
        level.EndGame();
    }
}
