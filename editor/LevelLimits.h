#pragma once

#include <string>

#include "DynArray.h"

class Level;
class Selectable;

/// The limits within which a level file loads back whole: the level loader refuses a file whose
/// coordinates lie beyond `MaxWorldCoordinate` (or are not numbers), or whose records cost more
/// than `Level::MaxLoadCost`. (Magnet fields beyond the level's budget are no limit: building
/// the fields, after a load or an edit, leaves those fields out, not the level.) The editor holds
/// every edit within them, so that nothing it saves is refused when it is loaded again; it holds
/// the handles of straight edges within the world too, which the loader would move rather than
/// refuse, so that a saved level also reads back unchanged. This is the one place that repeats
/// the loader's rules for the editor.
///
/// Both checks read the compiled segments, so every shape must be compiled; neither allocates.
class LevelLimits
{
public:
    /// Empty when a file written from `level` loads back whole; otherwise, for the designer, what
    /// would be refused. A pass over every object, point and segment.
    static std::string Check(const Level& level);
    /// What `Check` answers for a level that was within the limits before the objects in
    /// `changed` (objects of `level`) were added or changed: it looks at the coordinates of those
    /// objects only, and at the level's cost, which reads counts rather than points.
    static std::string CheckChanged(const Level& level, const DynArray<Selectable*>& changed);
};
