#include "LevelLimits.h"

#include <cstdint>

#include "Level.h"

namespace
{
std::string Beyond(const char* what)
{
    return std::string(what) + " would lie beyond the edge of the world (coordinates from -1000000 to 1000000)";
}

const char* const FieldTooLong = "a magnetic edge would be too long for its field";

/// The coordinates of one shape, and the size of each of its magnetic fields on its own.
std::string CheckShape(const WorldShape& shape, bool& magnetic)
{
    for (const ShapePoint& point : shape.points)
        if (!point.IsInsideWorld())
            return Beyond("a world shape");
    for (const ShapeSegment& segment : shape.segments)
    {
        uint64_t width = 0;
        uint64_t height = 0;
        segment.GetDataTextureSize(width, height);
        if (width > ShapeSegment::MaxDataTextureSide || height > ShapeSegment::MaxDataTextureSide)
            return FieldTooLong;
        magnetic = magnetic || width * height > 0;
    }
    return {};
}

/// The loader's limits over all the level's shapes together; the fields only when asked.
std::string CheckTotals(const Level& level, bool fields)
{
    uint64_t compiledPoints = 0;
    for (const WorldShape& shape : level.worldShapes)
        // The outline holds every segment's points but its last, which the next one begins with.
        compiledPoints += static_cast<uint64_t>(shape.outline.count) + shape.segments.count;
    if (compiledPoints > Level::MaxCompiledPoints)
        return "the world shapes would be too long to load (more than " + std::to_string(Level::MaxCompiledPoints) +
               " edge samples)";
    if (!fields)
        return {};
    uint64_t texels = 0;
    for (const WorldShape& shape : level.worldShapes)
        for (const ShapeSegment& segment : shape.segments)
        {
            uint64_t width = 0;
            uint64_t height = 0;
            segment.GetDataTextureSize(width, height);
            texels += width * height;
        }
    if (texels > Level::MaxDataTexels)
        return "the magnetic edges would need more field than a level may hold";
    return {};
}

std::string CheckObject(Selectable& object, bool& shape, bool& magnetic)
{
    switch (object.GetSelectableType())
    {
    case SelectableWorldShape:
        shape = true;
        return CheckShape(static_cast<const WorldShape&>(object), magnetic);
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
    bool magnetic = false;
    for (const WorldShape& shape : level.worldShapes)
    {
        const std::string refusal = CheckShape(shape, magnetic);
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
    return CheckTotals(level, magnetic);
}

std::string LevelLimits::CheckChanged(const Level& level, const DynArray<Selectable*>& changed)
{
    bool shape = false;
    bool magnetic = false;
    for (Selectable* object : changed)
    {
        const std::string refusal = CheckObject(*object, shape, magnetic);
        if (!refusal.empty())
            return refusal;
    }
    // The totals grow only with a shape that was added or changed, and the field total only with
    // one that has a field now.
    return shape ? CheckTotals(level, magnetic) : std::string();
}
