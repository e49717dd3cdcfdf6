#pragma once

#include <cstdint>
#include <string>

#include "ChannelInfo.h"

class ByteBlob;
class MipChain;

/// A 2D OpenGL texture loaded from an image under "Images/" or from a 16-bit distance-field atlas
/// file under "Fonts/" (any name ending in "dat"). A plain record: its owner deletes the GL texture
/// when `loaded` is set (`Release`) and then frees the record.
class Texture
{
public:
    uint32_t id = 0;      ///< the GL texture name
    int32_t width = 0;    ///< pixels, filled by the image decoder
    int32_t height = 0;   ///< pixels, filled by the image decoder
    int32_t channels = 0; ///< as stored in the image file, filled by the decoder
    bool loaded = false;

    /// Creates the GL texture and fills it from the named file; returns this record. An image that
    /// cannot be read or has 2 channels gives a texture without storage, still marked loaded. An
    /// atlas that is missing, short or corrupt is logged and leaves no texture (`loaded` false),
    /// so that its owner can build it again. Needs a current context.
    Texture& Load(std::string name);

    /// Creates the GL texture from texels already in memory: `width` x `height` texels of
    /// `channels` components of `type` (formats from `ChannelInfo::GetGLFormat`), rows from the
    /// bottom, tightly packed; with mipmaps and trilinear minification. The mipmaps are those of
    /// `levelsBelow` when it was built from these texels (same layout, every level), else the
    /// driver generates them. Sets the size and `loaded`. Needs a current context.
    Texture& CreateFromTexels(uint32_t width, uint32_t height, ComponentType type, uint32_t channels, const void* texels,
                              const MipChain* levelsBelow = nullptr);

    /// Logs to `InfoLog` that the texture `name` (a file name, without its folder) now has its GL
    /// texture: the one line every way of making a texture from a file reports.
    void ReportLoaded(const std::string& name) const;

    /// Binds the texture to texture unit `unit` (0 for GL_TEXTURE0). Needs a current context.
    void Bind(uint32_t unit) const;

    /// Deletes the GL texture when loaded. Needs a current context.
    void Release();

    /// Reads and checks an atlas file ("Fonts/" + `name`): a byte blob, normally deflated, holding
    /// u32 width, u32 height and width x height u16 samples. On success the samples start at
    /// `blob.data + blob.readCursor`. Logs and answers false on any fault. Needs no GL context.
    static bool ReadAtlas(const std::string& name, ByteBlob& blob, uint32_t& atlasWidth, uint32_t& atlasHeight);

    /// The largest atlas side accepted from a file.
    static constexpr uint32_t MaxAtlasSide = 16384;
};
