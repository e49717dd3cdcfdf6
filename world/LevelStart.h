#pragma once

#include <cstdint>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "Selectable.h"

class ByteBlob;
class LineRenderer;

/// Where every player of a level begins. A member of the level, stored right after the level's
/// tag; the editor can select, move and rotate it but never delete or copy it.
class LevelStart final : public Selectable
{
public:
    /// Radius of the pick circle and of the marker's outer circle, world units.
    static constexpr float Radius = 0.2f;
    static constexpr glm::vec3 EditorColour{0.8f, 0.8f, 0.8f};

    /// Spawn position of every player, world units.
    glm::vec2 position{0.0f, 0.0f};
    /// Kept through load and save for the files that carry it; nothing reads it.
    float reserved = 0.0f;

    /// Writes the start's 12 bytes of the level record (position x, position y, reserved);
    /// the level writes its tag before them.
    void WriteFields(ByteBlob& blob) const;
    /// Reads the 12 bytes that `WriteFields` writes. A record cut short raises `ByteBlobError`
    /// with the start and the blob's cursor unchanged.
    void ReadFields(ByteBlob& blob);
    /// False when the position is not finite or lies beyond `MaxWorldCoordinate`; the level
    /// loader refuses such a level.
    bool IsSane() const;

    /// The marker in the editor's colours: grey, or the selection colour while selected.
    void Draw(LineRenderer& lines) const;

    uint32_t GetSelectableType() override { return SelectableLevelStart; }
    bool HitTestPoint(glm::vec2 point) override;
    bool HitTestRect(float minX, float maxX, float minY, float maxY) override;
    /// Moves the position round `centre`; the marker itself is always drawn upright.
    void Rotate(glm::vec2 centre, float angle) override;
    void Translate(glm::vec2 offset) override;
    glm::vec2 GetPosition() override { return position; }
    void DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle) override;
    void DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset) override;
    /// Always null, with an error line: a level has exactly one start, so it is never copied.
    Selectable* Clone() override;
};

/// The start marker, a player's figure at angle 0 inside a circle, centred on `position`, in
/// `colour`, which is left as the batch's current colour.
void DrawLevelStartMarker(glm::vec2 position, LineRenderer& lines, const glm::vec3& colour);
