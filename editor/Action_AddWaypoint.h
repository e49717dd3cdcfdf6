#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Adds a waypoint from end A to end B, its respawn point 0.3 to the left of the middle of the
/// gate (seen from A towards B); undo removes the last waypoint.
class Action_AddWaypoint final : public EditorAction
{
public:
    glm::vec2 endA{0.0f, 0.0f};
    glm::vec2 endB{0.0f, 0.0f};

    Action_AddWaypoint(glm::vec2 a, glm::vec2 b) : endA(a), endB(b) {}

    uint32_t GetType() const override { return ActionAddWaypoint; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "add waypoint"; }
};
