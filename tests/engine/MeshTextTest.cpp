#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>

#include <gtest/gtest.h>

#include "Font.h"
#include "GlyphTable.h"
#include "HeapBytes.h"
#include "LineLayout.h"
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

namespace
{
// The plain way to what a view shows of a text: every quad that `AddText` makes, kept when it
// covers some area and overlaps the view by more than an edge.
std::vector<MeshVertex> ShownOfAddText(const std::string& text, glm::vec2 position, float scale, const Font& font, const float (&view)[4])
{
    Mesh all;
    all.AddText(text, position, scale, font);
    std::vector<MeshVertex> shown;
    for (uint32_t q = 0; 6 * q < all.vertices.count; ++q)
    {
        const Quad quad = QuadAt(all, q);
        const float minX = std::min(quad.topLeft.x, quad.bottomRight.x);
        const float maxX = std::max(quad.topLeft.x, quad.bottomRight.x);
        const float minY = std::min(quad.topLeft.y, quad.bottomRight.y);
        const float maxY = std::max(quad.topLeft.y, quad.bottomRight.y);
        if (minX < maxX && minY < maxY && view[1] > minX && maxX > view[0] && view[3] > minY && maxY > view[2])
            shown.insert(shown.end(), all.vertices.items + 6 * q, all.vertices.items + 6 * q + 6);
    }
    return shown;
}

std::string Repeated(const std::string& piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

bool SameVertices(const Mesh& mesh, const std::vector<MeshVertex>& expected)
{
    return mesh.vertices.count == expected.size() &&
           (expected.empty() || std::memcmp(mesh.vertices.items, expected.data(), expected.size() * sizeof(MeshVertex)) == 0);
}

// The box round every quad of a text as `AddText` lays it out: min x, max x, min y, max y.
void ExtentOfAddText(const std::string& text, glm::vec2 position, float scale, const Font& font, float (&box)[4])
{
    Mesh all;
    all.AddText(text, position, scale, font);
    box[0] = box[2] = 1e30f;
    box[1] = box[3] = -1e30f;
    for (const MeshVertex& vertex : all.vertices)
    {
        box[0] = std::min(box[0], vertex.x);
        box[1] = std::max(box[1], vertex.x);
        box[2] = std::min(box[2], vertex.y);
        box[3] = std::max(box[3], vertex.y);
    }
}
} // namespace

// Over a table of texts, fonts and views round them, the culled layout gives exactly the quads of
// the plain one that the view shows, in the same order and with the same vertices.
TEST_F(MeshText, InViewGivesTheQuadsOfAddTextThatTheViewShows)
{
    // A glyph that moves the pen back: the line can no longer stop at the view's right edge.
    Font backward;
    backward.glyphs = font.glyphs;
    backward.glyphs['C'] = Glyph{0.2f, 0.2f, 0.4f, 0.4f, 0.0f, 0.5f, 0.5f, 0.5f, -1.5f};
    const struct
    {
        const char* what;
        const Font* font;
        std::string text;
        glm::vec2 position;
        float scale;
    } cases[] = {
        {"letters and a newline", &font, "AB\nBA", {1.0f, 2.0f}, 2.0f},
        {"a long line", &font, std::string(300, 'A') + "B", {-40.0f, 0.0f}, 0.45f},
        {"a line of several checkpoints", &font, Repeated("ABBA", 800), {-500.0f, 1.0f}, 0.45f},
        {"default glyphs between", &font, "AZ\xC3" "B\xFF" "A", {0.0f, -3.0f}, 1.0f},
        {"a pen that goes back", &backward, "ABCCCAB", {2.0f, 0.0f}, 1.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const GlyphTable glyphs(*c.font);
        float box[4];
        ExtentOfAddText(c.text, c.position, c.scale, *c.font, box);
        const float width = box[1] - box[0];
        const float height = box[3] - box[2];
        const float midX = (box[0] + box[1]) * 0.5f;
        const float midY = (box[2] + box[3]) * 0.5f;
        const float views[][4] = {
            {box[0] - 1.0f, box[1] + 1.0f, box[2] - 1.0f, box[3] + 1.0f},            // all of it
            {box[0] - 1.0f, midX, box[2] - 1.0f, box[3] + 1.0f},                     // the left half
            {midX, box[1] + 1.0f, midY, box[3] + 1.0f},                              // the top right
            {midX - width * 0.05f, midX + width * 0.05f, box[2], box[3]},            // a strip in the middle
            {box[1], box[1] + 5.0f, box[2], box[3]},                                 // touching the right end only
            {box[0] - 5.0f, box[0], box[2], box[3]},                                 // touching the left end only
            {box[0], box[1], box[3], box[3] + height},                               // touching the top only
            {box[0] - 10.0f * width, box[0] - 9.0f * width, box[2], box[3]},         // far to the left
            {box[1] + 9.0f * width, box[1] + 10.0f * width, box[2], box[3]},         // far to the right
            {box[0], box[1], box[2] - 10.0f * height, box[2] - 9.0f * height},       // far below
        };
        LineLayout kept;
        for (const auto& view : views)
        {
            const std::vector<MeshVertex> expected = ShownOfAddText(c.text, c.position, c.scale, *c.font, view);
            // Afresh, then measured into what is kept, then culled by it.
            for (LineLayout* keeping : {static_cast<LineLayout*>(nullptr), &kept, &kept})
            {
                Mesh culled;
                const uint32_t added = culled.AddTextInView(c.text, c.position, c.scale, glyphs, view, 100000, keeping);
                EXPECT_EQ(added * 6u, expected.size());
                EXPECT_TRUE(SameVertices(culled, expected)) << "view " << view[0] << " " << view[1] << " " << view[2] << " " << view[3];
            }
        }
        EXPECT_EQ(kept.measured, c.text.size() > Mesh::KeptLineLength);
    }
}

TEST_F(MeshText, InViewAddsNoMoreThanItIsAllowed)
{
    const GlyphTable glyphs(font);
    const float view[4] = {-100.0f, 100.0f, -100.0f, 100.0f};
    const std::vector<MeshVertex> all = ShownOfAddText("ABABAB", {0.0f, 0.0f}, 1.0f, font, view);
    ASSERT_EQ(all.size(), 36u);
    EXPECT_EQ(mesh.AddTextInView("ABABAB", {0.0f, 0.0f}, 1.0f, glyphs, view, 4), 4u);
    EXPECT_TRUE(SameVertices(mesh, std::vector<MeshVertex>(all.begin(), all.begin() + 24))) << "the first four";
    EXPECT_EQ(mesh.AddTextInView("ABABAB", {0.0f, 0.0f}, 1.0f, glyphs, view, 0), 0u);
    EXPECT_EQ(mesh.AddTextInView("ABABAB", {0.0f, 0.0f}, 0.0f, glyphs, view, 10), 0u) << "no scale";
    EXPECT_EQ(mesh.vertices.count, 24u);
}

// Each step of an f32 pen rounds, and over a hundred thousand glyphs of 0.3 the pen ends some
// 28 units beyond 0.3 times their count: a line bounded by its length times its widest advance
// would lose its end.
TEST(MeshTextLongLine, KeepsTheGlyphsWhereTheRoundedPenPutsThem)
{
    Font font;
    font.glyphs['A'] = Glyph{0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.5f, 0.25f, 0.5f, 0.3f};
    const std::string text(100000, 'A');
    float box[4];
    ExtentOfAddText(text, {0.0f, 0.0f}, 1.0f, font, box);
    ASSERT_GT(box[1], 0.3f * 99999.0f + 0.25f + 20.0f) << "the pen did not drift as it does on this machine's floats";
    const float view[4] = {box[1] - 1.0f, box[1] + 1.0f, -1.0f, 1.0f};
    const std::vector<MeshVertex> expected = ShownOfAddText(text, {0.0f, 0.0f}, 1.0f, font, view);
    ASSERT_FALSE(expected.empty());
    Mesh culled;
    culled.AddTextInView(text, {0.0f, 0.0f}, 1.0f, GlyphTable(font), view, 1000);
    EXPECT_TRUE(SameVertices(culled, expected));
}

// A line whose bound misses the view is passed over without reading a byte of it: its text lies
// in memory that cannot be read, and a read would end the test. Nothing is allocated either.
TEST_F(MeshText, InViewPassesOverALineThatCannotReachTheViewUnread)
{
    const size_t length = 4u * 1024u * 1024u;
    void* unreadable = mmap(nullptr, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(unreadable, MAP_FAILED);
    const std::string_view text(static_cast<const char*>(unreadable), length);
    const GlyphTable glyphs(font);
    // The line runs from x = 0 to at most 2 (the newline's advance) x 4 Mi x 0.45, some 3.8
    // million and the pen's rounding, on the baseline y = 0, its glyphs from 0.75 x 0.45 above
    // it to 0.25 x 0.45 below it.
    const float views[][4] = {
        {-10.0f, 10.0f, 5.0f, 15.0f},    // above
        {-10.0f, 10.0f, -15.0f, -5.0f},  // below
        {-30.0f, -10.0f, -1.0f, 1.0f},   // before its start
        {1.0e7f, 1.0e7f + 20.0f, -1.0f, 1.0f}, // beyond its end
    };
    const size_t heapBefore = HeapBytesInUse();
    for (const auto& view : views)
        EXPECT_EQ(mesh.AddTextInView(text, {0.0f, 0.0f}, 0.45f, glyphs, view, 1000), 0u);
    EXPECT_EQ(HeapBytesInUse(), heapBefore);
    EXPECT_EQ(mesh.vertices.count, 0u);
    munmap(unreadable, length);
}

// What is kept of a line stands for it only while the line, its pen, its scale and the glyphs'
// metrics are what it was found for; a line rewritten in place to the same length is followed
// afresh. While it stands, a frame that does not show the line allocates nothing.
TEST_F(MeshText, AKeptLineStandsOnlyForTheSameLine)
{
    font.glyphs['W'] = Glyph{0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 0.5f, 1.0f, 1.0f};
    std::string text(1000, 'A');
    float box[4];
    ExtentOfAddText(text, {0.0f, 0.0f}, 1.0f, font, box);
    // Just beyond the line of A's, within reach of its bound.
    const float view[4] = {box[1] + 1.0f, box[1] + 300.0f, -2.0f, 2.0f};
    LineLayout kept;
    auto expectAsAddText = [&](const char* what, glm::vec2 position) {
        SCOPED_TRACE(what);
        Mesh culled;
        culled.AddTextInView(text, position, 1.0f, GlyphTable(font), view, 10000, &kept);
        EXPECT_TRUE(SameVertices(culled, ShownOfAddText(text, position, 1.0f, font, view)));
        return culled.vertices.count;
    };
    EXPECT_EQ(expectAsAddText("a line of A's", {0.0f, 0.0f}), 0u);
    const size_t heapBefore = HeapBytesInUse();
    EXPECT_EQ(mesh.AddTextInView(text, {0.0f, 0.0f}, 1.0f, GlyphTable(font), view, 10000, &kept), 0u);
    EXPECT_EQ(HeapBytesInUse(), heapBefore) << "the same line again";

    const char* block = text.data();
    std::fill(text.begin(), text.end(), 'W');
    ASSERT_EQ(text.data(), block);
    EXPECT_GT(expectAsAddText("rewritten in place with wider glyphs", {0.0f, 0.0f}), 0u);
    // Each change below brings into view a line that what was kept had seen end before it.
    font.glyphs['W'].advance = 0.5f;
    EXPECT_EQ(expectAsAddText("narrower glyphs, a unit on", {1.0f, 0.0f}), 0u);
    font.glyphs['W'].advance = 1.0f;
    EXPECT_GT(expectAsAddText("wider glyphs", {1.0f, 0.0f}), 0u);
    font.glyphs['W'].advance = 0.5f;
    EXPECT_EQ(expectAsAddText("narrower glyphs", {1.0f, 0.0f}), 0u);
    EXPECT_GT(expectAsAddText("moved on", {box[1] * 0.5f, 0.0f}), 0u);
}

TEST_F(MeshText, ReleasingGivesTheVertexBlockBack)
{
    for (int i = 0; i < 100; ++i)
        mesh.AddText("ABAB", {0.0f, 0.0f}, 1.0f, font);
    ASSERT_GE(mesh.vertices.capacity, 2400u);
    mesh.ReleaseVertices();
    EXPECT_EQ(mesh.vertices.count, 0u);
    EXPECT_EQ(mesh.vertices.capacity, DynArray<MeshVertex>::InitialCapacity);
    mesh.AddText("A", {0.0f, 0.0f}, 1.0f, font);
    EXPECT_EQ(mesh.vertices.count, 6u);
}
