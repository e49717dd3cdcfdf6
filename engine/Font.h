#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FontAtlas.h"
#include "Glyph.h"
#include "MipChain.h"

class GlyphBitmap;
class Texture;

/// The distance-field font of world text: glyph metrics by character code and one 16-bit atlas
/// texture. Built once from "Fonts/<name>.ttf" (or ".otf") with FreeType and cached beside it as
/// "Fonts/<name>.fontMeta" (metrics, text) and "Fonts/<name>_distance.dat" (the atlas, a deflated
/// byte blob); every later start reads the cache. Main thread only.
class Font
{
public:
    /// The game's font file name, without folder or extension.
    static constexpr const char* GameFontName = "Atkinson-Hyperlegible-Bold-102";

    /// How the atlas is built; the game builds with the defaults.
    struct BuildSettings
    {
        uint32_t atlasWidth = 8192;  ///< full-size atlas, texels; the cached atlas is half of it
        uint32_t atlasHeight = 4096; ///< full-size atlas, texels
        uint32_t pixelHeight = 256;  ///< FreeType's pixel height of the master rendering
        uint32_t padding = 180;      ///< master pixels around every glyph
        uint32_t spread = 192;       ///< master pixels over which the field runs from edge to extreme
        uint32_t finalValue = 1;     ///< the build kind; 1 (the only one) halves the atlas
    };

    /// The 4096 x 2048 distance-field texture; null until loaded, owned.
    Texture* atlas = nullptr;
    /// The glyph set: before `Load`, the codes to build (with all-zero glyphs); afterwards the
    /// glyphs that the atlas holds.
    std::map<uint16_t, Glyph> glyphs;
    /// Drawn for every code not in `glyphs`: all zeros, an empty quad that does not advance.
    Glyph defaultGlyph;

    Font() = default;
    /// Deletes the atlas texture (needs the context current when there is one).
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    /// Adds an all-zero glyph for every code from `first` to `last`, so that `Load` builds it.
    void RequestCodes(uint16_t first, uint16_t last);

    /// Start-up's font: the 95 printable ASCII codes (32 to 126) of the game's font, loaded with
    /// the game's build values. Needs the context current.
    void LoadGameFont();

    /// Reads the cache of "Fonts/<name>", or on the first start (or when the cached atlas is
    /// unusable) builds the atlas from the font file, writes both cache files and reads them back.
    /// Ends with an atlas, or, when nothing could be built, with none and every requested glyph
    /// all zeros, so that text without an atlas draws nothing. Needs the context current.
    void Load(std::string name, uint32_t atlasWidth, uint32_t atlasHeight, uint32_t pixelHeight, uint32_t padding, uint32_t spread,
              uint32_t finalValue);

    /// Replaces `glyphs` with the records of "Fonts/<name>.fontMeta" (a code and nine floats each,
    /// whitespace-separated) up to the first record that does not read; the first of repeated
    /// codes wins. False, with `glyphs` untouched, when the file cannot be opened.
    bool ReadMeta(const std::string& name);
    /// What `ReadMeta` found besides the glyphs.
    struct MetaReading
    {
        /// Every line was a whole record, the last one ended by a line feed, and the file held
        /// at least one record: nothing was cut short.
        bool whole = false;
        /// Codes that the build was asked for and could not place (the font lacks them, or the
        /// atlas was full), from the line "absent" that may end the file.
        std::set<uint16_t> absent;
    };
    /// `ReadMeta`, telling also whether the file was whole and which codes it knows are absent.
    bool ReadMeta(const std::string& name, MetaReading& reading);
    /// Writes "Fonts/<name>.fontMeta", one line per glyph in code order, whole or not at all (a
    /// file of its own, then renamed over the old one). A failure is logged.
    /// @return false when the file could not be written.
    bool WriteMeta(const std::string& name) const;

    /// True when a cache read with `reading` into `glyphs` can stand for a build asked for the
    /// codes of `requested`: whole, and every code either read or known to be absent.
    bool CacheCovers(const MetaReading& reading, const std::map<uint16_t, Glyph>& requested) const;

    /// The shelf packing's order: true when `a` is shorter (padded height) than `b`.
    static bool CompareGlyphHeight(const GlyphBitmap& a, const GlyphBitmap& b);

    /// Renders every code of `glyphs` that "Fonts/<name>.ttf" (or ".otf") has into a padded
    /// 16-bit coverage bitmap, in code order. False, logged, when FreeType or the file fails.
    /// Needs no GL context.
    bool RenderBitmaps(const std::string& name, const BuildSettings& settings, std::vector<GlyphBitmap>& bitmaps) const;

    /// Builds the atlas from the font file and writes both cache files; `glyphs` then holds the
    /// glyphs placed. False, with `glyphs` untouched, when the font file could not be rendered.
    /// Needs no GL context.
    bool BuildCache(const std::string& name, const BuildSettings& settings);

    /// Starts reading and inflating the cached atlas of "Fonts/<name>", and building its mipmaps,
    /// on a thread of its own, so that the work overlaps opening the window; the next `Load` of that name on this thread
    /// takes the result. The reading thread touches nothing but the file and its own buffer and
    /// logs nothing: an atlas it cannot read is read again by `Load`, which says why. Needs no
    /// GL context; call at most once before the font is loaded.
    static void PrefetchCachedAtlas(const std::string& name);

    /// True when the atlas texture is there to sample.
    bool HasAtlas() const;
    /// Binds the atlas to texture unit `unit` (0-based). False, binding nothing, without an atlas:
    /// the caller then draws no text.
    bool BindAtlas(uint32_t unit) const;

    /// The glyph of `code`, or the default glyph.
    const Glyph& GetGlyph(uint16_t code) const;

private:
    /// `WriteMeta`, followed by the line "absent" and the codes of `absent` when there are any.
    bool WriteMeta(const std::string& name, const std::set<uint16_t>& absent) const;
    /// Loads the cached atlas as the font's texture; false, with no atlas, when it is unusable.
    bool LoadAtlas(const std::string& name);
    void ReleaseAtlas();

    /// The atlas of the last `BuildCache`, as written to the cache, until `Load` has uploaded it.
    FontAtlas::HalfAtlas builtAtlas;
    MipChain builtMipmaps; ///< the levels below `builtAtlas`
    std::string builtAtlasName;
};
