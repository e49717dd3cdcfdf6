#pragma once

#include <cstdint>
#include <utility>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "EditorAction.h"

/// Turns the listed objects about `pivot` by `angle` radians (clockwise for a positive angle);
/// undo turns them back. The selection centre stays.
class Action_Rotate final : public EditorAction
{
public:
    glm::vec2 pivot{0.0f, 0.0f};
    float angle = 0.0f;
    /// Selectable indices of the turned objects.
    DynArray<uint32_t> targets;

    Action_Rotate(glm::vec2 about, float radians, DynArray<uint32_t> indices)
        : pivot(about), angle(radians), targets(std::move(indices))
    {
    }

    uint32_t GetType() const override { return ActionRotate; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "rotate"; }
};
