#include "Mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <glad/gl.h>

#include "Font.h"
#include "GlyphTable.h"
#include "LineLayout.h"

namespace
{
// Where a glyph's quad stands on the pen; both ways of laying out text place it so.
void GlyphCorners(const Glyph& glyph, glm::vec2 pen, float scale, glm::vec2& topLeft, glm::vec2& bottomRight)
{
    topLeft = {pen.x + glyph.offsetX * scale, pen.y + glyph.offsetY * scale};
    bottomRight = {pen.x + (glyph.offsetX + glyph.width) * scale, pen.y + (glyph.offsetY - glyph.height) * scale};
}

// True when the quad between corners `a` and `b` covers some area; false when a corner is not a
// number.
bool CoversArea(glm::vec2 a, glm::vec2 b)
{
    return (a.x < b.x || b.x < a.x) && (a.y < b.y || b.y < a.y);
}

// True when the quad between corners `a` and `b` covers some area and overlaps `view` by more
// than an edge.
bool QuadShows(glm::vec2 a, glm::vec2 b, const float (&view)[4])
{
    return CoversArea(a, b) && view[1] > std::min(a.x, b.x) && std::max(a.x, b.x) > view[0] && view[3] > std::min(a.y, b.y) &&
           std::max(a.y, b.y) > view[2];
}

bool Holds(const LineLayout& kept, std::string_view text, glm::vec2 position, float scale, const GlyphTable& glyphs)
{
    return kept.measured && kept.position == position && kept.scale == scale && kept.glyphsFingerprint == glyphs.fingerprint &&
           std::string_view(kept.text) == text;
}

// Follows the whole line once for the x range of its quads.
void Measure(LineLayout& kept, std::string_view text, glm::vec2 position, float scale, const GlyphTable& glyphs)
{
    kept.text.assign(text);
    kept.position = position;
    kept.scale = scale;
    kept.glyphsFingerprint = glyphs.fingerprint;
    kept.measured = true;
    kept.minX = std::numeric_limits<float>::infinity();
    kept.maxX = -std::numeric_limits<float>::infinity();
    kept.checkpoints.Clear();
    glm::vec2 pen = position;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (i % LineLayout::CheckpointSpacing == 0)
            kept.checkpoints.PushBack(pen.x);
        const Glyph& glyph = glyphs[text[i]];
        glm::vec2 topLeft;
        glm::vec2 bottomRight;
        GlyphCorners(glyph, pen, scale, topLeft, bottomRight);
        if (CoversArea(topLeft, bottomRight))
        {
            kept.minX = std::min({kept.minX, topLeft.x, bottomRight.x});
            kept.maxX = std::max({kept.maxX, topLeft.x, bottomRight.x});
        }
        pen.x += glyph.advance * scale;
    }
}

// The x range that the quads of a line of `length` (at least 1) glyphs can reach from a pen at
// `penX`. The pen is an f32 moved by one rounded step per glyph, and each rounding may add 2^-24
// of the pen's size: over the millions of glyphs a level's text may hold that comes to whole
// percent of the line, so the range allows for it rather than trusting length times the widest
// advance. The pen's size stays below (|penX| + steps x stride) x (1 + 2^-24)^steps. A pen that
// no glyph moves back never rounds to below where it started, nor one that no glyph moves on to
// beyond it.
void LineReach(const GlyphTable& glyphs, size_t length, float penX, float scale, double& low, double& high)
{
    constexpr double rounding = 0x1p-24;
    const double steps = static_cast<double>(length - 1);
    const double forward = std::max(0.0, static_cast<double>(glyphs.maxAdvance * scale));
    const double backward = std::min(0.0, static_cast<double>(glyphs.minAdvance * scale));
    double reachForward = 0.0;
    double reachBackward = 0.0;
    if (steps > 0.0)
    {
        const double stride = std::max(forward, -backward);
        const double largestPen = (std::abs(static_cast<double>(penX)) + steps * stride) * std::exp(steps * rounding * 1.0001);
        const double drift = steps * rounding * (largestPen + stride);
        if (forward > 0.0)
            reachForward = steps * forward + drift;
        if (backward < 0.0)
            reachBackward = steps * backward - drift;
    }
    high = penX + reachForward + static_cast<double>(glyphs.maxRight * scale);
    low = penX + reachBackward + static_cast<double>(glyphs.minLeft * scale);
    // And the rounding of the pen plus the glyph's offset.
    high += std::abs(high) * 2.0 * rounding;
    low -= std::abs(low) * 2.0 * rounding;
}
} // namespace

Mesh::~Mesh()
{
    if (created)
        glDeleteBuffers(1, &buffer);
}

void Mesh::AddUnitQuad()
{
    vertices.PushBack({-0.5f, 0.5f, 0.0f, 0.0f});
    vertices.PushBack({0.5f, 0.5f, 1.0f, 0.0f});
    vertices.PushBack({-0.5f, -0.5f, 0.0f, 1.0f});
    vertices.PushBack({-0.5f, -0.5f, 0.0f, 1.0f});
    vertices.PushBack({0.5f, 0.5f, 1.0f, 0.0f});
    vertices.PushBack({0.5f, -0.5f, 1.0f, 1.0f});
}

void Mesh::AddQuad(glm::vec2 posA, glm::vec2 posB, glm::vec2 uvA, glm::vec2 uvB)
{
    vertices.PushBack({posA.x, posA.y, uvA.x, uvA.y});
    vertices.PushBack({posB.x, posA.y, uvB.x, uvA.y});
    vertices.PushBack({posA.x, posB.y, uvA.x, uvB.y});
    vertices.PushBack({posA.x, posB.y, uvA.x, uvB.y});
    vertices.PushBack({posB.x, posA.y, uvB.x, uvA.y});
    vertices.PushBack({posB.x, posB.y, uvB.x, uvB.y});
}

void Mesh::AddText(std::string text, glm::vec2 position, float scale, const Font& font)
{
    glm::vec2 pen = position;
    for (const char byte : text)
    {
        // Widened as a signed char, every byte above 127 becomes a key from 0xFF80 up, which no
        // glyph of the font has.
        const uint16_t key = static_cast<uint16_t>(static_cast<signed char>(byte));
        const Glyph& glyph = font.GetGlyph(key);
        glm::vec2 topLeft;
        glm::vec2 bottomRight;
        GlyphCorners(glyph, pen, scale, topLeft, bottomRight);
        AddQuad(topLeft, bottomRight, {glyph.uLeft, glyph.vTop}, {glyph.uRight, glyph.vBottom});
        pen.x += glyph.advance * scale;
    }
}

uint32_t Mesh::AddTextInView(std::string_view text, glm::vec2 position, float scale, const GlyphTable& glyphs, const float (&view)[4],
                             uint32_t maxQuads, LineLayout* kept)
{
    if (text.empty() || maxQuads == 0 || !(scale > 0.0f))
        return 0;
    // Every glyph stands on the one baseline, so the glyphs' extremes give the line's top and
    // bottom; its length gives how far its ends can reach.
    const float top = position.y + glyphs.maxTop * scale;
    const float bottom = position.y + glyphs.minBottom * scale;
    double left = 0.0;
    double right = 0.0;
    LineReach(glyphs, text.size(), position.x, scale, left, right);
    if (!(view[1] > left && right > view[0] && view[3] > bottom && top > view[2]))
        return 0;

    // Until the pen comes within a glyph of the view only the pen is followed. When no glyph
    // moves the pen left, the first glyph that starts beyond the view's right edge ends the line.
    const float leftEdge = glyphs.minLeft * scale;
    const float rightEdge = glyphs.maxRight * scale;
    const bool forward = glyphs.minAdvance >= 0.0f;
    size_t first = 0;
    glm::vec2 pen = position;
    // A long line that does not start in the view is followed once and what was found kept: the
    // bound allows for the worst the pen's rounding can do, which along millions of glyphs is
    // thousands of units, and only following the pen tells where such a line really runs.
    if (kept != nullptr && text.size() > KeptLineLength && !(forward && pen.x + rightEdge > view[0]))
    {
        if (!Holds(*kept, text, position, scale, glyphs))
            Measure(*kept, text, position, scale, glyphs);
        if (!(view[1] > kept->minX && kept->maxX > view[0]))
            return 0;
        if (forward)
        {
            // The pen only moves on, so every glyph before a checkpoint that stands a glyph's
            // width short of the view stands short of it too.
            const DynArray<float>& checkpoints = kept->checkpoints;
            const float* after =
                std::partition_point(checkpoints.begin(), checkpoints.end(), [&](float x) { return !(x + rightEdge > view[0]); });
            if (after != checkpoints.begin())
            {
                first = static_cast<size_t>(after - 1 - checkpoints.begin()) * LineLayout::CheckpointSpacing;
                pen.x = after[-1];
            }
        }
    }

    uint32_t added = 0;
    for (size_t i = first; i < text.size(); ++i)
    {
        const Glyph& glyph = glyphs[text[i]];
        if (pen.x + rightEdge > view[0])
        {
            if (forward && !(view[1] > pen.x + leftEdge))
                break;
            glm::vec2 topLeft;
            glm::vec2 bottomRight;
            GlyphCorners(glyph, pen, scale, topLeft, bottomRight);
            if (QuadShows(topLeft, bottomRight, view))
            {
                if (added == maxQuads)
                    break;
                AddQuad(topLeft, bottomRight, {glyph.uLeft, glyph.vTop}, {glyph.uRight, glyph.vBottom});
                ++added;
            }
        }
        pen.x += glyph.advance * scale;
    }
    return added;
}

void Mesh::ReleaseVertices()
{
    vertices.Clear();
    vertices.Reserve(DynArray<MeshVertex>::InitialCapacity);
}

void Mesh::CreateBuffer()
{
    if (created)
        return;
    glGenBuffers(1, &buffer);
    created = true;
}

void Mesh::Upload()
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.count * sizeof(MeshVertex)), vertices.items, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Mesh::Draw()
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), reinterpret_cast<const void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), reinterpret_cast<const void*>(8));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.count));
}
