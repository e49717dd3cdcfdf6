#include "Action_Rotate.h"

#include "LevelEditor.h"

void Action_Rotate::Apply(LevelEditor& editor)
{
    for (uint32_t index : targets)
        if (Selectable* target = editor.SelectableAt(index))
            target->Rotate(pivot, angle);
}

void Action_Rotate::Undo(LevelEditor& editor)
{
    for (uint32_t index : targets)
        if (Selectable* target = editor.SelectableAt(index))
            target->Rotate(pivot, -angle);
}

void Action_Rotate::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    for (uint32_t index : targets)
        indices.PushBack(index);
}
