#include "MipChain.h"

#include <algorithm>
#include <cmath>

namespace
{
// The mean of a 2 x 2 block as the bilinear sample at its centre that a GPU takes when it generates
// mipmaps, rounded as it rounds, so that the chain is the one the driver would have made: 8-bit
// components lerp in 8-bit fixed point (each pair's mean rounded half up, the two rows' means
// then likewise), 16-bit components in single precision, normalised, rounded to nearest even.
uint8_t BlockMean(uint8_t topLeft, uint8_t topRight, uint8_t bottomLeft, uint8_t bottomRight)
{
    auto pairMean = [](uint32_t a, uint32_t b) { return (a + b + 1) >> 1; };
    return static_cast<uint8_t>(pairMean(pairMean(topLeft, topRight), pairMean(bottomLeft, bottomRight)));
}

uint16_t BlockMean(uint16_t topLeft, uint16_t topRight, uint16_t bottomLeft, uint16_t bottomRight)
{
    constexpr float Normalise = 1.0f / 65535.0f;
    auto lerpHalf = [](float a, float b) { return a + 0.5f * (b - a); };
    const float top = lerpHalf(static_cast<float>(topLeft) * Normalise, static_cast<float>(topRight) * Normalise);
    const float bottom = lerpHalf(static_cast<float>(bottomLeft) * Normalise, static_cast<float>(bottomRight) * Normalise);
    return static_cast<uint16_t>(std::nearbyint(lerpHalf(top, bottom) * 65535.0f));
}

template <typename Component>
void HalveLevel(const Component* above, uint32_t aboveWidth, uint32_t aboveHeight, Component* below, uint32_t width, uint32_t height,
                uint32_t channels)
{
    // A side of 1 stays 1: its single row (or column) is taken twice.
    const size_t rowStep = aboveHeight > 1 ? static_cast<size_t>(aboveWidth) * channels : 0;
    const size_t columnStep = aboveWidth > 1 ? channels : 0;
    for (uint32_t y = 0; y < height; ++y)
    {
        const Component* top = above + static_cast<size_t>(aboveHeight > 1 ? 2 * y : 0) * aboveWidth * channels;
        const Component* bottom = top + rowStep;
        Component* out = below + static_cast<size_t>(y) * width * channels;
        for (uint32_t x = 0; x < width; ++x)
        {
            const size_t left = static_cast<size_t>(aboveWidth > 1 ? 2 * x : 0) * channels;
            for (uint32_t c = 0; c < channels; ++c)
            {
                const size_t at = left + c;
                out[static_cast<size_t>(x) * channels + c] = BlockMean(top[at], top[at + columnStep], bottom[at], bottom[at + columnStep]);
            }
        }
    }
}

bool IsPowerOfTwo(uint32_t side)
{
    return side != 0 && (side & (side - 1)) == 0;
}
} // namespace

MipChain MipChain::Build(const void* base, uint32_t width, uint32_t height, uint32_t channelCount, uint32_t componentBytes)
{
    MipChain chain;
    if (base == nullptr || !IsPowerOfTwo(width) || !IsPowerOfTwo(height) || channelCount < 1 || channelCount > 4 ||
        (componentBytes != 1 && componentBytes != 2))
        return chain;
    chain.channels = channelCount;
    chain.bytesPerComponent = componentBytes;
    const size_t texelBytes = static_cast<size_t>(channelCount) * componentBytes;
    uint32_t levelWidth = width;
    uint32_t levelHeight = height;
    size_t total = 0;
    while (levelWidth > 1 || levelHeight > 1)
    {
        levelWidth = std::max(1u, levelWidth / 2);
        levelHeight = std::max(1u, levelHeight / 2);
        chain.levels.push_back({levelWidth, levelHeight, total});
        total += static_cast<size_t>(levelWidth) * levelHeight * texelBytes;
    }
    if (chain.levels.empty())
        return chain;
    chain.bytes.reset(new uint8_t[total]); // every byte is written below
    chain.byteCount = total;

    const uint8_t* above = static_cast<const uint8_t*>(base);
    uint32_t aboveWidth = width;
    uint32_t aboveHeight = height;
    for (const Level& level : chain.levels)
    {
        uint8_t* below = chain.bytes.get() + level.offset;
        if (componentBytes == 1)
            HalveLevel(above, aboveWidth, aboveHeight, below, level.width, level.height, channelCount);
        else
            HalveLevel(reinterpret_cast<const uint16_t*>(above), aboveWidth, aboveHeight, reinterpret_cast<uint16_t*>(below), level.width,
                       level.height, channelCount);
        above = below;
        aboveWidth = level.width;
        aboveHeight = level.height;
    }
    return chain;
}
