#pragma once

#include <cstdint>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

/// A per-frame batch of coloured line segments: everything in the world and the editor appends to
/// one batch during the frame, and the render pass draws it with one upload and one draw call,
/// then empties it. Colours are RGB in 0..1. Appending needs no GL context; `CreateBuffers` and
/// `Render` do.
class LineRenderer
{
public:
    std::vector<glm::vec2> positions; ///< two per segment
    std::vector<glm::vec3> colours;   ///< one per position
    bool created = false;
    /// The colour of the next strip point; drawing code sets it directly.
    glm::vec3 currentColour{1.0f, 1.0f, 1.0f};

    glm::vec2 stripFirstPoint{0.0f, 0.0f};
    glm::vec2 stripLastPoint{0.0f, 0.0f};
    glm::vec3 stripFirstColour{1.0f, 1.0f, 1.0f};
    glm::vec3 stripLastColour{1.0f, 1.0f, 1.0f};
    bool stripOpen = false;

    uint32_t positionBuffer = 0;
    uint32_t colourBuffer = 0;

    LineRenderer() = default;
    ~LineRenderer();
    LineRenderer(const LineRenderer&) = delete;
    LineRenderer& operator=(const LineRenderer&) = delete;

    /// One segment from `a` to `b`, both ends in `colour`.
    void AddLine(glm::vec2 a, glm::vec2 b, const glm::vec3& colour);
    /// Extends the open strip to `point` in the current colour (blending from the previous point's
    /// colour), or opens a new strip at `point`.
    void AddStripPoint(glm::vec2 point);
    /// Closes the open strip back to its first point; nothing when no strip is open.
    void CloseStrip();
    /// Ends the open strip without a closing segment.
    void EndStrip();
    /// Two diagonal segments through `centre`, `halfSize` from it along each axis.
    void AddCross(glm::vec2 centre, float halfSize, const glm::vec3& colour);
    /// A closed polygon of `segments` chords starting straight above `centre`, going clockwise.
    void AddCircle(glm::vec2 centre, float radius, const glm::vec3& colour, int32_t segments);

    /// Number of segments in the batch.
    size_t SegmentCount() const { return positions.size() / 2; }

    /// Generates the two vertex buffers.
    void CreateBuffers();
    /// Uploads and draws the batch as lines (attribute 0 position, attribute 1 colour), then
    /// empties it, keeping its capacity. The caller binds the line program and its uniforms.
    void Render();
    /// Empties the batch and drops an open strip without drawing; needs no GL context.
    void Clear();
};
