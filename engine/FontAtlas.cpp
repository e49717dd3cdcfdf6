#include "FontAtlas.h"

#include <algorithm>
#include <cstring>

#include "ByteBlob.h"
#include "GlyphBitmap.h"

namespace FontAtlas
{
int64_t StopMargin(const std::vector<GlyphBitmap>& bitmaps, uint32_t padding)
{
    if (bitmaps.empty())
        return 0;
    int64_t widest = 0;
    for (const GlyphBitmap& bitmap : bitmaps)
        widest = std::max<int64_t>(widest, bitmap.width);
    return widest + 2 * static_cast<int64_t>(padding);
}

std::vector<Placement> PackShelves(const std::vector<GlyphBitmap>& bitmaps, uint32_t atlasWidth, uint32_t atlasHeight, int64_t margin)
{
    std::vector<Placement> placements;
    placements.reserve(bitmaps.size());
    int64_t x = 0;
    int64_t shelfTop = 0;
    int64_t shelfHeight = 0;
    for (size_t k = 0; k < bitmaps.size(); ++k)
    {
        const GlyphBitmap& bitmap = bitmaps[k];
        int64_t glyphX = x;
        if (x + bitmap.width > atlasWidth)
        {
            shelfTop += shelfHeight;
            shelfHeight = 0;
            glyphX = 0;
        }
        // The margin alone does not keep a glyph inside the atlas (a glyph taller than the margin,
        // or wider than the atlas), and writing past the image would corrupt memory.
        if (shelfTop + margin > atlasHeight || shelfTop + bitmap.height > atlasHeight || glyphX + bitmap.width > atlasWidth)
            break;
        placements.push_back({k, static_cast<int32_t>(glyphX), static_cast<int32_t>(shelfTop)});
        shelfHeight = std::max<int64_t>(shelfHeight, bitmap.height);
        x = glyphX + bitmap.width;
    }
    return placements;
}

DynArray<uint16_t> MakeImage(uint32_t width, uint32_t height)
{
    DynArray<uint16_t> image;
    const uint64_t count = static_cast<uint64_t>(width) * height;
    image.Resize(count < DynArray<uint16_t>::MaxCapacity ? static_cast<uint32_t>(count) : DynArray<uint16_t>::MaxCapacity);
    return image;
}

void CopyInto(DynArray<uint16_t>& image, uint32_t imageWidth, const GlyphBitmap& bitmap, int32_t x, int32_t y)
{
    if (bitmap.samples == nullptr)
        return;
    for (int32_t r = 0; r < bitmap.height; ++r)
    {
        const uint16_t* from = bitmap.samples + static_cast<size_t>(r) * static_cast<size_t>(bitmap.width);
        uint16_t* to = image.items + (static_cast<size_t>(y) + static_cast<size_t>(r)) * imageWidth + static_cast<size_t>(x);
        std::memcpy(to, from, static_cast<size_t>(bitmap.width) * sizeof(uint16_t));
    }
}

Glyph MakeGlyph(const GlyphBitmap& bitmap, int32_t x, int32_t y, uint32_t atlasWidth, uint32_t atlasHeight)
{
    const float perTexelU = 1.0f / static_cast<float>(atlasWidth);
    const float perTexelV = 1.0f / static_cast<float>(atlasHeight);
    // 0.0025 world units per master pixel, taken in two steps as the metrics always have been.
    auto world = [](int32_t pixels) { return static_cast<float>(pixels) * 0.01f * 0.25f; };
    Glyph glyph;
    glyph.uLeft = static_cast<float>(x) * perTexelU;
    glyph.vTop = static_cast<float>(y) * perTexelV;
    glyph.uRight = static_cast<float>(x + bitmap.width) * perTexelU;
    glyph.vBottom = static_cast<float>(y + bitmap.height) * perTexelV;
    glyph.offsetX = world(bitmap.bearingX + bitmap.padding);
    glyph.offsetY = world(bitmap.bearingY + bitmap.padding);
    glyph.width = world(bitmap.width);
    glyph.height = world(bitmap.height);
    glyph.advance = static_cast<float>(bitmap.advance) * 0.01f * 0.015625f * 0.25f;
    return glyph;
}

DynArray<uint16_t> Halve(const DynArray<uint16_t>& image, uint32_t width, uint32_t height)
{
    const uint32_t halfWidth = width / 2;
    const uint32_t halfHeight = height / 2;
    DynArray<uint16_t> half = MakeImage(halfWidth, halfHeight);
    for (uint32_t y = 0; y < halfHeight; ++y)
    {
        const uint16_t* top = image.items + static_cast<size_t>(2 * y) * width;
        const uint16_t* bottom = top + width;
        uint16_t* out = half.items + static_cast<size_t>(y) * halfWidth;
        for (uint32_t x = 0; x < halfWidth; ++x)
        {
            const uint32_t sum = static_cast<uint32_t>(top[2 * x]) + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1];
            out[x] = static_cast<uint16_t>(sum >> 2);
        }
    }
    return half;
}

void WriteAtlasFile(const std::string& path, const DynArray<uint16_t>& image, uint32_t width, uint32_t height)
{
    ByteBlob blob;
    blob.Reserve(ByteBlob::HeaderSize + 8 + image.count * static_cast<uint32_t>(sizeof(uint16_t)));
    blob.WriteHeader();
    blob.WriteU32(width);
    blob.WriteU32(height);
    blob.WriteArray(image.items, image.count);
    blob.Compress();
    blob.WriteToFile(path);
}
} // namespace FontAtlas
