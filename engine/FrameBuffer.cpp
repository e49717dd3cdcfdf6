#include "FrameBuffer.h"

#include <glad/gl.h>

#include "LogChannel.h"

FrameBuffer::FrameBuffer(ComponentType type, uint32_t channelCount) : created(true), componentType(type), channels(channelCount)
{
    glGenFramebuffers(1, &framebuffer);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    AllocateTexture();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
    {
        VerboseLog << "Framebuffer passed completion test!";
        VerboseLog.EndMessage();
        return;
    }
    ErrorLog << LogLocation(__FILE__, 29) << "Error creating framebuffer.";
    ErrorLog.EndMessage();
    created = false;
}

FrameBuffer::~FrameBuffer()
{
    // An incomplete buffer's objects are deleted too; keeping them would only leak them.
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
}

void FrameBuffer::AllocateTexture()
{
    uint32_t internalFormat = 0;
    uint32_t pixelFormat = 0;
    uint32_t glType = 0;
    ChannelInfo::GetGLFormat(componentType, channels, internalFormat, pixelFormat, glType);
    if (internalFormat == 0 || pixelFormat == 0)
        return; // a bad channel count was logged; there is no format to allocate
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                 pixelFormat, glType, nullptr);
}

void FrameBuffer::Resize(uint32_t newWidth, uint32_t newHeight)
{
    if (!created || (newWidth == width && newHeight == height))
        return;
    width = newWidth;
    height = newHeight;
    glBindTexture(GL_TEXTURE_2D, texture);
    AllocateTexture();
}
