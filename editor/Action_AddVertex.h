#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "EditorAction.h"

/// Inserts a point on the edge of a world shape nearest to `position`; undo removes the point at
/// `newIndex` again (which stretches the neighbouring handles back to within rounding).
class Action_AddVertex final : public EditorAction
{
public:
    uint32_t target = 0;
    glm::vec2 position{0.0f, 0.0f};
    /// Where the new point lands: the edge's index plus one.
    uint32_t newIndex = 0;

    Action_AddVertex(uint32_t selectableIndex, glm::vec2 at, uint32_t inserted)
        : target(selectableIndex), position(at), newIndex(inserted)
    {
    }

    uint32_t GetType() const override { return ActionAddVertex; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "add point"; }

private:
    /// Whether the last apply inserted a point, so that undo never removes one it did not add.
    bool inserted = false;
};
