#include "Font.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <memory>
#include <sstream>
#include <string_view>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <glad/gl.h>
#include <zlib.h>

#include "ByteBlob.h"
#include "DistanceField.h"
#include "FontAtlas.h"
#include "GlyphBitmap.h"
#include "LogChannel.h"
#include "MipChain.h"
#include "ScopedTimer.h"
#include "Texture.h"
#include "Utilities.h"

namespace
{
std::string MetaPath(const std::string& name)
{
    return "Fonts/" + name + ".fontMeta";
}

std::string AtlasName(const std::string& name)
{
    return name + "_distance.dat";
}

// The master renderings are 8-bit coverage; 1-bit renderings (embedded bitmap strikes) count as
// full coverage where set. Rows are read `pitch` bytes apart, which is the width for FreeType's
// own renderings but not necessarily for embedded strikes.
bool CopyCoverage(const FT_Bitmap& rendered, GlyphBitmap& bitmap, int32_t padding)
{
    const bool grey = rendered.pixel_mode == FT_PIXEL_MODE_GRAY;
    const bool mono = rendered.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!grey && !mono)
        return false;
    const int32_t rows = static_cast<int32_t>(rendered.rows);
    const int32_t columns = static_cast<int32_t>(rendered.width);
    const int64_t pitch = rendered.pitch;
    if (rendered.buffer == nullptr || rows == 0 || columns == 0)
        return true;
    // A negative pitch means the rows are stored bottom-up from `buffer`.
    const unsigned char* topRow = pitch >= 0 ? rendered.buffer : rendered.buffer + (rows - 1) * -pitch;
    for (int32_t r = 0; r < rows; ++r)
    {
        const unsigned char* row = topRow + r * pitch;
        for (int32_t c = 0; c < columns; ++c)
        {
            const uint32_t coverage = grey ? row[c] : ((row[c >> 3] >> (7 - (c & 7))) & 1u) * 255u;
            bitmap.At(c + padding, r + padding) = static_cast<uint16_t>(coverage * 256u);
        }
    }
    return true;
}

bool ParseCode(std::string_view field, uint16_t& code)
{
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || value > 0xFFFF)
        return false;
    code = static_cast<uint16_t>(value);
    return true;
}

bool ParseFloat(std::string_view field, float& value)
{
    float parsed = 0.0f;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), parsed);
    if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

// The cached atlas read ahead by `Font::PrefetchCachedAtlas`: its name and the samples, or nothing
// when it could not be read.
struct PrefetchedAtlas
{
    std::unique_ptr<uint8_t[]> payload; ///< u32 width, u32 height, the samples
    const uint16_t* samples = nullptr;  ///< into the payload
    uint32_t width = 0;
    uint32_t height = 0;
    MipChain mipmaps; ///< the levels below the samples
};
std::string prefetchedName;
std::future<PrefetchedAtlas> prefetched;

// Reads "Fonts/" + atlasName as `Texture::ReadAtlas` would, without logging (it runs beside the
// main thread): the byte-blob header, the deflated payload inflated straight into the samples.
PrefetchedAtlas ReadAtlasQuietly(const std::string& atlasName)
{
    PrefetchedAtlas result;
    std::ifstream file("Fonts/" + atlasName, std::ios::binary);
    if (!file)
        return result;
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    file.seekg(0, std::ios::beg);
    if (length < static_cast<std::streamoff>(ByteBlob::HeaderSize) || length > static_cast<std::streamoff>(UINT32_MAX))
        return result;
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(length)]);
    if (!file.read(reinterpret_cast<char*>(bytes.get()), length))
        return result;
    uint32_t header[2];
    std::memcpy(header, bytes.get(), sizeof(header));
    const uint32_t payloadCount = header[1];
    if (header[0] != ByteBlob::DeflatedMagic || payloadCount < 8)
        return result;
    const uint64_t deflatedLength = static_cast<uint64_t>(length) - ByteBlob::HeaderSize;
    if (payloadCount > deflatedLength * 1032 + 64)
        return result; // more than deflate can give from this payload: corrupt
    std::unique_ptr<uint8_t[]> payload(new uint8_t[payloadCount]);
    uLongf inflated = payloadCount;
    if (uncompress(payload.get(), &inflated, bytes.get() + ByteBlob::HeaderSize, static_cast<uLong>(deflatedLength)) != Z_OK ||
        inflated != payloadCount)
        return result;
    uint32_t dimensions[2];
    std::memcpy(dimensions, payload.get(), sizeof(dimensions));
    const uint64_t sampleCount = static_cast<uint64_t>(dimensions[0]) * dimensions[1];
    if (dimensions[0] == 0 || dimensions[1] == 0 || dimensions[0] > Texture::MaxAtlasSide || dimensions[1] > Texture::MaxAtlasSide ||
        sampleCount * sizeof(uint16_t) > payloadCount - 8)
        return result;
    result.samples = reinterpret_cast<const uint16_t*>(payload.get() + 8); // new[] is aligned for far more
    result.payload = std::move(payload);
    result.width = dimensions[0];
    result.height = dimensions[1];
    result.mipmaps = MipChain::Build(result.samples, result.width, result.height, 1, sizeof(uint16_t));
    return result;
}

bool SettingsAreUsable(const Font::BuildSettings& settings)
{
    // The halved atlas has to be a texture the loader accepts, and a padded master rendering has
    // to fit the 32-bit sizes of a glyph bitmap.
    const uint32_t largestAtlasSide = 2 * Texture::MaxAtlasSide;
    return settings.atlasWidth >= 2 && settings.atlasHeight >= 2 && settings.atlasWidth <= largestAtlasSide &&
           settings.atlasHeight <= largestAtlasSide && settings.pixelHeight >= 1 && settings.pixelHeight <= 4096 &&
           settings.padding <= 4096 && settings.spread >= 1 && settings.spread <= MaxDistanceFieldSpread;
}
} // namespace

Font::~Font()
{
    ReleaseAtlas();
}

void Font::RequestCodes(uint16_t first, uint16_t last)
{
    for (uint32_t code = first; code <= last; ++code)
        glyphs.emplace(static_cast<uint16_t>(code), Glyph{});
}

void Font::LoadGameFont()
{
    RequestCodes(32, 126);
    const BuildSettings game;
    Load(GameFontName, game.atlasWidth, game.atlasHeight, game.pixelHeight, game.padding, game.spread, game.finalValue);
}

void Font::Load(std::string name, uint32_t atlasWidth, uint32_t atlasHeight, uint32_t pixelHeight, uint32_t padding, uint32_t spread,
                uint32_t finalValue)
{
    ReleaseAtlas();
    std::map<uint16_t, Glyph> requested;
    for (const auto& entry : glyphs)
        requested.emplace(entry.first, Glyph{});

    MetaReading reading;
    if (ReadMeta(name, reading))
    {
        // A cache that was cut short, or made for other codes, is not trusted: the text would
        // lack glyphs that a build would give it.
        if (!CacheCovers(reading, requested))
        {
            InfoLog << "The cached metrics of font \"" << name << "\" are incomplete, so the font is built again.";
            InfoLog.EndMessage();
        }
        else if (LoadAtlas(name))
        {
            return;
        }
        else
        {
            InfoLog << "The cached atlas of font \"" << name << "\" is unusable, so the font is built again.";
            InfoLog.EndMessage();
        }
        glyphs = requested;
    }

    // An atlas read ahead belongs to the cache that is about to be replaced.
    if (prefetched.valid() && prefetchedName == name)
        prefetched.get();

    const BuildSettings settings{atlasWidth, atlasHeight, pixelHeight, padding, spread, finalValue};
    // The font always ends with what a later start reads from the cache.
    const bool loaded = BuildCache(name, settings) && ReadMeta(name) && LoadAtlas(name);
    // Uploaded or not, the build's copy of the atlas is not needed past this point.
    builtAtlas = FontAtlas::HalfAtlas();
    builtMipmaps = MipChain();
    if (loaded)
        return;
    // Quads without an atlas would sample whatever texture happens to be bound; empty glyphs draw
    // nothing at all.
    glyphs = requested;
}

bool Font::ReadMeta(const std::string& name)
{
    MetaReading reading;
    return ReadMeta(name, reading);
}

bool Font::ReadMeta(const std::string& name, MetaReading& reading)
{
    reading = MetaReading();
    std::ifstream file(MetaPath(name));
    if (!file.is_open())
        return false;
    glyphs.clear();
    // One record per line as written; a line that does not hold a whole record ends the reading
    // there, so that a damaged line cannot shift the fields of the lines after it.
    bool whole = true;
    std::string line;
    while (std::getline(file, line))
    {
        if (file.eof())
            whole = false; // the last line has no line feed: the file was cut short
        std::vector<std::string_view> fields = SplitFields(line, " \t\r\v\f");
        if (fields.empty())
            continue;
        if (fields[0] == "absent")
        {
            for (size_t k = 1; k < fields.size(); ++k)
            {
                uint16_t code = 0;
                if (ParseCode(fields[k], code))
                    reading.absent.insert(code);
                else
                    whole = false;
            }
            break; // the list of absent codes ends the file
        }
        uint16_t code = 0;
        Glyph glyph;
        float* values[] = {&glyph.uLeft, &glyph.vTop,    &glyph.uRight, &glyph.vBottom, &glyph.offsetX,
                           &glyph.offsetY, &glyph.width, &glyph.height, &glyph.advance};
        bool record = fields.size() >= 10 && ParseCode(fields[0], code);
        for (size_t k = 0; record && k < 9; ++k)
            record = ParseFloat(fields[k + 1], *values[k]);
        if (!record)
        {
            whole = false;
            break;
        }
        glyphs.emplace(code, glyph);
        if (fields.size() > 10)
        {
            whole = false;
            break; // what follows a record is no record
        }
    }
    reading.whole = whole && !glyphs.empty();
    return true;
}

bool Font::CacheCovers(const MetaReading& reading, const std::map<uint16_t, Glyph>& requested) const
{
    if (!reading.whole)
        return false;
    for (const auto& entry : requested)
    {
        if (glyphs.count(entry.first) == 0 && reading.absent.count(entry.first) == 0)
            return false;
    }
    return true;
}

bool Font::WriteMeta(const std::string& name) const
{
    return WriteMeta(name, {});
}

bool Font::WriteMeta(const std::string& name, const std::set<uint16_t>& absent) const
{
    std::ostringstream text;
    for (const auto& [code, glyph] : glyphs)
        text << code << ' ' << glyph.uLeft << ' ' << glyph.vTop << ' ' << glyph.uRight << ' ' << glyph.vBottom << ' ' << glyph.offsetX << ' '
             << glyph.offsetY << ' ' << glyph.width << ' ' << glyph.height << ' ' << glyph.advance << '\n';
    if (!absent.empty())
    {
        text << "absent";
        for (const uint16_t code : absent)
            text << ' ' << code;
        text << '\n';
    }
    // Replaced whole, so that a start never meets half a file.
    const bool written = ReplaceFileWhole(MetaPath(name), {text.str()});
    if (!written)
    {
        WarningLog << LogLocation(__FILE__, 191) << "Failed to write the font metrics \"" << MetaPath(name) << "\".";
        WarningLog.EndMessage();
    }
    return written;
}

bool Font::CompareGlyphHeight(const GlyphBitmap& a, const GlyphBitmap& b)
{
    return a.height < b.height;
}

bool Font::RenderBitmaps(const std::string& name, const BuildSettings& settings, std::vector<GlyphBitmap>& bitmaps) const
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
    {
        ErrorLog << LogLocation(__FILE__, 115) << "FreeType failed to initialise for some reason. That's pretty bad!";
        ErrorLog.EndMessage();
        return false;
    }
    FT_Face face = nullptr;
    const std::string trueTypePath = "Fonts/" + name + ".ttf";
    const std::string openTypePath = "Fonts/" + name + ".otf";
    if (FT_New_Face(library, trueTypePath.c_str(), 0, &face) == 0)
    {
        std::cout << "Font \"" << name << "\" opened from TrueType file." << std::endl;
    }
    else if (FT_New_Face(library, openTypePath.c_str(), 0, &face) == 0)
    {
        InfoLog << "Font \"" << name << "\" opened from OpenType file.";
        InfoLog.EndMessage();
    }
    else
    {
        ErrorLog << LogLocation(__FILE__, 131) << "Error: The font file \"" << name << "\" failed to load.";
        ErrorLog.EndMessage();
        FT_Done_FreeType(library);
        return false;
    }
    std::cout << "Font \"" << name << "\" contains " << face->num_glyphs << " glyphs." << std::endl;
    FT_Set_Pixel_Sizes(face, 0, settings.pixelHeight);

    const int32_t padding = static_cast<int32_t>(settings.padding);
    for (const auto& entry : glyphs)
    {
        const uint16_t code = entry.first;
        if (FT_Get_Char_Index(face, code) == 0 || FT_Load_Char(face, code, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        // A rendering wider or taller than any atlas could hold is a broken font, not a glyph.
        if (slot->bitmap.width > 2 * Texture::MaxAtlasSide || slot->bitmap.rows > 2 * Texture::MaxAtlasSide)
            continue;
        GlyphBitmap bitmap(static_cast<int32_t>(slot->bitmap.width) + 2 * padding, static_cast<int32_t>(slot->bitmap.rows) + 2 * padding);
        bitmap.bearingX = slot->bitmap_left;
        bitmap.bearingY = slot->bitmap_top;
        bitmap.padding = padding;
        bitmap.advance = static_cast<int32_t>(slot->advance.x);
        bitmap.code = code;
        if (bitmap.samples == nullptr || !CopyCoverage(slot->bitmap, bitmap, padding))
            continue; // a rendering we cannot read is treated as one that failed
        bitmaps.push_back(std::move(bitmap));
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return true;
}

bool Font::BuildCache(const std::string& name, const BuildSettings& settings)
{
    if (!SettingsAreUsable(settings))
    {
        WarningLog << LogLocation(__FILE__, 263) << "Font \"" << name << "\" cannot be built into a " << settings.atlasWidth << " by "
                   << settings.atlasHeight << " atlas at pixel height " << settings.pixelHeight << ", padding " << settings.padding
                   << " and spread " << settings.spread << ".";
        WarningLog.EndMessage();
        return false;
    }
    std::vector<GlyphBitmap> bitmaps;
    if (!RenderBitmaps(name, settings, bitmaps))
        return false;

    const size_t codesAskedFor = glyphs.size();
    ScopedTimer timer("Distance field generation");
    InfoLog << "First time set up, creating font distance field. Sorry for the delay, won't happen again!";
    InfoLog.EndMessage();
    GenerateDistanceFields(bitmaps, settings.spread, 0, [codesAskedFor](size_t completed) {
        if (completed % 10 == 0)
        {
            InfoLog << "Processing font, completed glyphs " << completed << " out of " << codesAskedFor;
            InfoLog.EndMessage();
        }
    });
    timer.Stop();
    InfoLog << "Successfully loaded " << bitmaps.size() << " glyphs from \"" << name << "\".";
    InfoLog.EndMessage();

    const int64_t margin = FontAtlas::StopMargin(bitmaps, settings.padding);
    InfoLog << "Max glyph height " << margin;
    InfoLog.EndMessage();

    // Glyphs of equal height keep their code order, so that two builds give the same files.
    std::stable_sort(bitmaps.begin(), bitmaps.end(), CompareGlyphHeight);

    std::set<uint16_t> absent;
    for (const auto& entry : glyphs)
        absent.insert(entry.first);
    glyphs.clear();
    const std::vector<FontAtlas::Placement> placements = FontAtlas::PackShelves(bitmaps, settings.atlasWidth, settings.atlasHeight, margin);
    if (placements.size() < bitmaps.size())
    {
        WarningLog << LogLocation(__FILE__, 249) << "Ran out of texture space. " << bitmaps.size() - placements.size()
                   << " glyphs unwritten.";
        WarningLog.EndMessage();
    }
    for (const FontAtlas::Placement& place : placements)
    {
        const GlyphBitmap& bitmap = bitmaps[place.bitmap];
        glyphs.emplace(bitmap.code, FontAtlas::MakeGlyph(bitmap, place.x, place.y, settings.atlasWidth, settings.atlasHeight));
    }
    FontAtlas::HalfAtlas half = FontAtlas::ComposeHalf(bitmaps, placements, settings.atlasWidth, settings.atlasHeight);
    bitmaps.clear();

    for (const auto& entry : glyphs)
        absent.erase(entry.first);
    // The mipmaps for the upload that follows are built while the atlas is deflated.
    std::future<MipChain> mipmaps = std::async(std::launch::async | std::launch::deferred, [&half]() {
        return MipChain::Build(half.samples.get(), half.width, half.height, 1, sizeof(uint16_t));
    });
    // The metrics are what tells a later start that the cache is there, so they are written only
    // once the atlas is; a stale pair is removed, so that the next start builds again.
    const bool atlasWritten = FontAtlas::WriteAtlasFile("Fonts/" + AtlasName(name), half.samples.get(), half.width, half.height);
    MipChain levelsBelow = mipmaps.get();
    if (!atlasWritten)
    {
        std::error_code ignored;
        std::filesystem::remove(MetaPath(name), ignored);
        return true;
    }
    WriteMeta(name, absent);
    // What was just written is what reading the file back would give; the start that built it
    // uploads it from memory rather than reading and inflating 16 MB again.
    builtAtlasName = name;
    builtAtlas = std::move(half);
    builtMipmaps = std::move(levelsBelow);
    return true;
}

bool Font::HasAtlas() const
{
    return atlas != nullptr && atlas->loaded;
}

bool Font::BindAtlas(uint32_t unit) const
{
    if (!HasAtlas())
        return false;
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, atlas->id);
    return true;
}

const Glyph& Font::GetGlyph(uint16_t code) const
{
    const auto found = glyphs.find(code);
    return found == glyphs.end() ? defaultGlyph : found->second;
}

void Font::PrefetchCachedAtlas(const std::string& name)
{
    if (prefetched.valid())
        return;
    prefetchedName = name;
    prefetched = std::async(std::launch::async, ReadAtlasQuietly, AtlasName(name));
}

bool Font::LoadAtlas(const std::string& name)
{
    ReleaseAtlas();
    Texture* texture = new Texture();
    if (builtAtlas.samples != nullptr && builtAtlasName == name)
    {
        VerboseLog << "Texture: " << AtlasName(name) << " loaded from the build just made";
        VerboseLog.EndMessage();
        texture->CreateFromTexels(builtAtlas.width, builtAtlas.height, ComponentUnsigned16, 1, builtAtlas.samples.get(), &builtMipmaps);
        texture->ReportLoaded(AtlasName(name));
        atlas = texture;
        return true;
    }
    if (prefetched.valid() && prefetchedName == name)
    {
        const PrefetchedAtlas ahead = prefetched.get();
        if (ahead.samples != nullptr)
        {
            VerboseLog << "Texture: " << AtlasName(name) << " read ahead of the window";
            VerboseLog.EndMessage();
            texture->CreateFromTexels(ahead.width, ahead.height, ComponentUnsigned16, 1, ahead.samples, &ahead.mipmaps);
            texture->ReportLoaded(AtlasName(name));
            atlas = texture;
            return true;
        }
    }
    texture->Load(AtlasName(name));
    if (!texture->loaded)
    {
        delete texture; // the loader has already deleted the GL texture and logged why
        return false;
    }
    atlas = texture;
    return true;
}

void Font::ReleaseAtlas()
{
    if (atlas == nullptr)
        return;
    atlas->Release();
    delete atlas;
    atlas = nullptr;
}
