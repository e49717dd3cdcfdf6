#pragma once

#include <cstdint>

#include "ChannelInfo.h"

/// An off-screen colour target: one framebuffer object with one texture whose texel format
/// follows a component type and a channel count fixed at construction. Starts at 1920 x 1280.
/// Needs the window's context current for its whole life.
class FrameBuffer
{
public:
    uint32_t framebuffer = 0;
    uint32_t texture = 0;
    uint32_t width = 1920;
    uint32_t height = 1280;
    bool created = false; ///< passed the completeness check
    ComponentType componentType;
    uint32_t channels;

    /// Creates the framebuffer and its texture; an incomplete one is logged and never resized.
    /// Leaves the framebuffer and its texture bound.
    FrameBuffer(ComponentType type, uint32_t channelCount);
    ~FrameBuffer();
    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    /// (Re)defines the storage of the currently bound texture at the current size.
    void AllocateTexture();
    /// Gives the texture a new size (pixels) when it differs from the current one.
    void Resize(uint32_t newWidth, uint32_t newHeight);
};
