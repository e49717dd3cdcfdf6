#include "LevelLimits.h"

#include <cstdint>

#include "Level.h"

namespace
{
std::string Beyond(const char* what)
{
    return std::string(what) + " would lie beyond the edge of the world (coordinates from -1000000 to 1000000)";
}

/// The coordinates of one shape.
std::string CheckShape(const WorldShape& shape)
{
    for (const ShapePoint& point : shape.points)
        if (!point.IsInsideWorld())
            return Beyond("a world shape");
    return {};
}

/// What the loader charges for the whole level, against what it takes.
std::string CheckCost(const Level& level)
{
    if (level.LoadCost() > Level::MaxLoadCost)
        return "the level would be too large to load (its objects and edges would cost more than " +
               std::to_string(Level::MaxLoadCost) + ")";
    return {};
}

std::string CheckObject(Selectable& object)
{
    switch (object.GetSelectableType())
    {
    case SelectableWorldShape: return CheckShape(static_cast<const WorldShape&>(object));
    case SelectableTrinket: return static_cast<const Trinket&>(object).IsSane() ? std::string() : Beyond("a trinket");
    case SelectableWaypoint: return static_cast<const Waypoint&>(object).IsSane() ? std::string() : Beyond("a waypoint");
    case SelectableSignpost: return static_cast<const Signpost&>(object).IsSane() ? std::string() : Beyond("a signpost");
    case SelectableLevelStart:
        return static_cast<const LevelStart&>(object).IsSane() ? std::string() : Beyond("the level start");
    default: return {};
    }
}
} // namespace

std::string LevelLimits::Check(const Level& level)
{
    if (!level.start.IsSane())
        return Beyond("the level start");
    for (const WorldShape& shape : level.worldShapes)
    {
        const std::string refusal = CheckShape(shape);
        if (!refusal.empty())
            return refusal;
    }
    for (const Trinket& trinket : level.trinkets)
        if (!trinket.IsSane())
            return Beyond("a trinket");
    for (const Waypoint& waypoint : level.waypoints)
        if (!waypoint.IsSane())
            return Beyond("a waypoint");
    for (const Signpost& signpost : level.signposts)
        if (!signpost.IsSane())
            return Beyond("a signpost");
    return CheckCost(level);
}

std::string LevelLimits::CheckChanged(const Level& level, const DynArray<Selectable*>& changed)
{
    for (Selectable* object : changed)
    {
        const std::string refusal = CheckObject(*object);
        if (!refusal.empty())
            return refusal;
    }
    // Every added object costs, and a changed shape or signpost may cost more than it did.
    return changed.count > 0 ? CheckCost(level) : std::string();
}
