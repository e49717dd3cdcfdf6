#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"
#include "ShapePoint.h"

/// Removes a point of a world shape; undo puts the point back with the handles of its two
/// neighbours as they were.
class Action_DeleteVertex final : public EditorAction
{
public:
    ShapePoint deleted;
    glm::vec2 previousHandleB{0.0f, 0.0f};
    glm::vec2 nextHandleA{0.0f, 0.0f};
    uint32_t target = 0;
    /// Wrapped into the shape's points when the action is made.
    int32_t pointIndex = 0;

    /// Records point `point` of the shape at `selectableIndex` of `editor` and its neighbours'
    /// handles.
    Action_DeleteVertex(uint32_t selectableIndex, int32_t point, LevelEditor& editor);

    uint32_t GetType() const override { return ActionDeleteVertex; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "delete point"; }

private:
    /// Whether the last apply removed the point (a shape keeps at least two).
    bool removed = false;
};
