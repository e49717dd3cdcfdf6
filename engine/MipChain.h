#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// The mipmap levels below a texture's base image, built on the CPU: each texel the mean of the
/// 2 x 2 block above it, taken and rounded as a GPU's bilinear sample at the block's centre is, for
/// 8- or 16-bit unsigned normalised components. A texture uploads them with its base
/// (`Texture::CreateFromTexels`) instead of asking the driver to generate them, which on a
/// software renderer first compiles a shader for each texel format. Needs no GL context, so it is
/// built wherever the base image is read (the font's atlas, on the thread that reads it). Only
/// bases whose sides are powers of two have levels: each side halves exactly (never below 1)
/// down to 1 x 1, where a non-power-of-two side would leave the filter to the driver's choice.
class MipChain
{
public:
    /// One level: `width` x `height` texels, tightly packed rows, at `offset` bytes into the chain.
    struct Level
    {
        uint32_t width = 0;
        uint32_t height = 0;
        size_t offset = 0;
    };

    /// Texel layout of every level.
    uint32_t channels = 0;          ///< components per texel, 1 to 4
    uint32_t bytesPerComponent = 0; ///< 1 or 2 (unsigned normalised, little-endian as the machine holds it)
    /// Levels 1, 2, ... down to 1 x 1, in order; empty for a 1 x 1 base or an unusable layout.
    std::vector<Level> levels;

    MipChain() = default;

    /// Builds every level below a `width` x `height` base of `channels` components of
    /// `bytesPerComponent` bytes at `base` (rows tightly packed). A side that is not a power of
    /// two, a layout other than 1 to 4 channels of 1 or 2 bytes, or no base gives no levels.
    static MipChain Build(const void* base, uint32_t width, uint32_t height, uint32_t channels, uint32_t bytesPerComponent);

    /// The texels of level `index` of `levels`.
    const void* Texels(size_t index) const { return bytes.get() + levels[index].offset; }
    /// Every level's bytes together.
    size_t ByteCount() const { return byteCount; }

private:
    std::unique_ptr<uint8_t[]> bytes;
    size_t byteCount = 0;
};
