#include <gtest/gtest.h>

#include "Font.h"
#include "Mesh.h"

namespace
{
struct Quad
{
    glm::vec2 topLeft;
    glm::vec2 bottomRight;
    glm::vec2 uvTopLeft;
    glm::vec2 uvBottomRight;
};

// The quad that AddQuad made from vertices 6q to 6q + 5.
Quad QuadAt(const Mesh& mesh, uint32_t q)
{
    const MeshVertex& first = mesh.vertices[6 * q];
    const MeshVertex& last = mesh.vertices[6 * q + 5];
    return {{first.x, first.y}, {last.x, last.y}, {first.u, first.v}, {last.u, last.v}};
}

class MeshText : public testing::Test
{
protected:
    MeshText()
    {
        font.glyphs['A'] = Glyph{0.1f, 0.2f, 0.3f, 0.4f, 0.05f, 0.75f, 0.5f, 1.0f, 0.625f};
        font.glyphs['B'] = Glyph{0.5f, 0.0f, 0.75f, 0.25f, -0.125f, 0.5f, 0.25f, 0.75f, 0.375f};
        font.glyphs['\n'] = Glyph{0, 0, 0, 0, 0, 0, 0, 0, 2.0f};
        font.glyphs[0xC3] = Glyph{0.9f, 0.9f, 1, 1, 0, 1, 1, 1, 100.0f}; // a key no byte reaches
    }
    Font font;
    Mesh mesh;
};
} // namespace

TEST_F(MeshText, EachCharacterBecomesAQuadStandingOnThePen)
{
    mesh.AddText("AB", {1.0f, 2.0f}, 2.0f, font);
    ASSERT_EQ(mesh.vertices.count, 12u);
    const Quad a = QuadAt(mesh, 0);
    EXPECT_EQ(a.topLeft, glm::vec2(1.0f + 0.05f * 2.0f, 2.0f + 0.75f * 2.0f));
    EXPECT_EQ(a.bottomRight, glm::vec2(1.0f + (0.05f + 0.5f) * 2.0f, 2.0f + (0.75f - 1.0f) * 2.0f));
    EXPECT_EQ(a.uvTopLeft, glm::vec2(0.1f, 0.2f));
    EXPECT_EQ(a.uvBottomRight, glm::vec2(0.3f, 0.4f));

    const float penB = 1.0f + 0.625f * 2.0f;
    const Quad b = QuadAt(mesh, 1);
    EXPECT_EQ(b.topLeft, glm::vec2(penB - 0.125f * 2.0f, 2.0f + 0.5f * 2.0f));
    EXPECT_EQ(b.bottomRight, glm::vec2(penB + (-0.125f + 0.25f) * 2.0f, 2.0f + (0.5f - 0.75f) * 2.0f));
    EXPECT_EQ(b.uvBottomRight, glm::vec2(0.75f, 0.25f));

    mesh.AddText("", {5.0f, 5.0f}, 1.0f, font);
    EXPECT_EQ(mesh.vertices.count, 12u);
}

TEST_F(MeshText, MissingAndHighCharactersTakeTheDefaultGlyph)
{
    // "Z" is not in the font and the byte 0xC3 reads as key 0xFFC3; both draw the default glyph,
    // an empty quad at the pen that does not move it.
    mesh.AddText("Z\xC3" "A", {1.0f, 0.0f}, 1.0f, font);
    ASSERT_EQ(mesh.vertices.count, 18u);
    for (uint32_t q = 0; q < 2; ++q)
    {
        const Quad empty = QuadAt(mesh, q);
        EXPECT_EQ(empty.topLeft, glm::vec2(1.0f, 0.0f));
        EXPECT_EQ(empty.bottomRight, glm::vec2(1.0f, 0.0f));
    }
    EXPECT_EQ(QuadAt(mesh, 2).topLeft.x, 1.0f + 0.05f);

    // A default glyph with an advance moves the pen by it.
    font.defaultGlyph.advance = 0.5f;
    Mesh moved;
    moved.AddText("ZA", {0.0f, 0.0f}, 4.0f, font);
    EXPECT_EQ(QuadAt(moved, 1).topLeft.x, 0.5f * 4.0f + 0.05f * 4.0f);
}

TEST_F(MeshText, NewlineIsAnOrdinaryCharacterOnTheSameBaseline)
{
    mesh.AddText("A\nA", {0.0f, 1.0f}, 1.0f, font);
    ASSERT_EQ(mesh.vertices.count, 18u);
    const Quad second = QuadAt(mesh, 2);
    EXPECT_EQ(second.topLeft, glm::vec2(0.625f + 2.0f + 0.05f, 1.0f + 0.75f));
}
