#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Moves one point of a waypoint (0 end A, 1 end B, 2 the respawn point) by `offset`; undo moves
/// it back. Nothing happens on a target that is not a waypoint.
class Action_ChangeWaypoint final : public EditorAction
{
public:
    uint32_t which = 0;
    glm::vec2 offset{0.0f, 0.0f};
    uint32_t target = 0;

    Action_ChangeWaypoint(uint32_t point, glm::vec2 by, uint32_t selectableIndex)
        : which(point), offset(by), target(selectableIndex)
    {
    }

    uint32_t GetType() const override { return ActionChangeWaypoint; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "move waypoint point"; }

private:
    void Move(LevelEditor& editor, glm::vec2 by);
};
