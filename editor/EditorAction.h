#pragma once

#include <cstdint>
#include <string>

#include "DynArray.h"

class LevelEditor;
class WorldShape;

/// What `EditorAction::GetType` answers, one value per action class.
enum EditorActionType : uint32_t
{
    ActionAddWorldGeo = 0,
    ActionAddTrinket = 1,
    ActionTranslate = 2,
    ActionRotate = 3,
    ActionDeleteSelection = 4,
    ActionMoveVertex = 5,
    ActionAddVertex = 6,
    ActionDeleteVertex = 7,
    ActionChangeSpline = 8,
    ActionChangeVertex = 9,
    ActionAddWaypoint = 10,
    ActionChangeWaypoint = 11,
    ActionAddSignpost = 12,
    ActionChangeSignpost = 13,
};

/// One undoable change to the editor's level. An action records what it needs when it is made,
/// is handed to `LevelEditor::AddAction`, which owns it from then on and applies it at once, and
/// is then undone and redone in strict order along the editor's linear history. Targets are
/// addressed by their index in the editor's selectable list (level start, world shapes,
/// trinkets, waypoints, signposts), which names the same object whenever the action runs
/// because the history is linear. Destroying an action releases everything it holds.
class EditorAction
{
public:
    virtual ~EditorAction() = default;

    /// The action's `EditorActionType`.
    virtual uint32_t GetType() const = 0;
    /// Makes the change; also redoes it.
    virtual void Apply(LevelEditor& editor) = 0;
    /// Reverts the change.
    virtual void Undo(LevelEditor& editor) = 0;
    /// A few words naming the change in the editor's log ("add trinket").
    virtual const char* Describe() const = 0;
    /// Appends the selectable indices of the objects that the last `Apply` added or changed in a
    /// way that could take them beyond the level's limits (new places, new edges, longer texts),
    /// as they stand in the editor's rebuilt list after it; objects only removed are left out.
    virtual void ListChanged(const LevelEditor& editor, DynArray<uint32_t>& indices) const = 0;

protected:
    /// The world shape at selectable `target` of `editor`'s list, or null when that is none: then
    /// `fault` is logged at `where` (a `LogLocation`) as the fault in the program it is.
    static WorldShape* TargetShape(LevelEditor& editor, uint32_t target, const std::string& where, const char* fault);
};
