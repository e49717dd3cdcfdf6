#include "Action_AddTrinket.h"

#include "LevelEditor.h"

void Action_AddTrinket::Apply(LevelEditor& editor)
{
    Trinket trinket(position);
    trinket.selected = false;
    trinket.timer = 0.0f;
    editor.level->trinkets.PushBack(trinket);
}

void Action_AddTrinket::Undo(LevelEditor& editor)
{
    editor.RemoveLastObject(SelectableTrinket);
}

void Action_AddTrinket::ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const
{
    const Level& level = *editor.level;
    indices.PushBack(level.worldShapes.count + level.trinkets.count);
}
