#pragma once

#include <cstdint>
#include <string>

#include "EditorAction.h"

/// Sets the surface type of the edge that leaves a point of a world shape, or, with the value
/// `ToggleSpline`, turns the edge from straight to curved or back; undo reverts it.
class Action_ChangeSpline final : public EditorAction
{
public:
    /// The value that toggles the edge's spline flag instead of setting a surface type.
    static constexpr uint32_t ToggleSpline = 9;

    uint32_t oldType = 0;
    /// A `SurfaceType` value, or `ToggleSpline`.
    uint32_t newValue = 0;
    uint32_t target = 0;
    int32_t pointIndex = 0;

    /// Records the edge's current surface type from `editor`'s level.
    Action_ChangeSpline(uint32_t selectableIndex, int32_t point, uint32_t value, LevelEditor& editor);

    uint32_t GetType() const override { return ActionChangeSpline; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "change edge"; }

private:
    /// Gives the edge the surface type `surfaceType`, or, for a `ToggleSpline` action, toggles its
    /// spline flag; a target that is no world shape is logged as `fault` at `where`.
    void Set(LevelEditor& editor, uint32_t surfaceType, const std::string& where, const char* fault);
};
