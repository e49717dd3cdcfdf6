#include "Action_Translate.h"

#include "LevelEditor.h"

void Action_Translate::Apply(LevelEditor& editor)
{
    for (uint32_t index : targets)
        if (Selectable* target = editor.SelectableAt(index))
            target->Translate(offset);
    editor.selectionCentre += offset;
}

void Action_Translate::Undo(LevelEditor& editor)
{
    for (uint32_t index : targets)
        if (Selectable* target = editor.SelectableAt(index))
            target->Translate(-offset);
    editor.selectionCentre -= offset;
}

void Action_Translate::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    for (uint32_t index : targets)
        indices.PushBack(index);
}
