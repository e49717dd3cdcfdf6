#include "Action_DeleteSelection.h"

#include "LevelEditor.h"

namespace
{
/// The place of `object` in `array`, found by identity; -1 when it is not there.
template <typename T>
int64_t PlaceIn(const DynArray<T>& array, const Selectable* object)
{
    const T* element = static_cast<const T*>(object);
    if (array.count == 0 || element < array.items || element >= array.items + array.count)
        return -1;
    return element - array.items;
}

template <typename T>
void InsertClone(DynArray<T>& array, uint32_t index, const Selectable* clone)
{
    // A record beyond the array's end cannot come from this history; it is put at the end.
    const uint32_t at = index <= array.count ? index : array.count;
    array.InsertAt(*static_cast<const T*>(clone), static_cast<int32_t>(at));
}

void DeleteClone(Selectable* clone)
{
    switch (clone->GetSelectableType())
    {
    case SelectableWorldShape: delete static_cast<WorldShape*>(clone); break;
    case SelectableTrinket: delete static_cast<Trinket*>(clone); break;
    case SelectableWaypoint: delete static_cast<Waypoint*>(clone); break;
    case SelectableSignpost: delete static_cast<Signpost*>(clone); break;
    default: break; // nothing else is ever cloned
    }
}
} // namespace

Action_DeleteSelection::Action_DeleteSelection(const DynArray<uint32_t>& selectionCopy, LevelEditor& editor)
{
    Level& level = *editor.level;
    for (uint32_t index : selectionCopy)
    {
        Selectable* object = editor.SelectableAt(index);
        if (object == nullptr)
            continue;
        int64_t place = -1;
        switch (object->GetSelectableType())
        {
        case SelectableWorldShape: place = PlaceIn(level.worldShapes, object); break;
        case SelectableTrinket: place = PlaceIn(level.trinkets, object); break;
        case SelectableWaypoint: place = PlaceIn(level.waypoints, object); break;
        case SelectableSignpost: place = PlaceIn(level.signposts, object); break;
        default: break; // the level start is never deleted
        }
        if (place < 0)
            continue;
        Selectable* clone = object->Clone();
        if (clone == nullptr)
            continue;
        arrayIndices.PushBack(static_cast<uint32_t>(place));
        clones.PushBack(clone);
    }
}

Action_DeleteSelection::~Action_DeleteSelection()
{
    for (Selectable* clone : clones)
        DeleteClone(clone);
}

void Action_DeleteSelection::Apply(LevelEditor& editor)
{
    Level& level = *editor.level;
    uint32_t removed[5] = {0, 0, 0, 0, 0};
    for (uint32_t k = 0; k < clones.count; ++k)
    {
        const uint32_t kind = clones[k]->GetSelectableType();
        if (kind > SelectableSignpost || arrayIndices[k] < removed[kind])
            continue;
        const uint32_t at = arrayIndices[k] - removed[kind];
        switch (kind)
        {
        case SelectableWorldShape: level.worldShapes.RemoveAt(at); break;
        case SelectableTrinket: level.trinkets.RemoveAt(at); break;
        case SelectableWaypoint: level.waypoints.RemoveAt(at); break;
        case SelectableSignpost: level.signposts.RemoveAt(at); break;
        default: continue;
        }
        ++removed[kind];
    }
}

void Action_DeleteSelection::Undo(LevelEditor& editor)
{
    Level& level = *editor.level;
    for (uint32_t k = 0; k < clones.count; ++k)
    {
        const uint32_t at = arrayIndices[k];
        switch (clones[k]->GetSelectableType())
        {
        case SelectableWorldShape:
        {
            InsertClone(level.worldShapes, at, clones[k]);
            WorldShape& shape = level.worldShapes[at < level.worldShapes.count ? at : level.worldShapes.count - 1];
            shape.Compile();
            // A copy keeps no clock of its own; the shape animates with its level's.
            shape.SetLevelTime(&level.time);
            break;
        }
        case SelectableTrinket: InsertClone(level.trinkets, at, clones[k]); break;
        case SelectableWaypoint:
        {
            InsertClone(level.waypoints, at, clones[k]);
            level.waypoints[at < level.waypoints.count ? at : level.waypoints.count - 1].levelTime = &level.time;
            break;
        }
        case SelectableSignpost: InsertClone(level.signposts, at, clones[k]); break;
        default: break;
        }
    }
}

void Action_DeleteSelection::ListChanged(const LevelEditor&, DynArray<uint32_t>&) const
{
    // Only removes.
}
