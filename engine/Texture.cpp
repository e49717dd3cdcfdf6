#include "Texture.h"

#include <algorithm>

#include <glad/gl.h>
#include <stb_image.h>

#include "ByteBlob.h"
#include "LogChannel.h"
#include "MipChain.h"

namespace
{
// Storage for the whole mipmap chain at once, then level 0 filled: defined level by level, the
// driver would allocate level 0 alone and move it into a new allocation when the mipmaps are
// generated, which for the 16 MB font atlas costs more than the upload itself.
size_t MipLevelCount(uint32_t width, uint32_t height)
{
    size_t levels = 1;
    for (uint32_t side = std::max(width, height); side > 1; side /= 2)
        ++levels;
    return levels;
}

// True when `chain` holds every level below a `width` x `height` base of that layout.
bool HoldsLevelsBelow(const MipChain* chain, uint32_t width, uint32_t height, uint32_t channels, uint32_t componentBytes)
{
    return chain != nullptr && chain->channels == channels && chain->bytesPerComponent == componentBytes &&
           chain->levels.size() == MipLevelCount(width, height) - 1 && !chain->levels.empty() &&
           chain->levels[0].width == std::max(1u, width / 2) && chain->levels[0].height == std::max(1u, height / 2);
}

// Fills levels 1 and below of the bound texture from `chain`: into the storage already defined
// for them, or, for an unsized format, defining each level.
void UploadLevelsBelow(const MipChain& chain, bool defineLevels, uint32_t internalFormat, uint32_t pixelFormat, uint32_t type)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (size_t k = 0; k < chain.levels.size(); ++k)
    {
        const GLint level = static_cast<GLint>(k + 1);
        const GLsizei levelWidth = static_cast<GLsizei>(chain.levels[k].width);
        const GLsizei levelHeight = static_cast<GLsizei>(chain.levels[k].height);
        if (defineLevels)
            glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internalFormat), levelWidth, levelHeight, 0, pixelFormat, type,
                         chain.Texels(k));
        else
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, levelWidth, levelHeight, pixelFormat, type, chain.Texels(k));
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void DefineWithMipmapStorage(uint32_t internalFormat, uint32_t width, uint32_t height, uint32_t pixelFormat, uint32_t type,
                             const void* texels)
{
    glTexStorage2D(GL_TEXTURE_2D, static_cast<GLsizei>(MipLevelCount(width, height)), internalFormat, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), pixelFormat, type, texels);
}
} // namespace

bool Texture::ReadAtlas(const std::string& name, ByteBlob& blob, uint32_t& atlasWidth, uint32_t& atlasHeight)
{
    if (!blob.ReadFromFile("Fonts/" + name) || !blob.Decompress())
        return false;
    try
    {
        atlasWidth = blob.ReadU32();
        atlasHeight = blob.ReadU32();
    }
    catch (const ByteBlobError& error)
    {
        WarningLog << LogLocation(__FILE__, 40) << "Font atlas \"" << name << "\" is unreadable: " << error.what();
        WarningLog.EndMessage();
        return false;
    }
    const uint64_t sampleBytes = static_cast<uint64_t>(atlasWidth) * atlasHeight * sizeof(uint16_t);
    if (atlasWidth == 0 || atlasHeight == 0 || atlasWidth > MaxAtlasSide || atlasHeight > MaxAtlasSide || sampleBytes > blob.BytesLeft())
    {
        WarningLog << LogLocation(__FILE__, 48) << "Font atlas \"" << name << "\" claims " << atlasWidth << " by "
                   << atlasHeight << " samples but holds " << blob.BytesLeft() / 2 << ".";
        WarningLog.EndMessage();
        return false;
    }
    return true;
}

Texture& Texture::Load(std::string name)
{
    loaded = false;
    if (name.size() < 3)
    {
        WarningLog << LogLocation(__FILE__, 60) << "Texture name \"" << name << "\" is too short to load.";
        WarningLog.EndMessage();
        return *this;
    }
    const std::string ending = name.substr(name.size() - 3);

    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    ReportLoaded(name);

    // The mipmaps are built here when the base allows it, so that the driver need not generate
    // them (which costs a software renderer a shader compile per texel format).
    bool mipmapsGiven = false;
    if (ending == "dat")
    {
        ByteBlob blob;
        uint32_t atlasWidth = 0;
        uint32_t atlasHeight = 0;
        if (!ReadAtlas(name, blob, atlasWidth, atlasHeight))
        {
            // Never upload garbage: the owner sees an unloaded texture and rebuilds the atlas.
            glBindTexture(GL_TEXTURE_2D, 0);
            glDeleteTextures(1, &id);
            id = 0;
            return *this;
        }
        const void* samples = blob.data + blob.readCursor;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        DefineWithMipmapStorage(GL_R16, atlasWidth, atlasHeight, GL_RED, GL_UNSIGNED_SHORT, samples);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        // The samples follow the blob's 8-byte dimensions, so they are as aligned as its bytes.
        const MipChain chain = MipChain::Build(samples, atlasWidth, atlasHeight, 1, sizeof(uint16_t));
        if (HoldsLevelsBelow(&chain, atlasWidth, atlasHeight, 1, sizeof(uint16_t)))
        {
            UploadLevelsBelow(chain, false, GL_R16, GL_RED, GL_UNSIGNED_SHORT);
            mipmapsGiven = true;
        }
        loaded = true;
    }
    else
    {
        const std::string path = "Images/" + name;
        unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 0);
        GLenum format = 0;
        switch (channels)
        {
        case 1: format = GL_RED; break;
        case 3: format = GL_RGB; break;
        case 4: format = GL_RGBA; break;
        default: break;
        }
        if (pixels != nullptr && format != 0)
        {
            // Rows of a 1- or 3-channel image are tightly packed; the default alignment of 4
            // would read past the end of the decoded pixels.
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            const uint32_t imageWidth = static_cast<uint32_t>(width);
            const uint32_t imageHeight = static_cast<uint32_t>(height);
            const uint32_t imageChannels = static_cast<uint32_t>(channels);
            const MipChain chain = MipChain::Build(pixels, imageWidth, imageHeight, imageChannels, 1);
            if (HoldsLevelsBelow(&chain, imageWidth, imageHeight, imageChannels, 1))
            {
                UploadLevelsBelow(chain, true, format, format, GL_UNSIGNED_BYTE);
                mipmapsGiven = true;
            }
        }
        stbi_image_free(pixels);
        loaded = true;
    }

    if (!mipmapsGiven)
        glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    return *this;
}

Texture& Texture::CreateFromTexels(uint32_t texelsWide, uint32_t texelsHigh, ComponentType type, uint32_t channelCount,
                                   const void* texels, const MipChain* levelsBelow)
{
    uint32_t internalFormat = 0;
    uint32_t pixelFormat = 0;
    uint32_t glType = 0;
    ChannelInfo::GetGLFormat(type, channelCount, internalFormat, pixelFormat, glType);
    loaded = false;
    // A format the table refused (it says why) would make a texture of no storage at best.
    if (internalFormat == 0 || pixelFormat == 0 || glType == 0)
        return *this;
    const uint32_t componentBytes = type == ComponentUnsigned8 ? 1 : type == ComponentUnsigned16 ? 2 : 0;
    const bool mipmapsGiven = HoldsLevelsBelow(levelsBelow, texelsWide, texelsHigh, channelCount, componentBytes);
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const bool unsized = internalFormat == pixelFormat;
    if (unsized)
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), static_cast<GLsizei>(texelsWide),
                     static_cast<GLsizei>(texelsHigh), 0, pixelFormat, glType, texels);
    else
        DefineWithMipmapStorage(internalFormat, texelsWide, texelsHigh, pixelFormat, glType, texels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (mipmapsGiven)
        UploadLevelsBelow(*levelsBelow, unsized, internalFormat, pixelFormat, glType);
    else
        glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    width = static_cast<int32_t>(texelsWide);
    height = static_cast<int32_t>(texelsHigh);
    channels = static_cast<int32_t>(channelCount);
    loaded = true;
    return *this;
}

void Texture::ReportLoaded(const std::string& name) const
{
    InfoLog << "Texture: " << name << " loaded with OpenGL resource ID: " << id;
    InfoLog.EndMessage();
}

void Texture::Bind(uint32_t unit) const
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, id);
}

void Texture::Release()
{
    if (!loaded)
        return;
    glDeleteTextures(1, &id);
    loaded = false;
}
