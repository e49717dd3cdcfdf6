#include "Action_AddVertex.h"

#include "LevelEditor.h"
#include "LogChannel.h"

void Action_AddVertex::Apply(LevelEditor& editor)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 9) << "Tried to apply an 'add vertex' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        inserted = false;
        return;
    }
    inserted = shape->InsertPoint(position, LevelEditor::PickRadius);
}

void Action_AddVertex::Undo(LevelEditor& editor)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 19) << "Tried to undo an 'add vertex' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        return;
    }
    if (inserted)
        shape->RemovePoint(static_cast<int32_t>(newIndex));
    inserted = false;
}

void Action_AddVertex::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
