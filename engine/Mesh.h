#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "MeshVertex.h"

class Font;
class GlyphTable;
struct LineLayout;

/// A list of textured vertices drawn as triangles from one OpenGL vertex buffer: the screen quad,
/// shape fills, magnetism quads and world texts. The owner fills it, uploads it, then draws it any
/// number of times. Filling needs no GL context; `CreateBuffer`, `Upload` and `Draw` do.
class Mesh
{
public:
    uint32_t buffer = 0;
    DynArray<MeshVertex> vertices;
    bool created = false; ///< set by `CreateBuffer`; only then is the buffer deleted

    Mesh() = default;
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    /// Appends the two triangles of the unit square centred on the origin (v = 0 along the top).
    void AddUnitQuad();
    /// Appends two triangles spanning the opposite corners `posA` and `posB` with their texture
    /// coordinates `uvA` and `uvB`.
    void AddQuad(glm::vec2 posA, glm::vec2 posB, glm::vec2 uvA, glm::vec2 uvB);
    /// Appends one quad per byte of `text` from the font's glyphs, the pen starting at `position`
    /// (x of the first glyph's pen, y of the baseline) and moving right by each glyph's advance
    /// times `scale` (world units per text unit). A byte the font lacks, and every byte above 127,
    /// takes the font's default glyph. No line breaks or kerning: a newline is a glyph like any other.
    void AddText(std::string text, glm::vec2 position, float scale, const Font& font);
    /// `AddText` for what `view` (min x, max x, min y, max y) shows of it: only the quads that
    /// cover some area and overlap the view, at most `maxQuads` of them, with the vertices that
    /// `AddText` would give them. A line whose bound (from its length and the glyphs' extremes)
    /// misses the view is passed over without reading it; otherwise its bytes are followed up to
    /// the view's right edge (to the end when some glyph moves the pen left). `kept`, when given,
    /// is where a line longer than `KeptLineLength` keeps what following it found (see
    /// `LineLayout`), so that in later calls the same line is culled, when the view does not show
    /// it, by comparing its bytes: nothing is added for a text that the view does not show, and
    /// nothing allocated but when `kept` takes a line it did not hold. `scale` must be positive;
    /// any other adds nothing. Returns the quads added.
    uint32_t AddTextInView(std::string_view text, glm::vec2 position, float scale, const GlyphTable& glyphs, const float (&view)[4],
                           uint32_t maxQuads, LineLayout* kept = nullptr);
    /// Lines up to this many bytes are followed afresh in every call: that costs less than
    /// comparing them with what was kept.
    static constexpr size_t KeptLineLength = 64;
    /// Reallocates the vertex block; see `DynArray::Reserve`.
    void Reserve(uint32_t count) { vertices.Reserve(count); }
    /// Empties the list and gives its vertex block back, down to the 16 vertices of a new mesh,
    /// for a mesh that grew for a scene that is gone. The buffer keeps what was last uploaded.
    void ReleaseVertices();

    /// Generates the vertex buffer and marks the mesh created.
    void CreateBuffer();
    /// Uploads the vertices in use as static data.
    void Upload();
    /// Draws the uploaded vertices as triangles with attribute 0 the position and attribute 1 the
    /// texture coordinate. The caller binds the program, its uniforms and textures.
    void Draw();
};
