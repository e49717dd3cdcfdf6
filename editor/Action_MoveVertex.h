#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Moves a point of a world shape with its handles (kind 0), or one of its handles (1 handle A,
/// 2 handle B, the other following on a smooth point), by `offset`; undo moves it back. Nothing
/// happens on a target that is not a world shape.
class Action_MoveVertex final : public EditorAction
{
public:
    /// A `ShapeElementKind` other than none.
    uint32_t elementKind = 0;
    glm::vec2 offset{0.0f, 0.0f};
    uint32_t target = 0;
    /// Wrapped into the shape's points when used.
    int32_t pointIndex = 0;

    Action_MoveVertex(uint32_t kind, glm::vec2 by, uint32_t selectableIndex, int32_t point)
        : elementKind(kind), offset(by), target(selectableIndex), pointIndex(point)
    {
    }

    uint32_t GetType() const override { return ActionMoveVertex; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "move point"; }

private:
    void Move(LevelEditor& editor, glm::vec2 by);
};
