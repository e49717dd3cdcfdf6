// Feeds arbitrary bytes to the level loader as a downloaded or named level file would arrive, then
// does with the level what the game does: compile it, compute the magnet fields it keeps, start a
// game of two players on it, play a moment with every control held in turn, and collect the
// drawing of each frame through the play screen's view, with the fills and the signpost texts (laid
// out with metrics shaped like the game font's), and once through a view that takes in the whole
// level, as the editor's does when zoomed out. Run with inputs long enough
// to hold hundreds of thousands of records and a memory limit (run-fuzzers.sh), so that a cost
// that grows with every record shows as a fault rather than as a slow machine.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "Font.h"
#include "GlyphTable.h"
#include "Level.h"
#include "LineLayout.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "Mesh.h"
#include "PhysicsStep.h"
#include "PlayInput.h"

namespace
{
void Check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

void ComputeFields(Level& level)
{
    // What building the fields with a GPU would keep.
    level.AllotDataTextures();
    std::vector<uint16_t> samples;
    uint64_t texels = 0;
    for (const WorldShape& shape : level.worldShapes)
        for (const ShapeSegment& segment : shape.segments)
        {
            if (segment.fieldLeftOut)
                continue;
            uint32_t width = 0;
            uint32_t height = 0;
            if (segment.ComputeDataTextureSamples(samples, width, height))
                texels += static_cast<uint64_t>(width) * height;
        }
    Check(texels <= Level::MaxDataTexels);
}

// The game font's metrics without its atlas, in its proportions: printable codes with quads of
// padded sizes and advances of a few tenths, the rest the default glyph.
const GlyphTable& TextGlyphs()
{
    static const GlyphTable glyphs = [] {
        Font font;
        for (uint16_t code = 32; code <= 126; ++code)
        {
            const float size = 0.9f + 0.012f * static_cast<float>(code % 40);
            font.glyphs[code] = Glyph{0.0f, 0.0f, 0.05f, 0.1f, 0.45f, 1.3f, size, size + 0.2f, size - 0.7f};
        }
        return GlyphTable(font);
    }();
    return glyphs;
}

/// One frame's drawing through `view`: the level's lines (with the signpost markers and the
/// shapes' points, as the editor draws them), the fills and the texts. The batches are emptied
/// as a frame's are, keeping their room.
void DrawFrame(Level& level, const float (&view)[4], Mesh& fill, Mesh& text, DynArray<LineLayout>& layouts, LineRenderer& lines)
{
    level.Draw(lines, view, true);
    for (const WorldShape& shape : level.worldShapes)
    {
        shape.AppendTriangles(fill, view);
        shape.DrawEditor(lines, 0.1f, view);
    }
    Check(!lines.stripOpen);
    Signpost::AppendTexts(level.signposts, layouts, text, TextGlyphs(), view);
    Check(text.vertices.count <= 6u * Signpost::MaxFrameTextQuads);
    lines.Clear();
    fill.vertices.Clear();
    text.vertices.Clear();
}

void PlayBriefly(Level& level)
{
    Check(level.Start(2, 0));
    Mesh fill;
    Mesh text;
    DynArray<LineLayout> layouts;
    LineRenderer lines;
    const float dt = PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep);
    for (int frame = 0; frame < 24; ++frame)
    {
        // Each control in turn, Fang with the rest so that accelerators and magnets pull.
        PlayInput input;
        input.fang = frame % 2 == 0;
        input.jump = frame % 6 == 1;
        input.brake = frame % 6 == 3;
        input.rotateLeft = frame % 6 == 2;
        input.rotateRight = frame % 6 == 4;
        input.respawn = frame == 20;
        level.Update(dt, input);
        if (frame % 8 != 0)
            continue;
        const b2Body* body = level.localPlayer->body;
        const glm::vec2 at = body != nullptr ? glm::vec2(body->GetPosition().x, body->GetPosition().y) : level.start.position;
        const float view[4] = {at.x - 7.5f, at.x + 7.5f, at.y - 5.0f, at.y + 5.0f};
        DrawFrame(level, view, fill, text, layouts, lines);
    }
    const float everywhere[4] = {-2.0e6f, 2.0e6f, -2.0e6f, 2.0e6f};
    DrawFrame(level, everywhere, fill, text, layouts, lines);
    level.EndGame();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    if (count > Level::MaxFileBytes)
        return 0;
    {
        ByteBlob blob;
        blob.ReadFromMemory(bytes, static_cast<uint32_t>(count));
        Level level(nullptr);
        const bool read = level.ReadFromBlob(blob);
        // A load that fails must leave nothing behind.
        Check(read || (level.worldShapes.count == 0 && level.trinkets.count == 0 && level.waypoints.count == 0 &&
                       level.signposts.count == 0 && level.start.position.x == 0.0f &&
                       level.start.position.y == 0.0f));
        ComputeFields(level);
        PlayBriefly(level);
    }
    ErrorLog.ClearHistory();
    InfoLog.ClearHistory();
    return 0;
}
