#include "FontAtlas.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include <zlib.h>

#include "ByteBlob.h"
#include "GlyphBitmap.h"
#include "LogChannel.h"
#include "Utilities.h"

namespace
{
// Pieces of the payload deflated apart, each primed with the 32 KiB before it, so that the
// whole compresses about as well as in one go while every core takes a piece.
constexpr size_t DeflatePieceBytes = size_t(1) << 21;
constexpr size_t DeflateWindowBytes = size_t(1) << 15;

// `prefix` then `body` as one zlib stream (header, deflate data, Adler-32) at level 6, as
// `ByteBlob::Compress` makes it and any inflater reads it. The body is cut into pieces
// deflated on threads of their own as raw streams, each ended on a byte boundary by a sync
// flush (the last by the final block), and laid end to end. False when zlib fails.
bool DeflateInPieces(const uint8_t* prefix, size_t prefixBytes, const uint8_t* body, size_t bodyBytes, std::string& out)
{
    const size_t pieceCount = std::max<size_t>(1, (bodyBytes + DeflatePieceBytes - 1) / DeflatePieceBytes);
    std::vector<std::string> pieces(pieceCount);
    std::vector<uLong> checksums(pieceCount, 0);
    std::atomic<size_t> nextPiece{0};
    std::atomic<bool> failed{false};
    auto work = [&]() {
        for (size_t k = nextPiece.fetch_add(1); k < pieceCount; k = nextPiece.fetch_add(1))
        {
            const size_t begin = k * DeflatePieceBytes;
            const size_t length = std::min(DeflatePieceBytes, bodyBytes - std::min(begin, bodyBytes));
            const bool last = k + 1 == pieceCount;
            z_stream stream{};
            if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            {
                failed = true;
                continue;
            }
            int code = Z_OK;
            if (k > 0)
            {
                const size_t window = std::min(DeflateWindowBytes, begin);
                code = deflateSetDictionary(&stream, body + begin - window, static_cast<uInt>(window));
            }
            std::string& piece = pieces[k];
            piece.resize(deflateBound(&stream, static_cast<uLong>(length + (k == 0 ? prefixBytes : 0))) + 16);
            stream.next_out = reinterpret_cast<Bytef*>(piece.data());
            stream.avail_out = static_cast<uInt>(piece.size());
            if (k == 0 && code == Z_OK)
            {
                stream.next_in = const_cast<Bytef*>(prefix);
                stream.avail_in = static_cast<uInt>(prefixBytes);
                code = deflate(&stream, Z_NO_FLUSH);
            }
            stream.next_in = const_cast<Bytef*>(body + begin);
            stream.avail_in = static_cast<uInt>(length);
            if (code == Z_OK)
                code = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
            if (code != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0 || stream.avail_out == 0)
                failed = true;
            piece.resize(stream.total_out);
            deflateEnd(&stream);
            checksums[k] = adler32(1, body + begin, static_cast<uInt>(length));
        }
    };
    std::vector<std::thread> helpers;
    const size_t threads = std::min<size_t>(pieceCount, std::max(1u, std::thread::hardware_concurrency()));
    for (size_t k = 1; k < threads; ++k)
    {
        try
        {
            helpers.emplace_back(work);
        }
        catch (const std::system_error&)
        {
            break; // fewer helpers; the calling thread takes what they would have
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failed)
        return false;

    uLong checksum = adler32(1, prefix, static_cast<uInt>(prefixBytes));
    for (size_t k = 0; k < pieceCount; ++k)
    {
        const size_t begin = k * DeflatePieceBytes;
        const size_t length = std::min(DeflatePieceBytes, bodyBytes - std::min(begin, bodyBytes));
        checksum = adler32_combine(checksum, checksums[k], static_cast<z_off_t>(length));
    }
    size_t total = 2 + 4;
    for (const std::string& piece : pieces)
        total += piece.size();
    out.clear();
    out.reserve(total);
    out.push_back(static_cast<char>(0x78)); // deflate, 32 KiB window
    out.push_back(static_cast<char>(0x9C)); // the default level; a multiple of 31 with the byte before
    for (const std::string& piece : pieces)
        out += piece;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((checksum >> shift) & 0xFF));
    return true;
}
} // namespace

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

HalfAtlas ComposeHalf(const std::vector<GlyphBitmap>& bitmaps, const std::vector<Placement>& placements, uint32_t atlasWidth,
                      uint32_t atlasHeight)
{
    HalfAtlas half;
    half.width = atlasWidth / 2;
    half.height = atlasHeight / 2;
    half.samples.reset(new uint16_t[static_cast<size_t>(half.width) * half.height]);
    std::vector<uint16_t> rows(2 * static_cast<size_t>(atlasWidth));
    for (uint32_t y = 0; y < half.height; ++y)
    {
        std::fill(rows.begin(), rows.end(), 0);
        for (uint32_t pair = 0; pair < 2; ++pair)
        {
            const int64_t row = 2 * static_cast<int64_t>(y) + pair;
            uint16_t* to = rows.data() + pair * static_cast<size_t>(atlasWidth);
            for (const Placement& place : placements)
            {
                const GlyphBitmap& bitmap = bitmaps[place.bitmap];
                const int64_t r = row - place.y;
                if (r < 0 || r >= bitmap.height || bitmap.samples == nullptr)
                    continue;
                std::memcpy(to + place.x, bitmap.samples + r * bitmap.width, static_cast<size_t>(bitmap.width) * sizeof(uint16_t));
            }
        }
        const uint16_t* top = rows.data();
        const uint16_t* bottom = top + atlasWidth;
        uint16_t* out = half.samples.get() + static_cast<size_t>(y) * half.width;
        for (uint32_t x = 0; x < half.width; ++x)
        {
            const uint32_t sum = static_cast<uint32_t>(top[2 * x]) + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1];
            out[x] = static_cast<uint16_t>(sum >> 2);
        }
    }
    return half;
}

bool WriteAtlasFile(const std::string& path, const DynArray<uint16_t>& image, uint32_t width, uint32_t height)
{
    if (static_cast<uint64_t>(width) * height > image.count)
        return false;
    return WriteAtlasFile(path, image.items, width, height);
}

bool WriteAtlasFile(const std::string& path, const uint16_t* samples, uint32_t width, uint32_t height)
{
    // The byte-blob file, deflated straight from the samples (stored little-endian, as the machine
    // holds them): no copy of 16 MB of payload is made and filled value by value.
    const uint64_t sampleBytes = static_cast<uint64_t>(width) * height * sizeof(uint16_t);
    const uint64_t payloadBytes = 8 + sampleBytes;
    std::string failure;
    const uint32_t header[4] = {ByteBlob::DeflatedMagic, static_cast<uint32_t>(payloadBytes), 0, 0};
    std::string deflated;
    if (payloadBytes > UINT32_MAX)
        failure = "the atlas is too large for a byte blob";
    if (failure.empty())
    {
        const uint32_t dimensions[2] = {width, height};
        if (!DeflateInPieces(reinterpret_cast<const uint8_t*>(dimensions), sizeof(dimensions), reinterpret_cast<const uint8_t*>(samples),
                             static_cast<size_t>(sampleBytes), deflated))
            failure = "compression failed";
    }

    FileReplaceFailure replaceFailure;
    if (failure.empty())
    {
        const std::string_view headerBytes(reinterpret_cast<const char*>(header), sizeof(header));
        if (ReplaceFileWhole(path, {headerBytes, deflated}, &replaceFailure))
            return true;
        const std::string_view step(replaceFailure.step);
        if (step == "replace")
            failure = "it could not replace the old one: " + std::string(std::strerror(replaceFailure.error));
        else if (step == "permission")
            failure = "the old one may not be written: " + std::string(std::strerror(replaceFailure.error));
        else
            failure = "it could not be written";
    }
    WarningLog << LogLocation(__FILE__, 131) << "Failed to write the font atlas \"" << path << "\": " << failure << ".";
    WarningLog.EndMessage();
    return false;
}
} // namespace FontAtlas
