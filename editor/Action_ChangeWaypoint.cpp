#include "Action_ChangeWaypoint.h"

#include "LevelEditor.h"

void Action_ChangeWaypoint::Apply(LevelEditor& editor)
{
    Move(editor, offset);
}

void Action_ChangeWaypoint::Undo(LevelEditor& editor)
{
    Move(editor, -offset);
}

void Action_ChangeWaypoint::Move(LevelEditor& editor, glm::vec2 by)
{
    Waypoint* waypoint = editor.WaypointAt(target);
    if (waypoint == nullptr)
        return;
    if (which == 0)
        waypoint->endA += by;
    else if (which == 1)
        waypoint->endB += by;
    else if (which == 2)
        waypoint->respawnPoint += by;
}

void Action_ChangeWaypoint::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
