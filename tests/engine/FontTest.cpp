#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "Font.h"
#include "LogChannel.h"
#include "LogWatch.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "Texture.h"

namespace
{
namespace fs = std::filesystem;

void InstallDejaVu(const std::string& asName)
{
    fs::create_directories("Fonts");
    fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "Fonts/" + asName, fs::copy_options::overwrite_existing);
}

// Small enough to build in milliseconds, large enough for ten glyphs on two shelves.
Font::BuildSettings SmallBuild()
{
    Font::BuildSettings settings;
    settings.atlasWidth = 512;
    settings.atlasHeight = 256;
    settings.pixelHeight = 24;
    settings.padding = 12;
    settings.spread = 16;
    return settings;
}
} // namespace

TEST(Font, MetaFileHasOneLineOfACodeAndNineFloatsPerGlyphInCodeOrder)
{
    const ScratchFolder folder;
    Font font;
    font.glyphs[66] = Glyph{0.5f, 0.25f, 0.0625f, 1.0f, 0.4375f, 0.95f, 1.45f, 1.7f, 0.37f};
    font.glyphs[32] = Glyph{0.00012207031f, 1.2345678e-05f, 1234567.0f, 0, 0, 0, 0, 0, 0.333333343f};
    fs::create_directories("Fonts");
    ASSERT_TRUE(font.WriteMeta("Meta"));
    EXPECT_EQ(ReadFile("Fonts/Meta.fontMeta"), "32 0.00012207 1.23457e-05 1.23457e+06 0 0 0 0 0 0.333333\n"
                                               "66 0.5 0.25 0.0625 1 0.4375 0.95 1.45 1.7 0.37\n");

    Font again;
    ASSERT_TRUE(again.ReadMeta("Meta"));
    ASSERT_EQ(again.glyphs.size(), 2u);
    EXPECT_EQ(again.glyphs[66].vBottom, 1.0f);
    EXPECT_EQ(again.glyphs[66].advance, 0.37f);
    EXPECT_EQ(again.glyphs[32].uRight, 1234570.0f); // six significant digits survive the cache
}

TEST(Font, ReadingMetaStopsAtTheFirstIncompleteRecord)
{
    const ScratchFolder folder;
    const std::string good = "65 0 0 0.1 0.1 0 0.5 0.25 0.5 0.3\n";
    const struct
    {
        const char* name;
        std::string text;
        std::vector<uint16_t> codes;
    } cases[] = {
        {"missing float", good + "66 0 0 0.1 0.1 0 0.5 0.25 0.5\n67 0 0 0.1 0.1 0 0.5 0.25 0.5 0.3\n", {65}},
        {"repeated code keeps the first", good + "65 9 9 9 9 9 9 9 9 9\n66 0 0 0 0 0 0 0 0 0\n", {65, 66}},
        {"code beyond 16 bits", good + "65601 0 0 0 0 0 0 0 0 0\n66 0 0 0 0 0 0 0 0 0\n", {65}},
        {"negative code", "-1 0 0 0 0 0 0 0 0 0\n" + good, {}},
        {"word for a float", good + "66 0 0 x 0 0 0 0 0 0\n", {65}},
        {"not a finite float", good + "66 0 0 inf 0 0 0 0 0 0\n", {65}},
        {"blank lines and Windows line ends", "\n" + std::string("65 0 0 0.1 0.1 0 0.5 0.25 0.5 0.3\r\n\r\n"), {65}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteFile("Fonts/Damaged.fontMeta", c.text);
        Font font;
        font.glyphs[120] = Glyph{};
        ASSERT_TRUE(font.ReadMeta("Damaged"));
        std::vector<uint16_t> codes;
        for (const auto& entry : font.glyphs)
            codes.push_back(entry.first);
        EXPECT_EQ(codes, c.codes);
        if (font.glyphs.count(65) != 0)
        {
            EXPECT_EQ(font.glyphs[65].advance, 0.3f);
        }
    }

    Font untouched;
    untouched.glyphs[120] = Glyph{};
    EXPECT_FALSE(untouched.ReadMeta("NoSuchFont"));
    EXPECT_EQ(untouched.glyphs.size(), 1u);
}

TEST(Font, BuildWritesBothCacheFilesAndKeepsThePlacedGlyphs)
{
    const ScratchFolder folder;
    InstallDejaVu("DejaVuSans.ttf");
    // Ten codes the font has and 85 it lacks (private use): 95 asked for, 10 built.
    Font font;
    font.RequestCodes('A', 'J');
    font.RequestCodes(0xE000, 0xE054);
    ASSERT_EQ(font.glyphs.size(), 95u);

    const LogWatch info(InfoLog);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(font.BuildCache("DejaVuSans", SmallBuild()));
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_search(console, std::regex("^Font \"DejaVuSans\" opened from TrueType file\\.\n"
                                                      "Font \"DejaVuSans\" contains [0-9]+ glyphs\\.\n")))
        << console;

    const std::vector<std::string> lines = info.Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "First time set up, creating font distance field. Sorry for the delay, won't happen again!");
    EXPECT_EQ(lines[1], "Processing font, completed glyphs 10 out of 95");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("\"Distance field generation\" finished in [0-9]+ milliseconds\\."))) << lines[2];
    EXPECT_EQ(lines[3], "Successfully loaded 10 glyphs from \"DejaVuSans\".");
    EXPECT_TRUE(std::regex_match(lines[4], std::regex("Max glyph height [0-9]+"))) << lines[4];

    std::vector<uint16_t> codes;
    for (const auto& entry : font.glyphs)
        codes.push_back(entry.first);
    EXPECT_EQ(codes, (std::vector<uint16_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'}));

    // The cached metrics are the built ones to six digits.
    Font cached;
    ASSERT_TRUE(cached.ReadMeta("DejaVuSans"));
    ASSERT_EQ(cached.glyphs.size(), 10u);
    for (const auto& [code, glyph] : font.glyphs)
    {
        EXPECT_NEAR(cached.glyphs[code].uLeft, glyph.uLeft, 1e-6f);
        EXPECT_NEAR(cached.glyphs[code].advance, glyph.advance, 1e-6f);
        EXPECT_GT(glyph.advance, 0.0f);
        EXPECT_EQ(glyph.width, std::round(glyph.width / 0.0025f) * 0.01f * 0.25f);
    }

    // The halved atlas holds each glyph inside its rectangle and nothing outside them all.
    ByteBlob blob;
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(Texture::ReadAtlas("DejaVuSans_distance.dat", blob, width, height));
    ASSERT_EQ(width, 256u);
    ASSERT_EQ(height, 128u);
    auto sample = [&](uint32_t x, uint32_t y) {
        const uint8_t* at = blob.data + blob.readCursor + 2 * (y * width + x);
        return static_cast<uint16_t>(at[0] | at[1] << 8);
    };
    std::vector<bool> covered(width * height, false);
    for (const auto& [code, glyph] : font.glyphs)
    {
        SCOPED_TRACE(static_cast<char>(code));
        // A glyph at an odd full-size texel shares its first halved texel with its neighbour.
        const uint32_t left = static_cast<uint32_t>(std::floor(glyph.uLeft * width));
        const uint32_t right = static_cast<uint32_t>(std::ceil(glyph.uRight * width));
        const uint32_t top = static_cast<uint32_t>(std::floor(glyph.vTop * height));
        const uint32_t bottom = static_cast<uint32_t>(std::ceil(glyph.vBottom * height));
        uint16_t highest = 0;
        for (uint32_t y = top; y < bottom; ++y)
            for (uint32_t x = left; x < right; ++x)
            {
                highest = std::max(highest, sample(x, y));
                covered[y * width + x] = true;
            }
        EXPECT_GT(highest, 32767);
    }
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            if (!covered[y * width + x])
            {
                ASSERT_EQ(sample(x, y), 0) << x << ", " << y;
            }
        }

    // A second build of the same font gives the same files, byte for byte.
    const std::string meta = ReadFile("Fonts/DejaVuSans.fontMeta");
    const std::string atlas = ReadFile("Fonts/DejaVuSans_distance.dat");
    Font second;
    second.RequestCodes('A', 'J');
    second.RequestCodes(0xE000, 0xE054);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(second.BuildCache("DejaVuSans", SmallBuild()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ReadFile("Fonts/DejaVuSans.fontMeta"), meta);
    EXPECT_TRUE(ReadFile("Fonts/DejaVuSans_distance.dat") == atlas);
}

TEST(Font, OpenTypeFileIsOpenedWhenThereIsNoTrueTypeFile)
{
    const ScratchFolder folder;
    InstallDejaVu("Other.otf");
    Font font;
    font.RequestCodes('a', 'c');
    const LogWatch info(InfoLog);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(font.BuildCache("Other", SmallBuild()));
    const std::string console = testing::internal::GetCapturedStdout();
    ASSERT_FALSE(info.Lines().empty());
    EXPECT_EQ(info.Lines()[0], "Font \"Other\" opened from OpenType file.");
    EXPECT_EQ(console.find("TrueType"), std::string::npos);
    EXPECT_EQ(font.glyphs.size(), 3u);
}

TEST(Font, FailedBuildLogsWhyAndKeepsTheGlyphsAskedFor)
{
    const ScratchFolder folder;
    InstallDejaVu("DejaVuSans.ttf");
    Font::BuildSettings noAtlas = SmallBuild();
    noAtlas.atlasWidth = 0;
    // The font file that fails to load is the known error; settings that cannot make an atlas
    // are our own warning.
    const struct
    {
        const char* name;
        const char* font;
        Font::BuildSettings settings;
        const LogChannel& channel;
        const char* message;
    } cases[] = {
        {"no font file", "Missing", SmallBuild(), ErrorLog, "[Font.cpp:131]Error: The font file \"Missing\" failed to load."},
        {"no atlas", "DejaVuSans", noAtlas, WarningLog, "[Font.cpp:263]Font \"DejaVuSans\" cannot be built into a 0 by "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        fs::remove(std::string("Fonts/") + c.font + ".fontMeta");
        Font font;
        font.RequestCodes('A', 'E');
        const LogWatch errors(ErrorLog);
        const LogWatch warnings(WarningLog);
        const LogWatch& logged = &c.channel == &ErrorLog ? errors : warnings;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(font.BuildCache(c.font, c.settings));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(errors.Lines().size() + warnings.Lines().size(), 1u);
        ASSERT_EQ(logged.Lines().size(), 1u);
        EXPECT_TRUE(logged.Lines()[0].starts_with(c.message)) << logged.Lines()[0];
        EXPECT_EQ(font.glyphs.size(), 5u);
        EXPECT_FALSE(fs::exists(std::string("Fonts/") + c.font + ".fontMeta"));
    }
}

TEST(Font, RunningOutOfAtlasSpaceWarnsAndKeepsThePlacedGlyphs)
{
    const ScratchFolder folder;
    InstallDejaVu("DejaVuSans.ttf");
    Font::BuildSettings cramped = SmallBuild();
    cramped.atlasWidth = 128;
    cramped.atlasHeight = 128;
    Font font;
    font.RequestCodes('A', 'Z');
    const LogWatch warnings(WarningLog);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(font.BuildCache("DejaVuSans", cramped));
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(warnings.Lines().size(), 1u);
    const std::string expected = "[Font.cpp:249]Ran out of texture space. " + std::to_string(26 - font.glyphs.size()) + " glyphs unwritten.";
    EXPECT_EQ(warnings.Lines()[0], expected);
    EXPECT_GT(font.glyphs.size(), 0u);
    EXPECT_LT(font.glyphs.size(), 26u);
    Font cached;
    ASSERT_TRUE(cached.ReadMeta("DejaVuSans"));
    EXPECT_EQ(cached.glyphs.size(), font.glyphs.size());
}
