#include "Action_DeleteVertex.h"

#include "LevelEditor.h"
#include "LogChannel.h"

Action_DeleteVertex::Action_DeleteVertex(uint32_t selectableIndex, int32_t point, LevelEditor& editor)
    : target(selectableIndex), pointIndex(point)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 9),
                                    "Tried to add a 'delete vertex' action with a target of the wrong type.");
    if (shape == nullptr)
        return;
    if (shape->points.count == 0)
        return;
    const auto n = static_cast<int32_t>(shape->points.count);
    pointIndex = ((point % n) + n) % n;
    deleted = shape->PointAt(pointIndex);
    deleted.nextSegment = nullptr;
    deleted.previousSegment = nullptr;
    previousHandleB = shape->PointAt(pointIndex - 1).handleB;
    nextHandleA = shape->PointAt(pointIndex + 1).handleA;
}

void Action_DeleteVertex::Apply(LevelEditor& editor)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 21),
                                    "Tried to apply a 'delete vertex' action with a target of the wrong type.");
    if (shape == nullptr)
    {
        removed = false;
        return;
    }
    // A shape keeps at least two points; removing below that changes nothing.
    removed = shape->points.count > 2 && static_cast<uint32_t>(pointIndex) < shape->points.count;
    if (removed)
        shape->RemovePoint(pointIndex);
}

void Action_DeleteVertex::Undo(LevelEditor& editor)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 31),
                                    "Tried to undo a 'delete vertex' action with a target of the wrong type.");
    if (shape == nullptr)
        return;
    if (!removed)
        return;
    removed = false;
    shape->points.InsertAt(deleted, pointIndex);
    shape->PointAt(pointIndex - 1).handleB = previousHandleB;
    shape->PointAt(pointIndex + 1).handleA = nextHandleA;
    shape->Compile();
}

void Action_DeleteVertex::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    // Removing a point stretches its neighbours' handles over the merged edge.
    indices.PushBack(target);
}
