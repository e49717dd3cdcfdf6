#include "Action_AddVertex.h"

#include "LevelEditor.h"
#include "LogChannel.h"

void Action_AddVertex::Apply(LevelEditor& editor)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 9),
                                    "Tried to apply an 'add vertex' action with a target of the wrong type.");
    if (shape == nullptr)
    {
        inserted = false;
        return;
    }
    inserted = shape->InsertPoint(position, LevelEditor::PickRadius);
}

void Action_AddVertex::Undo(LevelEditor& editor)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 19),
                                    "Tried to undo an 'add vertex' action with a target of the wrong type.");
    if (shape == nullptr)
        return;
    if (inserted)
        shape->RemovePoint(static_cast<int32_t>(newIndex));
    inserted = false;
}

void Action_AddVertex::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
