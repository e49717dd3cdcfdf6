#include "Action_AddWaypoint.h"

#include <cmath>

#include "LevelEditor.h"

void Action_AddWaypoint::Apply(LevelEditor& editor)
{
    Level& level = *editor.level;
    const glm::vec2 d = endB - endA;
    const float length = std::sqrt(d.x * d.x + d.y * d.y);
    glm::vec2 respawn = (endA + endB) * 0.5f;
    // The editor makes no waypoint shorter than 0.8, so a gate of no length has no side to
    // respawn on; its middle will do.
    if (length > 0.0f)
        respawn += glm::vec2(-0.3f * d.y / length, 0.3f * d.x / length);
    Waypoint waypoint(endA, endB, respawn, &level.time);
    waypoint.selected = false;
    waypoint.index = -1;
    waypoint.previous = -1;
    level.waypoints.PushBack(waypoint);
}

void Action_AddWaypoint::Undo(LevelEditor& editor)
{
    editor.RemoveLastObject(SelectableWaypoint);
}

void Action_AddWaypoint::ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const
{
    const Level& level = *editor.level;
    indices.PushBack(level.worldShapes.count + level.trinkets.count + level.waypoints.count);
}
