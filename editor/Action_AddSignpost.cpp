#include "Action_AddSignpost.h"

#include "LevelEditor.h"

void Action_AddSignpost::Apply(LevelEditor& editor)
{
    const glm::vec2 cornerA = position + glm::vec2(-1.5f, -1.0f);
    const glm::vec2 cornerB = position + glm::vec2(1.5f, -2.0f);
    editor.level->signposts.PushBack(Signpost(NewText, position, cornerA, cornerB));
}

void Action_AddSignpost::Undo(LevelEditor& editor)
{
    editor.RemoveLastObject(SelectableSignpost);
}

void Action_AddSignpost::ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const
{
    const Level& level = *editor.level;
    indices.PushBack(level.worldShapes.count + level.trinkets.count + level.waypoints.count + level.signposts.count);
}
