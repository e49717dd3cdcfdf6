#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "FontAtlas.h"
#include "GlyphBitmap.h"
#include "ScratchFolder.h"
#include "Texture.h"

namespace
{
std::vector<GlyphBitmap> Boxes(const std::vector<std::pair<int32_t, int32_t>>& sizes)
{
    std::vector<GlyphBitmap> boxes;
    for (const auto& [width, height] : sizes)
        boxes.emplace_back(width, height);
    return boxes;
}

struct Place
{
    int32_t x;
    int32_t y;
    bool operator==(const Place&) const = default;
};

std::vector<Place> Places(const std::vector<FontAtlas::Placement>& placements)
{
    std::vector<Place> places;
    for (const FontAtlas::Placement& placement : placements)
        places.push_back({placement.x, placement.y});
    return places;
}
} // namespace

TEST(FontAtlas, ShelfKeepsAGlyphThatEndsExactlyAtTheAtlasWidth)
{
    // 4096 + 4096 ends exactly at 8192 and stays; the next glyph starts a shelf below the taller.
    const auto exact = FontAtlas::PackShelves(Boxes({{4096, 5}, {4096, 7}, {1, 3}}), 8192, 4096, 0);
    EXPECT_EQ(Places(exact), (std::vector<Place>{{0, 0}, {4096, 0}, {0, 7}}));

    // One pixel more and the second glyph already starts the next shelf.
    const auto over = FontAtlas::PackShelves(Boxes({{4096, 5}, {4097, 7}, {1, 3}}), 8192, 4096, 0);
    EXPECT_EQ(Places(over), (std::vector<Place>{{0, 0}, {0, 5}, {4097, 5}}));
}

TEST(FontAtlas, PackingStopsBeforeAShelfWithoutRoomForTheMargin)
{
    const std::vector<GlyphBitmap> glyphs = Boxes({{60, 30}, {60, 30}, {60, 40}, {60, 40}, {60, 40}});
    // Shelves of 100 texels take one glyph each; the margin 50 leaves room for shelves at 0 and 30.
    const auto placements = FontAtlas::PackShelves(glyphs, 100, 120, 50);
    EXPECT_EQ(Places(placements), (std::vector<Place>{{0, 0}, {0, 30}, {0, 60}}));
    EXPECT_EQ(FontAtlas::PackShelves(glyphs, 100, 110, 50).size(), 3u); // 60 + 50 is just room
    EXPECT_EQ(FontAtlas::PackShelves(glyphs, 100, 109, 50).size(), 2u);

    // The test is made for every glyph, the first one on the first shelf included.
    EXPECT_TRUE(FontAtlas::PackShelves(glyphs, 100, 120, 121).empty());

    // A glyph that would reach past the bottom, or is wider than the atlas, is never written.
    EXPECT_EQ(FontAtlas::PackShelves(Boxes({{10, 10}, {10, 200}}), 100, 120, 0).size(), 1u);
    EXPECT_EQ(FontAtlas::PackShelves(Boxes({{10, 10}, {101, 10}}), 100, 120, 0).size(), 1u);
}

TEST(FontAtlas, StopMarginIsTheWidestGlyphPlusBothPaddings)
{
    EXPECT_EQ(FontAtlas::StopMargin(Boxes({{400, 900}, {610, 500}, {380, 640}}), 180), 970);
    EXPECT_EQ(FontAtlas::StopMargin({}, 180), 0);
}

TEST(FontAtlas, GlyphRecordTakesItsPlaceAndMetricsInAtlasAndWorldUnits)
{
    GlyphBitmap bitmap(400, 620);
    bitmap.bearingX = -5;
    bitmap.bearingY = 190;
    bitmap.padding = 180;
    bitmap.advance = 9472; // 148 pixels in 26.6 fixed point
    const Glyph glyph = FontAtlas::MakeGlyph(bitmap, 4096, 1024, 8192, 4096);
    EXPECT_EQ(glyph.uLeft, 0.5f);
    EXPECT_EQ(glyph.vTop, 0.25f);
    EXPECT_EQ(glyph.uRight, 4496.0f * 0.00012207031f);
    EXPECT_EQ(glyph.vBottom, 1644.0f * 0.00024414063f);
    EXPECT_EQ(glyph.offsetX, 175.0f * 0.01f * 0.25f); // bearing plus padding, for every glyph
    EXPECT_EQ(glyph.offsetY, 370.0f * 0.01f * 0.25f);
    EXPECT_EQ(glyph.width, 400.0f * 0.01f * 0.25f);
    EXPECT_EQ(glyph.height, 620.0f * 0.01f * 0.25f);
    EXPECT_EQ(glyph.advance, 9472.0f * 0.01f * 0.015625f * 0.25f);
}

TEST(FontAtlas, HalvingTakesTheTruncatedMeanOfEachBlock)
{
    DynArray<uint16_t> image = FontAtlas::MakeImage(6, 2);
    const uint16_t rows[2][6] = {{65535, 65535, 1, 1, 10, 20}, {65535, 65535, 1, 0, 30, 41}};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            image[y * 6 + x] = rows[y][x];
    const DynArray<uint16_t> half = FontAtlas::Halve(image, 6, 2);
    ASSERT_EQ(half.count, 3u);
    EXPECT_EQ(half[0], 65535); // summed without overflow
    EXPECT_EQ(half[1], 0);     // 3 / 4
    EXPECT_EQ(half[2], 25);    // 101 / 4
}

// Large atlases are deflated in pieces on several threads; the pieces must join into one stream
// that inflates to every sample, whether the atlas fills one piece, ends a piece exactly or ends
// partway through one.
TEST(FontAtlas, AtlasFileIsADeflatedBlobThatTheTextureLoaderAccepts)
{
    const ScratchFolder folder;
    const std::pair<uint32_t, uint32_t> sizes[] = {{64, 32}, {2048, 2048}, {1536, 1024}};
    std::filesystem::create_directories("Fonts");
    for (const auto& [atlasWidth, atlasHeight] : sizes)
    {
        DynArray<uint16_t> image = FontAtlas::MakeImage(atlasWidth, atlasHeight);
        uint32_t noise = 99;
        for (uint32_t k = 0; k < image.count; ++k)
        {
            noise = noise * 1664525u + 1013904223u;
            // smooth, as distance fields are, with stretches of noise that deflate cannot shrink
            image[k] = static_cast<uint16_t>((k / atlasWidth) % 97 == 3 ? noise >> 16 : k / atlasWidth * 1000 + 7);
        }
        FontAtlas::WriteAtlasFile("Fonts/Test_distance.dat", image, atlasWidth, atlasHeight);

        ByteBlob raw;
        ASSERT_TRUE(raw.ReadFromFile("Fonts/Test_distance.dat"));
        EXPECT_EQ(raw.GetMagic(), ByteBlob::DeflatedMagic);
        EXPECT_EQ(raw.GetPayloadCount(), 8u + atlasWidth * atlasHeight * 2u);

        ByteBlob blob;
        uint32_t width = 0;
        uint32_t height = 0;
        ASSERT_TRUE(Texture::ReadAtlas("Test_distance.dat", blob, width, height)) << atlasWidth << " x " << atlasHeight;
        EXPECT_EQ(width, atlasWidth);
        EXPECT_EQ(height, atlasHeight);
        for (uint32_t k = 0; k < image.count; ++k)
            ASSERT_EQ(blob.data[blob.readCursor + 2 * k] | (blob.data[blob.readCursor + 2 * k + 1] << 8), image[k])
                << "sample " << k << " of " << atlasWidth << " x " << atlasHeight;
    }
}

// Composing the halved atlas two rows at a time gives exactly the halved full-size image, also
// where glyphs sit at odd texels, share a 2 x 2 block with a neighbour, or leave rows empty.
TEST(FontAtlas, HalfComposedRowByRowEqualsTheHalvedFullImage)
{
    std::vector<GlyphBitmap> bitmaps = Boxes({{5, 3}, {4, 7}, {9, 5}, {3, 3}});
    for (size_t b = 0; b < bitmaps.size(); ++b)
        for (uint64_t k = 0; k < bitmaps[b].SampleCount(); ++k)
            bitmaps[b].samples[k] = static_cast<uint16_t>(65535 - 977 * k - 13 * b);
    const std::vector<FontAtlas::Placement> placements = {{0, 0, 0}, {1, 5, 0}, {2, 9, 0}, {3, 1, 7}};
    DynArray<uint16_t> full = FontAtlas::MakeImage(19, 13);
    for (const FontAtlas::Placement& place : placements)
        FontAtlas::CopyInto(full, 19, bitmaps[place.bitmap], place.x, place.y);
    const DynArray<uint16_t> expected = FontAtlas::Halve(full, 19, 13);

    const FontAtlas::HalfAtlas half = FontAtlas::ComposeHalf(bitmaps, placements, 19, 13);
    ASSERT_EQ(half.width, 9u);
    ASSERT_EQ(half.height, 6u);
    ASSERT_EQ(expected.count, 54u);
    for (uint32_t k = 0; k < expected.count; ++k)
        EXPECT_EQ(half.samples[k], expected[k]) << k;
}
