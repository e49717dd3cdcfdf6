#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

/// The editor's record of a waypoint point being dragged in edit mode. Owned by the editor from
/// the press to the release (or the right press that cancels it).
struct WaypointDrag
{
    /// Which point: 0 end A, 1 end B, 2 the respawn point.
    uint32_t point = 0;
    /// World position of the press.
    glm::vec2 pressPosition{0.0f, 0.0f};
    /// Where the point was before the drag: a cancelled drag puts it back here, and the recorded
    /// move starts here, so that undoing the move brings the point back exactly.
    glm::vec2 original{0.0f, 0.0f};
};
