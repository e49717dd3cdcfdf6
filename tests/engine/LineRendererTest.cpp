#include <gtest/gtest.h>

#include "LineRenderer.h"
#include "Mesh.h"

namespace
{
void ExpectNear(glm::vec2 actual, glm::vec2 expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
}
} // namespace

TEST(LineRenderer, StripsCloseBackToTheirFirstPoint)
{
    LineRenderer lines;
    lines.AddStripPoint({0, 0});
    lines.AddStripPoint({1, 0});
    lines.AddStripPoint({0, 1});
    lines.CloseStrip();
    ASSERT_EQ(lines.SegmentCount(), 3u);
    EXPECT_EQ(lines.positions[4], glm::vec2(0, 1));
    EXPECT_EQ(lines.positions[5], glm::vec2(0, 0));

    lines.CloseStrip(); // nothing open any more
    EXPECT_EQ(lines.SegmentCount(), 3u);

    lines.AddStripPoint({5, 5});
    lines.CloseStrip();
    ASSERT_EQ(lines.SegmentCount(), 4u);
    EXPECT_EQ(lines.positions[6], glm::vec2(5, 5));
    EXPECT_EQ(lines.positions[7], glm::vec2(5, 5));

    lines.AddStripPoint({1, 1});
    lines.AddStripPoint({2, 2});
    lines.EndStrip();
    lines.AddStripPoint({9, 9}); // opens a new strip: no segment back to (2, 2)
    EXPECT_EQ(lines.SegmentCount(), 5u);
    EXPECT_EQ(lines.positions.size(), lines.colours.size());
}

TEST(LineRenderer, StripColoursBlendFromPointToPoint)
{
    const glm::vec3 red{1, 0, 0}, green{0, 1, 0}, blue{0, 0, 1};
    LineRenderer lines;
    lines.currentColour = red;
    lines.AddStripPoint({0, 0});
    lines.currentColour = green;
    lines.AddStripPoint({1, 0});
    lines.currentColour = blue;
    lines.AddStripPoint({1, 1});
    lines.CloseStrip();
    const glm::vec3 expected[] = {red, green, green, blue, blue, red};
    ASSERT_EQ(lines.colours.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines.colours[i], expected[i]) << "vertex " << i;
}

TEST(LineRenderer, CircleOfFourChordsStartsAboveTheCentreAndTurnsClockwise)
{
    LineRenderer lines;
    lines.AddCircle({0, 0}, 1.0f, {1, 1, 1}, 4);
    ASSERT_EQ(lines.positions.size(), 8u);
    const glm::vec2 corners[] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
    for (int chord = 0; chord < 4; ++chord)
    {
        SCOPED_TRACE(chord);
        ExpectNear(lines.positions[chord * 2], corners[chord]);
        ExpectNear(lines.positions[chord * 2 + 1], corners[(chord + 1) % 4]);
    }

    lines.AddCircle({0, 0}, 1.0f, {1, 1, 1}, 0);
    lines.AddCircle({0, 0}, 1.0f, {1, 1, 1}, -3);
    EXPECT_EQ(lines.positions.size(), 8u);
}

TEST(LineRenderer, CrossAndLineKeepTheirColour)
{
    const glm::vec3 colour{0.25f, 0.5f, 0.75f};
    LineRenderer lines;
    lines.AddCross({1, 2}, 0.5f, colour);
    lines.AddLine({0, 0}, {3, 4}, colour);
    const glm::vec2 expected[] = {{0.5f, 1.5f}, {1.5f, 2.5f}, {1.5f, 1.5f}, {0.5f, 2.5f}, {0, 0}, {3, 4}};
    ASSERT_EQ(lines.positions.size(), 6u);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(lines.positions[i], expected[i]);
        EXPECT_EQ(lines.colours[i], colour);
    }
}

TEST(LineRenderer, RenderingAnEmptyBatchDrawsNothing)
{
    LineRenderer lines; // no GL buffers: an empty batch must not touch OpenGL
    lines.AddStripPoint({1, 1});
    lines.Render();
    EXPECT_TRUE(lines.positions.empty());
    EXPECT_FALSE(lines.stripOpen);
    lines.AddStripPoint({2, 2}); // the dropped strip does not continue
    EXPECT_TRUE(lines.positions.empty());
}

TEST(Mesh, QuadsListTheirSixVertices)
{
    Mesh mesh;
    mesh.AddUnitQuad();
    mesh.AddQuad({1, 2}, {3, 0}, {0.1f, 0.2f}, {0.3f, 0.4f});
    const MeshVertex expected[] = {
        {-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {-0.5f, -0.5f, 0, 1}, {-0.5f, -0.5f, 0, 1}, {0.5f, 0.5f, 1, 0}, {0.5f, -0.5f, 1, 1},
        {1, 2, 0.1f, 0.2f},  {3, 2, 0.3f, 0.2f}, {1, 0, 0.1f, 0.4f},   {1, 0, 0.1f, 0.4f},   {3, 2, 0.3f, 0.2f}, {3, 0, 0.3f, 0.4f},
    };
    ASSERT_EQ(mesh.vertices.count, 12u);
    for (uint32_t i = 0; i < 12; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(mesh.vertices[i].x, expected[i].x);
        EXPECT_EQ(mesh.vertices[i].y, expected[i].y);
        EXPECT_EQ(mesh.vertices[i].u, expected[i].u);
        EXPECT_EQ(mesh.vertices[i].v, expected[i].v);
    }
}
