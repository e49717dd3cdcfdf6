#include "GlyphTable.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "Font.h"

GlyphTable::GlyphTable(const Font& font)
{
    constexpr float none = std::numeric_limits<float>::infinity();
    minLeft = minBottom = minAdvance = none;
    maxRight = maxTop = maxAdvance = -none;
    for (uint32_t byte = 0; byte < 256; ++byte)
    {
        // Widened as a signed char, as text is laid out.
        const uint16_t key = static_cast<uint16_t>(static_cast<signed char>(static_cast<unsigned char>(byte)));
        const Glyph& glyph = font.GetGlyph(key);
        glyphs[byte] = glyph;
        // fmin and fmax pass over a value that is not a number.
        const float right = glyph.offsetX + glyph.width;
        const float bottom = glyph.offsetY - glyph.height;
        minLeft = std::fmin(minLeft, std::fmin(glyph.offsetX, right));
        maxRight = std::fmax(maxRight, std::fmax(glyph.offsetX, right));
        minBottom = std::fmin(minBottom, std::fmin(glyph.offsetY, bottom));
        maxTop = std::fmax(maxTop, std::fmax(glyph.offsetY, bottom));
        minAdvance = std::fmin(minAdvance, glyph.advance);
        maxAdvance = std::fmax(maxAdvance, glyph.advance);
    }
    // FNV-1a over the metrics' bytes.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(glyphs);
    fingerprint = 0xCBF29CE484222325u;
    for (size_t i = 0; i < sizeof(glyphs); ++i)
        fingerprint = (fingerprint ^ bytes[i]) * 0x100000001B3u;
}
