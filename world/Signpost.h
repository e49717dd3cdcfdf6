#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "PhysicsLink.h"
#include "Selectable.h"
#include "Serialisable.h"

class ByteBlob;
class GlyphTable;
class LineRenderer;
class Mesh;
struct LineLayout;

/// A text placed in a level, drawn into the text channel in play and marked by a circle in the
/// editor. It has no physics body. Held by value in the level's array and copied whole (the
/// editor's preview fields included) when that array grows.
class Signpost final : public PhysicsLink, public Serialisable, public Selectable
{
public:
    static constexpr uint32_t TypeId = 8;
    /// Radius of the pick circle and of the editor's marker, world units.
    static constexpr float MarkerRadius = 0.5f;
    /// The text's scale with the game's distance-field font.
    static constexpr float TextScale = 0.45f;
    static constexpr glm::vec3 MarkerColour{1.0f, 0.0f, 0.0f};
    /// The most glyph quads that the signpost texts of one frame add to the text mesh, whatever
    /// the level holds: 6 MiB of vertices, some thirty screens full of text at `TextScale`, so
    /// that only texts stacked on one another reach it. The glyphs beyond it are not drawn.
    static constexpr uint32_t MaxFrameTextQuads = 65536;

    /// The text shown in play: any bytes, any length.
    std::string text;
    /// Where the text is drawn, world units; the reference point.
    glm::vec2 position{0.0f, 0.0f};
    /// Opposite corners of the signpost's box, world units; moved, rotated and stored with it.
    glm::vec2 boxCornerA{0.0f, 0.0f};
    glm::vec2 boxCornerB{0.0f, 0.0f};
    /// Editor only: the text shown instead while it is edited or dragged.
    std::string previewText;
    /// Editor only: where the preview text is shown.
    glm::vec2 previewPosition{0.0f, 0.0f};
    /// Editor only: when set, the preview text is shown at the preview position in place of the
    /// text at the position.
    bool showPreview = false;

    Signpost() = default;
    Signpost(std::string shown, glm::vec2 at, glm::vec2 cornerA, glm::vec2 cornerB)
        : text(std::move(shown)), position(at), boxCornerA(cornerA), boxCornerB(cornerB)
    {
    }

    uint32_t GetLinkType() override { return LinkSignpost; }

    uint32_t GetTypeId() override { return TypeId; }
    /// Writes the record: tag 8, position, box corner A, box corner B, then the text as a string
    /// record (u32 0, u32 length, the bytes): 36 bytes plus the text.
    void Serialise(ByteBlob& blob) override;
    /// Reads position, box corners and text; the preview fields are left alone. A record whose
    /// text lacks the string tag is damaged: it is logged and refused (false) with the signpost
    /// and the blob's cursor unchanged. A record cut short, or a text length beyond the bytes
    /// left, raises `ByteBlobError` with both unchanged, before anything is allocated.
    bool Deserialise(ByteBlob& blob) override;
    /// False when the position or a box corner is not finite or lies beyond
    /// `MaxWorldCoordinate`; the level loader refuses such a record.
    bool IsSane() const;

    /// The editor's marker: a circle around the position in the selection colour or red; nothing
    /// when the circle lies outside `view` (min x, max x, min y, max y).
    void DrawMarker(LineRenderer& lines, const float (&view)[4]) const;
    /// What the text channel shows: the preview text while the preview is shown, else the text.
    const std::string& ShownText() const { return showPreview ? previewText : text; }
    /// Where the text channel shows `ShownText`.
    glm::vec2 ShownPosition() const { return showPreview ? previewPosition : position; }
    /// The text channel's share of a level: the shown text of each signpost in array order, at
    /// `TextScale`, laid out through `glyphs` into `mesh` as far as `view` (min x, max x, min y,
    /// max y) shows it (`Mesh::AddTextInView`), `MaxFrameTextQuads` at most for all of them
    /// together. `layouts` is what the caller keeps of the texts from frame to frame, one for each
    /// signpost in turn (it is sized to the signposts' count here), so that a long text that stays
    /// where it is and as it is costs a comparison of its bytes in a frame that does not show it.
    /// Allocates nothing for a text that the view does not show, but when a long text is kept
    /// for the first time or after it changed. Returns the quads added.
    static uint32_t AppendTexts(const DynArray<Signpost>& signposts, DynArray<LineLayout>& layouts, Mesh& mesh, const GlyphTable& glyphs,
                                const float (&view)[4]);

    uint32_t GetSelectableType() override { return SelectableSignpost; }
    bool HitTestPoint(glm::vec2 point) override;
    bool HitTestRect(float minX, float maxX, float minY, float maxY) override;
    /// Turns the position about `centre`; the box goes round with it but stays axis-aligned
    /// with its size unchanged.
    void Rotate(glm::vec2 centre, float angle) override;
    /// Moves the position and the box, and hides the preview.
    void Translate(glm::vec2 offset) override;
    glm::vec2 GetPosition() override { return position; }
    /// Draws nothing.
    void DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle) override;
    /// The marker circle at the moved position, in the preview colour; the batch's current
    /// colour is left as it was.
    void DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset) override;
    /// A new heap signpost with the same text, position and box, not selected and without a
    /// preview; the caller deletes it.
    Selectable* Clone() override;
};
