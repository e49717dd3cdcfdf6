#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "DistanceField.h"
#include "FolderAsFound.h"
#include "Font.h"
#include "FontAtlas.h"
#include "FrameBuffer.h"
#include "GLTestWindow.h"
#include "GlyphBitmap.h"
#include "LogWatch.h"
#include "Mesh.h"
#include "Shader.h"
#include "TestFiles.h"
#include "Texture.h"

namespace
{
namespace fs = std::filesystem;

void InstallDejaVu(const std::string& name)
{
    fs::create_directories("Fonts");
    fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "Fonts/" + name + ".ttf", fs::copy_options::overwrite_existing);
}

// A quick build: the game's pipeline at a small size.
void LoadSmall(Font& font, const std::string& name, uint32_t pixelHeight = 24)
{
    testing::internal::CaptureStdout();
    font.Load(name, 512, 256, pixelHeight, 12, 16, 1);
    testing::internal::GetCapturedStdout();
}

std::vector<uint16_t> AtlasTexels(const Font& font, GLint& width, GLint& height, GLint& format)
{
    glBindTexture(GL_TEXTURE_2D, font.atlas->id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    std::vector<uint16_t> texels(static_cast<size_t>(width) * static_cast<size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 2);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_SHORT, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return texels;
}

class FontGL : public testing::Test
{
protected:
    FolderAsFound runtimeTree; // the font files and caches a test writes go with it
    GLTestWindow window;
};
} // namespace

// The one build of the whole game font: its 95 glyphs, checked against the plain algorithm.
TEST_F(FontGL, GameFontIsBuiltOnTheFirstStartAndReadFromItsCacheAfterwards)
{
    ASSERT_TRUE(fs::exists("Fonts/Atkinson-Hyperlegible-Bold-102.ttf")) << "the run-time tree lacks the game font";
    const LogWatch firstInfo(InfoLog);
    const LogWatch firstWarnings(WarningLog);
    Font built;
    testing::internal::CaptureStdout();
    built.LoadGameFont();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(built.HasAtlas());
    EXPECT_EQ(built.glyphs.size(), 95u);
    EXPECT_TRUE(firstWarnings.Lines().empty());
    for (int done = 10; done <= 90; done += 10)
        EXPECT_TRUE(firstInfo.Saw("Processing font, completed glyphs " + std::to_string(done) + " out of 95")) << done;
    EXPECT_TRUE(firstInfo.Saw("Successfully loaded 95 glyphs from \"Atkinson-Hyperlegible-Bold-102\"."));

    GLint width = 0, height = 0, format = 0;
    const std::vector<uint16_t> texels = AtlasTexels(built, width, height, format);
    EXPECT_EQ(width, 4096);
    EXPECT_EQ(height, 2048);
    EXPECT_EQ(format, GL_R16);

    // The same atlas from the plain algorithm, packed and halved the same way.
    Font plain;
    plain.RequestCodes(32, 126);
    std::vector<GlyphBitmap> bitmaps;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(plain.RenderBitmaps(Font::GameFontName, Font::BuildSettings{}, bitmaps));
    testing::internal::GetCapturedStdout();
    for (GlyphBitmap& bitmap : bitmaps)
        GenerateDistanceFieldReference(bitmap, 192);
    std::stable_sort(bitmaps.begin(), bitmaps.end(), Font::CompareGlyphHeight);
    DynArray<uint16_t> image = FontAtlas::MakeImage(8192, 4096);
    const auto placements = FontAtlas::PackShelves(bitmaps, 8192, 4096, FontAtlas::StopMargin(bitmaps, 180));
    ASSERT_EQ(placements.size(), 95u);
    for (const FontAtlas::Placement& place : placements)
        FontAtlas::CopyInto(image, 8192, bitmaps[place.bitmap], place.x, place.y);
    const DynArray<uint16_t> expected = FontAtlas::Halve(image, 8192, 4096);
    ASSERT_EQ(texels.size(), expected.count);
    EXPECT_TRUE(std::equal(texels.begin(), texels.end(), expected.begin())) << "the atlas differs from the plain algorithm's";

    // A later start reads the cache and builds nothing.
    const LogWatch laterInfo(InfoLog);
    Font cached;
    testing::internal::CaptureStdout();
    cached.LoadGameFont();
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(cached.HasAtlas());
    EXPECT_FALSE(laterInfo.Saw("First time set up"));
    EXPECT_EQ(console.find("opened from"), std::string::npos);
    ASSERT_EQ(cached.glyphs.size(), built.glyphs.size());
    for (const auto& [code, glyph] : built.glyphs)
        EXPECT_EQ(std::memcmp(&cached.glyphs[code], &glyph, sizeof(Glyph)), 0) << "code " << code;
}

TEST_F(FontGL, UnusableCachedAtlasIsBuiltAgain)
{
    InstallDejaVu("Small");
    Font first;
    first.RequestCodes('A', 'Z');
    LoadSmall(first, "Small");
    ASSERT_TRUE(first.HasAtlas());
    const std::string atlasBytes = ReadFile("Fonts/Small_distance.dat");
    ASSERT_GT(atlasBytes.size(), 24u);

    const struct
    {
        const char* name;
        std::string bytes; // empty: no file at all
    } damages[] = {
        {"missing", ""},
        {"cut short", atlasBytes.substr(0, atlasBytes.size() / 2)},
        {"not a blob", "this is no atlas at all"},
        {"bit flipped", [&] {
             std::string flipped = atlasBytes;
             flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x40);
             return flipped;
         }()},
    };
    for (const auto& damage : damages)
    {
        SCOPED_TRACE(damage.name);
        fs::remove("Fonts/Small_distance.dat");
        if (!damage.bytes.empty())
            std::ofstream("Fonts/Small_distance.dat", std::ios::binary) << damage.bytes;
        const LogWatch info(InfoLog);
        Font again;
        again.RequestCodes('A', 'Z');
        LoadSmall(again, "Small");
        EXPECT_TRUE(info.Saw("The cached atlas of font \"Small\" is unusable, so the font is built again."));
        EXPECT_TRUE(info.Saw("First time set up"));
        ASSERT_TRUE(again.HasAtlas());
        EXPECT_EQ(again.glyphs.size(), 26u);
        EXPECT_TRUE(ReadFile("Fonts/Small_distance.dat") == atlasBytes);
    }
}

TEST_F(FontGL, FontThatCannotBeBuiltHasNoAtlasAndDrawsNothing)
{
    // No font file at all; then a cache whose atlas is gone and whose font file is gone too.
    std::ofstream("Fonts/Gone.fontMeta") << "65 0.1 0.1 0.2 0.2 0 0.5 0.25 0.5 0.3\n";
    for (const char* name : {"Nowhere", "Gone"})
    {
        SCOPED_TRACE(name);
        Font font;
        font.RequestCodes('A', 'C');
        LoadSmall(font, name);
        EXPECT_FALSE(font.HasAtlas());
        EXPECT_FALSE(font.BindAtlas(0));
        ASSERT_EQ(font.glyphs.size(), 3u);
        Mesh text;
        text.AddText("ABC", {1.0f, 2.0f}, 1.0f, font);
        for (const MeshVertex& vertex : text.vertices)
            EXPECT_TRUE(vertex.x == 1.0f && vertex.y == 2.0f) << "every quad is empty";
    }
}

TEST_F(FontGL, TextDrawnThroughAMeshLightsThePixelsOfItsGlyphs)
{
    InstallDejaVu("Big");
    Font font;
    font.RequestCodes('A', 'Z');
    LoadSmall(font, "Big", 64);
    ASSERT_TRUE(font.HasAtlas());

    FrameBuffer target(ComponentUnsigned8, 4);
    GLTestWindow::DrawInto(target, 128, 128, glm::vec4(0, 0, 0, 0));

    Shader textureShader("BaseShaders/Texture.vsd", "BaseShaders/Texture.fsd");
    const glm::mat4 projection = glm::ortho(0.0f, 1.28f, -0.64f, 0.64f, -1.0f, 1.0f); // 0.01 world units a pixel
    GLTestWindow::UseWithProjection(textureShader, projection);
    ASSERT_TRUE(font.BindAtlas(0));

    Mesh text;
    text.CreateBuffer();
    text.AddText("IL", {0.1f, -0.2f}, 2.0f, font);
    text.Upload();
    text.Draw();

    const std::vector<uint8_t> pixels = GLTestWindow::ReadPixels(128, 128);
    auto red = [&](float worldX, float worldY) {
        const int x = static_cast<int>(worldX / 0.01f);
        const int y = static_cast<int>((worldY + 0.64f) / 0.01f);
        return pixels[(static_cast<size_t>(y) * 128 + static_cast<size_t>(x)) * 4];
    };
    // The stem of "I" runs through the middle of its quad; beside the stem the field falls off.
    const Glyph& i = font.glyphs['I'];
    const float stemX = 0.1f + (i.offsetX + i.width / 2) * 2.0f;
    const float stemY = -0.2f + (i.offsetY - i.height / 2) * 2.0f;
    EXPECT_GT(red(stemX, stemY), 140);
    EXPECT_LT(red(0.1f + (i.offsetX + i.width * 0.1f) * 2.0f, stemY), 110);
    // Nothing is drawn outside the quads: left of the text and above it.
    EXPECT_EQ(red(0.02f, 0.0f), 0);
    EXPECT_EQ(red(0.5f, 0.6f), 0);

    size_t lit = 0;
    for (size_t p = 0; p < pixels.size(); p += 4)
        lit += pixels[p] > 127;
    EXPECT_GT(lit, 100u); // the two letters, well above a few stray texels
}

// The cache stands for a build only when it is whole and covers the codes asked for; anything
// less is built again, never trusted.
TEST_F(FontGL, IncompleteCachedMetricsAreBuiltAgain)
{
    InstallDejaVu("Small");
    Font first;
    first.RequestCodes('A', 'Z');
    LoadSmall(first, "Small");
    ASSERT_TRUE(first.HasAtlas());
    const std::string meta = ReadFile("Fonts/Small.fontMeta");
    ASSERT_EQ(std::count(meta.begin(), meta.end(), '\n'), 26);

    const struct
    {
        const char* what;
        std::string damaged;
        uint16_t lastCode; // the codes asked for run from 'A' to this
    } cases[] = {
        {"empty", "", 'Z'},
        {"cut short inside its last line", meta.substr(0, meta.size() - 7), 'Z'},
        {"cut short after a whole line", meta.substr(0, meta.find("\n70 ") + 1), 'Z'},
        {"made for fewer codes than asked for", meta, 'z'},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::ofstream("Fonts/Small.fontMeta", std::ios::binary | std::ios::trunc) << c.damaged;
        const LogWatch info(InfoLog);
        Font again;
        again.RequestCodes('A', c.lastCode);
        LoadSmall(again, "Small");
        EXPECT_TRUE(info.Saw("The cached metrics of font \"Small\" are incomplete, so the font is built again."));
        EXPECT_TRUE(info.Saw("First time set up"));
        ASSERT_TRUE(again.HasAtlas());
        EXPECT_EQ(again.glyphs.size(), static_cast<size_t>(c.lastCode - 'A' + 1));
    }
}

// Codes the font lacks are remembered as absent, so a font without them is not built at every
// start; and the cache files are never left half written.
TEST_F(FontGL, CacheRemembersAbsentCodesAndIsWrittenWhole)
{
    InstallDejaVu("Small");
    Font first;
    first.RequestCodes('A', 'C');
    first.RequestCodes(0xE000, 0xE001); // private use: DejaVu has none
    LoadSmall(first, "Small");
    ASSERT_TRUE(first.HasAtlas());
    EXPECT_EQ(first.glyphs.size(), 3u);
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator("Fonts"))
        if (entry.path().filename().string().find("Small") != std::string::npos)
            written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"Small.fontMeta", "Small.ttf", "Small_distance.dat"})) << "no temporary file is left";

    const LogWatch info(InfoLog);
    Font cached;
    cached.RequestCodes('A', 'C');
    cached.RequestCodes(0xE000, 0xE001);
    LoadSmall(cached, "Small");
    EXPECT_TRUE(cached.HasAtlas());
    EXPECT_FALSE(info.Saw("First time set up"));
    EXPECT_EQ(cached.glyphs.size(), 3u);

    // An atlas that cannot be written leaves no metrics behind to vouch for it.
    fs::remove("Fonts/Small.fontMeta");
    fs::remove("Fonts/Small_distance.dat");
    fs::create_directories("Fonts/Small_distance.dat/in-the-way");
    const LogWatch warnings(WarningLog);
    Font unwritable;
    unwritable.RequestCodes('A', 'C');
    LoadSmall(unwritable, "Small");
    EXPECT_TRUE(
        warnings.Saw("[FontAtlas.cpp:131]Failed to write the font atlas \"Fonts/Small_distance.dat\": it could not replace the old one: "));
    EXPECT_FALSE(unwritable.HasAtlas());
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator("Fonts"))
        if (entry.path().filename().string().find("Small") != std::string::npos)
            left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Small.ttf", "Small_distance.dat"})) << "no metrics, no temporary file";
}

// The atlas read ahead of the window is the cached one, texel for texel; and a cache about to be
// built again is never taken from the read-ahead.
TEST_F(FontGL, AtlasReadAheadIsTheCachedOneUnlessTheCacheIsBuiltAgain)
{
    InstallDejaVu("Small");
    Font first;
    first.RequestCodes('A', 'Z');
    LoadSmall(first, "Small");
    ASSERT_TRUE(first.HasAtlas());
    GLint width = 0, height = 0, format = 0;
    const std::vector<uint16_t> cachedTexels = AtlasTexels(first, width, height, format);

    {
        const LogWatch verbose(VerboseLog);
        Font::PrefetchCachedAtlas("Small");
        Font ahead;
        ahead.RequestCodes('A', 'Z');
        LoadSmall(ahead, "Small");
        EXPECT_TRUE(verbose.Saw("Texture: Small_distance.dat read ahead of the window"));
        ASSERT_TRUE(ahead.HasAtlas());
        GLint aheadWidth = 0, aheadHeight = 0, aheadFormat = 0;
        EXPECT_TRUE(AtlasTexels(ahead, aheadWidth, aheadHeight, aheadFormat) == cachedTexels);
        EXPECT_EQ(aheadFormat, GL_R16);
    }
    {
        const LogWatch info(InfoLog);
        const LogWatch verbose(VerboseLog);
        Font::PrefetchCachedAtlas("Small");
        Font more;
        more.RequestCodes('A', 'z'); // more than the cache holds: built again
        LoadSmall(more, "Small");
        EXPECT_TRUE(info.Saw("First time set up"));
        EXPECT_FALSE(verbose.Saw("read ahead"));
        ASSERT_TRUE(more.HasAtlas());
        EXPECT_EQ(more.glyphs.size(), 58u);
        EXPECT_FALSE(AtlasTexels(more, width, height, format) == cachedTexels);
    }
}

// However the atlas texture is made (just built, read ahead of the window, or read from the cache
// as it is loaded), it is reported by the same one line, with the texture's own id.
TEST_F(FontGL, EveryWayOfMakingTheAtlasLogsItsTexture)
{
    InstallDejaVu("Small");
    const struct
    {
        const char* way;
        bool removeCache;
        bool readAhead;
        const char* verbose; // how the verbose log tells this way from the others
    } ways[] = {{"just built", true, false, "loaded from the build just made"},
                {"read from the cache", false, false, nullptr},
                {"read ahead", false, true, "read ahead of the window"}};
    for (const auto& way : ways)
    {
        SCOPED_TRACE(way.way);
        if (way.removeCache)
            fs::remove("Fonts/Small.fontMeta");
        if (way.readAhead)
            Font::PrefetchCachedAtlas("Small");
        const LogWatch info(InfoLog);
        const LogWatch verbose(VerboseLog);
        Font font;
        font.RequestCodes('A', 'C');
        LoadSmall(font, "Small");
        ASSERT_TRUE(font.HasAtlas());
        EXPECT_EQ(info.Saw("First time set up"), way.removeCache);
        for (const char* other : {"loaded from the build just made", "read ahead of the window"})
            EXPECT_EQ(verbose.Saw(other), way.verbose != nullptr && std::string(other) == way.verbose) << other;
        std::vector<std::string> textureLines;
        for (const std::string& line : info.Lines())
            if (line.starts_with("Texture: "))
                textureLines.push_back(line);
        EXPECT_EQ(textureLines,
                  std::vector<std::string>{"Texture: Small_distance.dat loaded with OpenGL resource ID: " + std::to_string(font.atlas->id)});
    }
}
