#include "Action_AddWorldGeo.h"

#include "LevelEditor.h"

void Action_AddWorldGeo::Apply(LevelEditor& editor)
{
    Level& level = *editor.level;
    level.worldShapes.PushBack(shape);
    WorldShape& added = level.worldShapes[level.worldShapes.count - 1];
    added.selected = false;
    added.Compile();
    added.SetLevelTime(&level.time);
}

void Action_AddWorldGeo::Undo(LevelEditor& editor)
{
    editor.RemoveLastObject(SelectableWorldShape);
}

void Action_AddWorldGeo::ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const
{
    indices.PushBack(editor.level->worldShapes.count);
}
