#pragma once

#include <cstdint>

/// The element type of one texel component.
enum ComponentType : uint32_t
{
    ComponentUnsigned8 = 0,
    ComponentUnsigned16 = 1,
    ComponentUnsigned32 = 2,
    ComponentHalfFloat = 3,
    ComponentFloat = 4,
};

/// Turns a component type and a channel count (1 to 4) into OpenGL texel formats.
class ChannelInfo
{
public:
    /// Sets `glType` from `type`, then `internalFormat` and `pixelFormat` from `channels`. A channel
    /// count outside 1 to 4 is logged and leaves the two formats untouched; a type above 4 sets
    /// nothing. Needs no OpenGL context.
    static void GetGLFormat(ComponentType type, uint32_t channels, uint32_t& internalFormat, uint32_t& pixelFormat, uint32_t& glType);
};
