#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "EditorAction.h"

/// Changes a signpost's text; undo gives it the old text back. The editor's preview of the text
/// is not touched.
class Action_ChangeSignpost final : public EditorAction
{
public:
    uint32_t target = 0;
    std::string oldText;
    std::string newText;

    Action_ChangeSignpost(uint32_t selectableIndex, std::string before, std::string after)
        : target(selectableIndex), oldText(std::move(before)), newText(std::move(after))
    {
    }

    uint32_t GetType() const override { return ActionChangeSignpost; }
    void Apply(LevelEditor& editor) override;
    void Undo(LevelEditor& editor) override;
    void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const override;
    const char* Describe() const override { return "change signpost"; }
};
