#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Adds a signpost reading "Your Text Here" at `position`; undo removes the last signpost.
class Action_AddSignpost final : public EditorAction
{
public:
    static constexpr const char* NewText = "Your Text Here";

    glm::vec2 position{0.0f, 0.0f};

    explicit Action_AddSignpost(glm::vec2 at) : position(at) {}

    uint32_t GetType() const override { return ActionAddSignpost; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "add signpost"; }
};
