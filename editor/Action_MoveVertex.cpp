#include "Action_MoveVertex.h"

#include "LevelEditor.h"

void Action_MoveVertex::Apply(LevelEditor& editor)
{
    Move(editor, offset);
}

void Action_MoveVertex::Undo(LevelEditor& editor)
{
    Move(editor, -offset);
}

void Action_MoveVertex::Move(LevelEditor& editor, glm::vec2 by)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr || shape->points.count == 0)
        return;
    ShapePoint& point = shape->PointAt(pointIndex);
    if (elementKind == ElementPoint)
    {
        point.position += by;
        point.handleB += by;
        point.handleA += by;
    }
    else if (elementKind == ElementHandleA)
    {
        point.handleA += by;
        point.AlignHandleB();
    }
    else if (elementKind == ElementHandleB)
    {
        point.handleB += by;
        point.AlignHandleA();
    }
    shape->Compile();
}

void Action_MoveVertex::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
