#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "Font.h"
#include "GlyphTable.h"

namespace
{
bool SameGlyph(const Glyph& a, const Glyph& b)
{
    return std::memcmp(&a, &b, sizeof(Glyph)) == 0;
}
} // namespace

// Each byte finds the glyph that `Mesh::AddText` would draw for it, and the extremes take in
// every one of them, the default glyph and glyphs of negative size included.
TEST(GlyphTable, LooksUpEachByteAsTextIsLaidOutAndTakesTheExtremes)
{
    Font font;
    font.glyphs['A'] = Glyph{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 1.0f, 0.5f, 3.0f, 0.75f};
    font.glyphs['B'] = Glyph{0, 0, 0, 0, -0.25f, 0.5f, -1.0f, -1.5f, 0.25f}; // a quad of negative size
    font.glyphs[0xFFC3] = Glyph{0, 0, 0, 0, 0, 0, 0, 0, 4.0f};               // what the byte 0xC3 reads as
    font.glyphs[0xC3] = Glyph{0, 0, 0, 0, 0, 0, 0, 0, 9.0f};                 // a key that no byte reaches
    font.glyphs['N'] = Glyph{0, 0, 0, 0, NAN, NAN, NAN, NAN, NAN};
    font.defaultGlyph.advance = -0.5f;
    const GlyphTable glyphs(font);

    EXPECT_TRUE(SameGlyph(glyphs['A'], font.glyphs['A']));
    EXPECT_TRUE(SameGlyph(glyphs['\xC3'], font.glyphs[0xFFC3]));
    EXPECT_TRUE(SameGlyph(glyphs['Z'], font.defaultGlyph));
    EXPECT_TRUE(SameGlyph(glyphs['\xFF'], font.defaultGlyph));

    EXPECT_EQ(glyphs.minLeft, -1.25f) << "B's left edge is offsetX + width";
    EXPECT_EQ(glyphs.maxRight, 1.0f);
    EXPECT_EQ(glyphs.minBottom, -2.0f) << "A's bottom";
    EXPECT_EQ(glyphs.maxTop, 2.0f) << "B's top is offsetY - height";
    EXPECT_EQ(glyphs.minAdvance, -0.5f) << "the default glyph's";
    EXPECT_EQ(glyphs.maxAdvance, 4.0f) << "not 9: no byte draws that glyph";
}
