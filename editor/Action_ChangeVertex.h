#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Turns a point of a world shape from a corner into a smooth point (its handles centred on it)
/// or back; undo reverts it, putting a corner's handles back where they were.
class Action_ChangeVertex final : public EditorAction
{
public:
    uint32_t target = 0;
    int32_t pointIndex = 0;
    glm::vec2 oldHandleA{0.0f, 0.0f};
    glm::vec2 oldHandleB{0.0f, 0.0f};

    /// Records the point's handles from `editor`'s level.
    Action_ChangeVertex(uint32_t selectableIndex, int32_t point, LevelEditor& editor);

    uint32_t GetType() const override { return ActionChangeVertex; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "change point"; }
};
