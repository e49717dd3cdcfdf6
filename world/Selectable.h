#pragma once

#include <cmath>
#include <cstdint>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

class LineRenderer;

/// The colour of rotate and move previews in the editor.
inline constexpr glm::vec3 PreviewColour{0.5f, 0.0f, 0.0f};
/// The colour of a selected object in the editor.
inline constexpr glm::vec3 SelectedColour{0.5f, 0.5f, 1.0f};

/// What `Selectable::GetSelectableType` answers; the editor tells objects apart only by it.
enum SelectableType : uint32_t
{
    SelectableWorldShape = 0,
    SelectableTrinket = 1,
    SelectableWaypoint = 2,
    SelectableLevelStart = 3,
    SelectableSignpost = 4,
};

/// A level object that the editor can pick, move, rotate, preview and copy without knowing its
/// class. Pointers to one are valid only while the level's array holding it keeps its size.
class Selectable
{
public:
    /// Set and cleared by the editor; drawing reads it for its colours.
    bool selected = false;

    virtual uint32_t GetSelectableType() = 0;
    /// True when the world point `point` picks the object.
    virtual bool HitTestPoint(glm::vec2 point) = 0;
    /// True when the rectangle (world units) catches the object.
    virtual bool HitTestRect(float minX, float maxX, float minY, float maxY) = 0;
    /// Rotates about `centre` by `angle` radians, clockwise for a positive angle (see `RotatePoint`).
    virtual void Rotate(glm::vec2 centre, float angle) = 0;
    virtual void Translate(glm::vec2 offset) = 0;
    /// The reference position, world units.
    virtual glm::vec2 GetPosition() = 0;
    /// Draws the object as `Rotate` would leave it, in the preview colour; changes nothing.
    virtual void DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle) = 0;
    /// Draws the object as `Translate` would leave it, in the preview colour; changes nothing.
    virtual void DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset) = 0;
    /// A new heap copy owned by the caller, or null for objects that are never copied. The owner
    /// deletes it as an object of the class that `GetSelectableType` names.
    virtual Selectable* Clone() = 0;

protected:
    ~Selectable() = default;
};

/// `point` rotated about `centre` by `angle` radians; a positive angle turns clockwise with x to
/// the right and y up, so (1, 0) turned by pi/2 about the origin becomes (0, -1).
inline glm::vec2 RotatePoint(glm::vec2 point, glm::vec2 centre, float angle)
{
    const float dx = point.x - centre.x;
    const float dy = point.y - centre.y;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {centre.x + dx * c + dy * s, centre.y - dx * s + dy * c};
}
