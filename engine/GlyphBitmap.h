#pragma once

#include <cstdint>

/// The build record of one glyph: its padded master rendering as 16-bit samples (coverage while
/// rendering, distance-field values afterwards) and the metrics that its `Glyph` is made from.
/// Owns its samples; copies are deep.
class GlyphBitmap
{
public:
    uint16_t* samples = nullptr; ///< width x height, row-major, owned
    int32_t width = 0;           ///< padded: rendered width + 2 x padding
    int32_t height = 0;          ///< padded: rendered rows + 2 x padding
    int32_t bearingX = 0;        ///< FreeType's bitmap_left, master pixels
    int32_t bearingY = 0;        ///< FreeType's bitmap_top, master pixels
    int32_t padding = 0;         ///< master pixels on every side of the rendering
    int32_t advance = 0;         ///< FreeType's horizontal advance, 26.6 fixed point
    uint16_t code = 0;           ///< the character code

    GlyphBitmap() = default;
    /// A bitmap of `paddedWidth` x `paddedHeight` zero samples; a size of 0 or less in either
    /// direction gives an empty bitmap without samples.
    GlyphBitmap(int32_t paddedWidth, int32_t paddedHeight);
    ~GlyphBitmap();

    GlyphBitmap(const GlyphBitmap& other);
    GlyphBitmap& operator=(const GlyphBitmap& other);
    GlyphBitmap(GlyphBitmap&& other) noexcept;
    GlyphBitmap& operator=(GlyphBitmap&& other) noexcept;

    /// Number of samples (0 for an empty bitmap).
    uint64_t SampleCount() const;
    /// The sample at column `x`, row `y`; both must lie inside the bitmap.
    uint16_t& At(int32_t x, int32_t y) { return samples[static_cast<uint64_t>(y) * static_cast<uint64_t>(width) + static_cast<uint64_t>(x)]; }
    uint16_t At(int32_t x, int32_t y) const { return samples[static_cast<uint64_t>(y) * static_cast<uint64_t>(width) + static_cast<uint64_t>(x)]; }
};
