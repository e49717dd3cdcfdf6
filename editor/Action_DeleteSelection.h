#pragma once

#include <cstdint>

#include "DynArray.h"
#include "EditorAction.h"

class Selectable;

/// Deletes the selected objects (never the level start), keeping a copy of each so that undo can
/// put every one back at its place in its own array.
class Action_DeleteSelection final : public EditorAction
{
public:
    /// Each deleted object's index in its own level array, in selection order.
    DynArray<uint32_t> arrayIndices;
    /// A copy of each deleted object, owned, in the same order.
    DynArray<Selectable*> clones;

    /// Records the objects of `selectionCopy` (selectable indices, in selectable-list order) as
    /// they are in `editor`'s level now.
    Action_DeleteSelection(const DynArray<uint32_t>& selectionCopy, LevelEditor& editor);
    ~Action_DeleteSelection() override;
    Action_DeleteSelection(const Action_DeleteSelection&) = delete;
    Action_DeleteSelection& operator=(const Action_DeleteSelection&) = delete;

    uint32_t GetType() const override { return ActionDeleteSelection; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "delete selection"; }
};
