#include "GlyphBitmap.h"

#include <algorithm>
#include <utility>

GlyphBitmap::GlyphBitmap(int32_t paddedWidth, int32_t paddedHeight)
{
    if (paddedWidth <= 0 || paddedHeight <= 0)
        return;
    width = paddedWidth;
    height = paddedHeight;
    samples = new uint16_t[SampleCount()]();
}

GlyphBitmap::~GlyphBitmap()
{
    delete[] samples;
}

GlyphBitmap::GlyphBitmap(const GlyphBitmap& other)
    : width(other.width), height(other.height), bearingX(other.bearingX), bearingY(other.bearingY), padding(other.padding),
      advance(other.advance), code(other.code)
{
    if (other.samples != nullptr)
    {
        samples = new uint16_t[other.SampleCount()];
        std::copy(other.samples, other.samples + other.SampleCount(), samples);
    }
}

GlyphBitmap& GlyphBitmap::operator=(const GlyphBitmap& other)
{
    if (this != &other)
    {
        GlyphBitmap copy(other);
        *this = std::move(copy);
    }
    return *this;
}

GlyphBitmap::GlyphBitmap(GlyphBitmap&& other) noexcept
    : samples(std::exchange(other.samples, nullptr)), width(std::exchange(other.width, 0)), height(std::exchange(other.height, 0)),
      bearingX(other.bearingX), bearingY(other.bearingY), padding(other.padding), advance(other.advance), code(other.code)
{
}

GlyphBitmap& GlyphBitmap::operator=(GlyphBitmap&& other) noexcept
{
    if (this != &other)
    {
        delete[] samples;
        samples = std::exchange(other.samples, nullptr);
        width = std::exchange(other.width, 0);
        height = std::exchange(other.height, 0);
        bearingX = other.bearingX;
        bearingY = other.bearingY;
        padding = other.padding;
        advance = other.advance;
        code = other.code;
    }
    return *this;
}

uint64_t GlyphBitmap::SampleCount() const
{
    if (width <= 0 || height <= 0)
        return 0;
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
}
