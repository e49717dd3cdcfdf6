#pragma once

#include <cstdint>
#include <utility>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "EditorAction.h"

/// Moves the listed objects by `offset`, and the editor's selection centre with them; undo moves
/// them back.
class Action_Translate final : public EditorAction
{
public:
    glm::vec2 offset{0.0f, 0.0f};
    /// Selectable indices of the moved objects.
    DynArray<uint32_t> targets;

    Action_Translate(glm::vec2 by, DynArray<uint32_t> indices) : offset(by), targets(std::move(indices)) {}

    uint32_t GetType() const override { return ActionTranslate; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "move"; }
};
