#include "ChannelInfo.h"

#include <glad/gl.h>

#include "LogChannel.h"

namespace
{
struct TypeFormats
{
    uint32_t glType;
    uint32_t internalFormats[4];
    int invalidCountLine; // the line a bad channel count of this type is reported from
};

// Type 0 keeps the unsized base formats. The unsigned-integer formats of type 2 only accept the
// integer pixel formats, so that row pairs them with those instead of GL_RED..GL_RGBA.
const TypeFormats Formats[] = {
    {GL_UNSIGNED_BYTE, {GL_RED, GL_RG, GL_RGB, GL_RGBA}, 29},
    {GL_UNSIGNED_SHORT, {GL_R16, GL_RG16, GL_RGB16, GL_RGBA16}, 54},
    {GL_UNSIGNED_INT, {GL_R32UI, GL_RG32UI, GL_RGB32UI, GL_RGBA32UI}, 79},
    {GL_HALF_FLOAT, {GL_R16F, GL_RG16F, GL_RGB16F, GL_RGBA16F}, 104},
    {GL_FLOAT, {GL_R32F, GL_RG32F, GL_RGB32F, GL_RGBA32F}, 129},
};
const uint32_t PixelFormats[4] = {GL_RED, GL_RG, GL_RGB, GL_RGBA};
const uint32_t IntegerPixelFormats[4] = {GL_RED_INTEGER, GL_RG_INTEGER, GL_RGB_INTEGER, GL_RGBA_INTEGER};
} // namespace

void ChannelInfo::GetGLFormat(ComponentType type, uint32_t channels, uint32_t& internalFormat, uint32_t& pixelFormat, uint32_t& glType)
{
    if (type > ComponentFloat)
        return;
    const TypeFormats& formats = Formats[type];
    glType = formats.glType;
    if (channels < 1 || channels > 4)
    {
        ErrorLog << LogLocation(__FILE__, formats.invalidCountLine) << "Invalid texture format!";
        ErrorLog.EndMessage();
        return;
    }
    internalFormat = formats.internalFormats[channels - 1];
    pixelFormat = type == ComponentUnsigned32 ? IntegerPixelFormats[channels - 1] : PixelFormats[channels - 1];
}
