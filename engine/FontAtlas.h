#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DynArray.h"
#include "Glyph.h"

class GlyphBitmap;

/// The steps of the font build between the distance fields and the cache files: shelf packing,
/// the glyph records, halving and the atlas file. No GL, no FreeType.
namespace FontAtlas
{
/// Where a bitmap went in the full-size atlas: its index in the packed list and its top-left texel.
struct Placement
{
    size_t bitmap = 0;
    int32_t x = 0;
    int32_t y = 0;
};

/// The packing's stop margin: the largest padded width among `bitmaps` plus twice `padding`
/// (0 for no bitmaps). A shelf whose top plus this margin exceeds the atlas height takes no glyph.
int64_t StopMargin(const std::vector<GlyphBitmap>& bitmaps, uint32_t padding);

/// Places `bitmaps` in list order on shelves from the top-left: a glyph stays on the current shelf
/// while its right edge is at most `atlasWidth`, else it starts the next shelf below the tallest
/// glyph of this one. Packing stops before the first glyph whose shelf top plus `margin` exceeds
/// `atlasHeight`, or that would not lie wholly inside the atlas; the result lists the glyphs placed
/// before it, so its size tells how many are left out.
std::vector<Placement> PackShelves(const std::vector<GlyphBitmap>& bitmaps, uint32_t atlasWidth, uint32_t atlasHeight, int64_t margin);

/// A zeroed `width` x `height` image, row-major, with `count` set to the sample count.
DynArray<uint16_t> MakeImage(uint32_t width, uint32_t height);

/// Copies the samples of `bitmap` into `image` (`imageWidth` samples a row) with its top-left at
/// (x, y); the bitmap must lie inside the image.
void CopyInto(DynArray<uint16_t>& image, uint32_t imageWidth, const GlyphBitmap& bitmap, int32_t x, int32_t y);

/// The glyph record of `bitmap` placed at (x, y) of a full-size atlas of the given size.
Glyph MakeGlyph(const GlyphBitmap& bitmap, int32_t x, int32_t y, uint32_t atlasWidth, uint32_t atlasHeight);

/// The half-size image: each sample the truncated mean of a 2 x 2 block of `image`. An odd last
/// row or column is dropped.
DynArray<uint16_t> Halve(const DynArray<uint16_t>& image, uint32_t width, uint32_t height);

/// The halved atlas as the cache holds it: `width` x `height` samples, row-major.
struct HalfAtlas
{
    std::unique_ptr<uint16_t[]> samples;
    uint32_t width = 0;
    uint32_t height = 0;
};

/// The halved atlas of `bitmaps` placed at `placements` in a full-size atlas of `atlasWidth` x
/// `atlasHeight`: the same samples as `CopyInto` of every placed bitmap followed by `Halve`, but
/// composed two full rows at a time, so that the full-size image is never held. Every sample
/// is written, none is zeroed first.
HalfAtlas ComposeHalf(const std::vector<GlyphBitmap>& bitmaps, const std::vector<Placement>& placements, uint32_t atlasWidth,
                      uint32_t atlasHeight);

/// Writes the atlas cache file: a deflated byte blob of u32 width, u32 height and the samples row
/// by row as little-endian u16, deflated in pieces on every core into one zlib stream. The file is written whole or not at all (written beside it, then
/// renamed over it). A failure is logged. @return false when the file could not be written.
bool WriteAtlasFile(const std::string& path, const DynArray<uint16_t>& image, uint32_t width, uint32_t height);
/// `WriteAtlasFile` of `width` x `height` samples at `samples`.
bool WriteAtlasFile(const std::string& path, const uint16_t* samples, uint32_t width, uint32_t height);
} // namespace FontAtlas
