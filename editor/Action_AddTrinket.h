#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Adds a trinket at `position`; undo removes the last trinket.
class Action_AddTrinket final : public EditorAction
{
public:
    glm::vec2 position{0.0f, 0.0f};

    explicit Action_AddTrinket(glm::vec2 at) : position(at) {}

    uint32_t GetType() const override { return ActionAddTrinket; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "add trinket"; }
};
