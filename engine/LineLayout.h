#pragma once

#include <cstdint>
#include <string>

#include <glm/vec2.hpp>

#include "DynArray.h"

/// What following one line of text glyph by glyph from its start found out, kept by whoever draws
/// the line from frame to frame so that a long line which has not changed is culled at once, or
/// followed from near the view, rather than from its start again (`Mesh::AddTextInView`): the x
/// range of its quads and where the pen stood along it, with the bytes, pen, scale and glyph
/// metrics it was found for. The copy of the bytes is what tells that the
/// line is the same, whatever happened to it in between (changed in place to the same length
/// included): comparing bytes costs a small part of following the pen through them.
struct LineLayout
{
    static constexpr uint32_t CheckpointSpacing = 1024;

    std::string text;
    glm::vec2 position{0.0f, 0.0f};
    float scale = 0.0f;
    uint64_t glyphsFingerprint = 0; ///< `GlyphTable::fingerprint` of the metrics it was found with
    bool measured = false;          ///< false until the first line is measured into it
    /// The smallest and largest x of the quads that cover some area, world units; +infinity and
    /// -infinity when none does.
    float minX = 0.0f;
    float maxX = 0.0f;
    /// The pen's x before glyph k x `CheckpointSpacing`, for every k within the line: following
    /// the line from one of them gives every later glyph exactly where following it from the
    /// start would have.
    DynArray<float> checkpoints;
};
