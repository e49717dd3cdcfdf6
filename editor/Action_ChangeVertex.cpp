#include "Action_ChangeVertex.h"

#include "LevelEditor.h"
#include "LogChannel.h"

Action_ChangeVertex::Action_ChangeVertex(uint32_t selectableIndex, int32_t point, LevelEditor& editor)
    : target(selectableIndex), pointIndex(point)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 9),
                                    "Tried to add a 'change vertex' action with a target of the wrong type.");
    if (shape == nullptr || shape->points.count == 0)
        return;
    oldHandleA = shape->PointAt(pointIndex).handleA;
    oldHandleB = shape->PointAt(pointIndex).handleB;
}

void Action_ChangeVertex::Apply(LevelEditor& editor)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 20),
                                    "Tried to apply a 'change vertex' action with a target of the wrong type.");
    if (shape == nullptr || shape->points.count == 0)
        return;
    ShapePoint& point = shape->PointAt(pointIndex);
    point.isCorner = !point.isCorner;
    if (point.isCorner)
        return;
    const glm::vec2 offset = point.position - (point.handleA + point.handleB) * 0.5f;
    point.handleA += offset;
    point.handleB += offset;
    shape->Compile();
}

void Action_ChangeVertex::Undo(LevelEditor& editor)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 38),
                                    "Tried to undo a 'change vertex' action with a target of the wrong type.");
    if (shape == nullptr || shape->points.count == 0)
        return;
    ShapePoint& point = shape->PointAt(pointIndex);
    point.isCorner = !point.isCorner;
    if (!point.isCorner)
        return;
    point.handleA = oldHandleA;
    point.handleB = oldHandleB;
    shape->Compile();
}

void Action_ChangeVertex::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
