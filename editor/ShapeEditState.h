#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "WorldShape.h"

/// The editor's record of the world shape in edit mode: which point or handle is being dragged
/// and the shape's points as they were when it was picked, so that a drag can be put back and
/// recorded as one undoable step. Owned by the editor while edit mode is on.
struct ShapeEditState
{
    /// Copies of the points at the moment of the last pick; uncompiled.
    WorldShape snapshot;
    /// The picked point, or -1 for none.
    int32_t elementIndex = -1;
    /// A `ShapeElementKind`: point, handle A, handle B or none.
    uint32_t elementKind = ElementNone;

    /// Picks the handle or point of `shape` within `radius` of `point` (`WorldShape::FindElement`)
    /// and, on a pick, snapshots the shape's points; nothing picked gives index -1 and kind none
    /// and keeps the old snapshot.
    void Pick(const WorldShape& shape, glm::vec2 point, float radius);
    /// True while a picked point or handle follows the cursor.
    bool IsDragging() const { return elementKind != ElementNone; }
};
