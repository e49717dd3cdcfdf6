#pragma once

#include <cstdint>

#include "Glyph.h"

class Font;

/// A font's glyphs by the byte of text that draws them, with the extremes of their quads and
/// advances, so that laying out a long text costs one array read per byte and a whole line can be
/// bounded from its length alone, without reading it. A copy of the font's metrics as they were
/// when it was made (some 9 KB): make one per frame, or again after the font's glyphs change.
/// Needs no GL context.
class GlyphTable
{
public:
    explicit GlyphTable(const Font& font);

    /// The glyph that `Mesh::AddText` draws for `byte`; a byte above 127 looks up a key from
    /// 0xFF80 on, as it does there.
    const Glyph& operator[](char byte) const { return glyphs[static_cast<unsigned char>(byte)]; }

    /// Extremes over the glyphs of all 256 bytes, in world units at text scale 1 relative to the
    /// pen. The horizontal ones are taken over both x edges of each quad as `Mesh::AddText` forms
    /// them (offsetX and offsetX + width, either of which may be the smaller), the vertical ones
    /// over its top and bottom (offsetY and offsetY - height). A metric that is not a number is
    /// left out: a quad made from it, and every quad after an advance that is not a number, is
    /// not a number either and shows nowhere. With no number at all, the minimum is +infinity and
    /// the maximum -infinity.
    float minLeft = 0.0f;
    float maxRight = 0.0f;
    float minBottom = 0.0f;
    float maxTop = 0.0f;
    float minAdvance = 0.0f;
    float maxAdvance = 0.0f;
    /// A 64-bit hash of every glyph's metrics, to tell tables of different metrics apart.
    uint64_t fingerprint = 0;

private:
    Glyph glyphs[256];
};
