#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DistanceField.h"
#include "Font.h"
#include "GlyphBitmap.h"
#include "ScratchFolder.h"

namespace
{
constexpr uint16_t Full = 65280; // full coverage, as the renderer stores it

GlyphBitmap Shape(int32_t width, int32_t height, const std::function<bool(int32_t, int32_t)>& isInside)
{
    GlyphBitmap bitmap(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bitmap.At(x, y) = isInside(x, y) ? Full : 0;
    return bitmap;
}

std::vector<uint16_t> Samples(const GlyphBitmap& bitmap)
{
    return std::vector<uint16_t>(bitmap.samples, bitmap.samples + bitmap.SampleCount());
}

// Both versions of the field for the same bitmap must agree sample for sample.
void ExpectMatchesReference(const GlyphBitmap& bitmap, uint32_t spread)
{
    GlyphBitmap fast = bitmap;
    GlyphBitmap plain = bitmap;
    GenerateDistanceField(fast, spread);
    GenerateDistanceFieldReference(plain, spread);
    const std::vector<uint16_t> fastSamples = Samples(fast);
    const std::vector<uint16_t> plainSamples = Samples(plain);
    ASSERT_EQ(fastSamples.size(), plainSamples.size());
    size_t mismatches = 0;
    for (size_t k = 0; k < fastSamples.size(); ++k)
        if (fastSamples[k] != plainSamples[k] && ++mismatches <= 3)
            ADD_FAILURE() << "sample (" << k % bitmap.width << ", " << k / bitmap.width << ") of " << bitmap.width << " x "
                          << bitmap.height << " at spread " << spread << ": " << fastSamples[k] << " instead of " << plainSamples[k];
    EXPECT_EQ(mismatches, 0u);
}

// Real glyph outlines from a font that is certainly installed, rendered small.
std::vector<GlyphBitmap> RenderDejaVu(const std::string& codes, uint32_t pixelHeight, uint32_t padding)
{
    const ScratchFolder folder;
    std::filesystem::create_directories("Fonts");
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "Fonts/DejaVuSans.ttf",
                               std::filesystem::copy_options::overwrite_existing);
    Font font;
    for (const char c : codes)
        font.glyphs[static_cast<uint16_t>(c)] = Glyph{};
    Font::BuildSettings settings;
    settings.pixelHeight = pixelHeight;
    settings.padding = padding;
    std::vector<GlyphBitmap> bitmaps;
    EXPECT_TRUE(font.RenderBitmaps("DejaVuSans", settings, bitmaps));
    return bitmaps;
}
} // namespace

TEST(DistanceField, EncodesDistancesBeyondTheSpreadAndAtHalfAPixel)
{
    // A straight vertical edge between columns 199 and 200; nothing else crosses.
    GlyphBitmap halfPlane = Shape(400, 3, [](int32_t x, int32_t) { return x < 200; });
    GenerateDistanceField(halfPlane, 192);
    EXPECT_EQ(halfPlane.At(0, 1), 65535);   // 199.5 pixels inside
    EXPECT_EQ(halfPlane.At(399, 1), 0);     // 199.5 pixels outside
    EXPECT_EQ(halfPlane.At(199, 1), 32852); // half a pixel inside: 32767 + 32768 / 384, truncated
    EXPECT_EQ(halfPlane.At(200, 1), 32681); // half a pixel outside: 32767 - 32767 / 384, truncated
    EXPECT_EQ(halfPlane.At(199 - 191, 1), 32767 + static_cast<uint16_t>(191.5f / 192.0f * 32768.0f));

    // Far from a lone dot in every direction, and far inside around a lone hole.
    GlyphBitmap dot = Shape(500, 500, [](int32_t x, int32_t y) { return x == 250 && y == 250; });
    GlyphBitmap hole = Shape(500, 500, [](int32_t x, int32_t y) { return x != 250 || y != 250; });
    GenerateDistanceField(dot, 192);
    GenerateDistanceField(hole, 192);
    EXPECT_EQ(dot.At(0, 0), 0);
    EXPECT_EQ(hole.At(0, 0), 65535);
    EXPECT_EQ(dot.At(250, 250), 32852);
    EXPECT_EQ(hole.At(250, 250), 32681);
    // Diagonally off the dot only its corner points reach: (1.5, 1.5) away from (248, 248).
    const float corner = std::sqrt(1.5f * 1.5f + 1.5f * 1.5f) / 192.0f;
    EXPECT_EQ(dot.At(248, 248), static_cast<uint16_t>(32767.0f - corner * 32767.0f));

    // Coverage at exactly the threshold counts as outside.
    GlyphBitmap threshold(2, 1);
    threshold.At(0, 0) = 32767;
    threshold.At(1, 0) = 32768;
    GenerateDistanceField(threshold, 192);
    EXPECT_EQ(threshold.At(0, 0), 32681);
    EXPECT_EQ(threshold.At(1, 0), 32852);
}

TEST(DistanceField, FastFieldMatchesThePlainAlgorithmExactly)
{
    std::mt19937 random(20240611);
    struct Case
    {
        const char* name;
        GlyphBitmap bitmap;
        uint32_t spread;
    };
    std::vector<Case> cases;
    cases.push_back({"all outside", Shape(30, 20, [](int32_t, int32_t) { return false; }), 8});
    cases.push_back({"all inside", Shape(30, 20, [](int32_t, int32_t) { return true; }), 8});
    cases.push_back({"one pixel", Shape(1, 1, [](int32_t, int32_t) { return true; }), 4});
    cases.push_back({"one row", Shape(40, 1, [](int32_t x, int32_t) { return x % 7 < 3; }), 5});
    cases.push_back({"one column", Shape(1, 40, [](int32_t, int32_t y) { return y % 5 == 0; }), 5});
    cases.push_back({"touching every border", Shape(25, 25, [](int32_t x, int32_t y) { return x < 3 || y < 2 || x > 22 || y > 23; }), 6});
    cases.push_back({"checkerboard", Shape(24, 18, [](int32_t x, int32_t y) { return (x + y) % 2 == 0; }), 3});
    cases.push_back({"ring", Shape(90, 70, [](int32_t x, int32_t y) {
                         const float r = std::hypot(x - 45.0f, y - 35.0f);
                         return r > 12.0f && r < 25.0f;
                     }), 20});
    cases.push_back({"spread larger than the bitmap", Shape(20, 20, [](int32_t x, int32_t y) { return x * y % 11 == 3; }), 192});
    for (int k = 0; k < 12; ++k)
    {
        const int32_t width = 2 + static_cast<int32_t>(random() % 50);
        const int32_t height = 2 + static_cast<int32_t>(random() % 50);
        const uint32_t density = static_cast<uint32_t>(1 + random() % 6);
        GlyphBitmap noise(width, height);
        for (uint64_t s = 0; s < noise.SampleCount(); ++s)
            noise.samples[s] = static_cast<uint16_t>(random() % density == 0 ? 32768 + random() % 32000 : random() % 32768);
        cases.push_back({"noise", std::move(noise), static_cast<uint32_t>(1 + random() % 24)});
    }
    for (GlyphBitmap& glyph : RenderDejaVu("g@W&%s", 40, 16))
        cases.push_back({"DejaVu glyph", std::move(glyph), 20});

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ExpectMatchesReference(c.bitmap, c.spread);
    }
}

TEST(DistanceField, ManyGlyphsGiveTheSameFieldsOnAnyNumberOfThreads)
{
    std::vector<GlyphBitmap> glyphs = RenderDejaVu("ABCDEFGHIJKLMNOPQRSTUVWXYZabc", 32, 12);
    ASSERT_EQ(glyphs.size(), 29u);
    std::vector<GlyphBitmap> expected = glyphs;
    for (GlyphBitmap& glyph : expected)
        GenerateDistanceField(glyph, 16);

    for (uint32_t threads : {1u, 3u, 8u, 0u})
    {
        SCOPED_TRACE(threads);
        std::vector<GlyphBitmap> fields = glyphs;
        std::vector<size_t> progress;
        GenerateDistanceFields(fields, 16, threads, [&](size_t done) { progress.push_back(done); });
        for (size_t g = 0; g < fields.size(); ++g)
            EXPECT_EQ(Samples(fields[g]), Samples(expected[g])) << "glyph " << g;
        std::vector<size_t> everyCount(glyphs.size());
        for (size_t k = 0; k < everyCount.size(); ++k)
            everyCount[k] = k + 1;
        EXPECT_EQ(progress, everyCount);
    }

    std::vector<GlyphBitmap> none;
    GenerateDistanceFields(none, 16, 4, [](size_t) { ADD_FAILURE() << "no progress without glyphs"; });
}
