#pragma once

/// One textured vertex, 16 bytes, laid out as in the GPU buffer: position then texture coordinate.
struct MeshVertex
{
    float x = 0.0f;
    float y = 0.0f;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(MeshVertex) == 16, "vertex buffers are read with a stride of 16 bytes");
