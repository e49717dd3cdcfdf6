#pragma once

#include <cstdint>

#include "EditorAction.h"
#include "WorldShape.h"

/// Adds a world shape drawn with the shape builder. Apply appends a copy of `shape` to the level,
/// gives it the level's clock and compiles it; undo removes the last world shape.
class Action_AddWorldGeo final : public EditorAction
{
public:
    /// The complete shape to add, uncompiled.
    WorldShape shape;

    explicit Action_AddWorldGeo(const WorldShape& added) : shape(added) {}

    uint32_t GetType() const override { return ActionAddWorldGeo; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "add world shape"; }
};
