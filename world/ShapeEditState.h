#pragma once

#include <cstdint>

#include "WorldShape.h"

/// The editor's record of the world shape in edit mode: which point or handle is being dragged
/// and the shape's points as they were when it was picked, so that a drag can be undone as one
/// step. Owned by the editor while edit mode is on.
struct ShapeEditState
{
    /// Copies of the points at the moment of the pick; uncompiled.
    WorldShape snapshot;
    /// The picked point, or -1 for none.
    int32_t elementIndex = -1;
    /// A `ShapeElementKind`: point, handle A, handle B or none.
    uint32_t elementKind = ElementNone;
};
