#include "LevelLimits.h"

#include <cstdint>

#include "Level.h"

namespace
{
std::string Beyond(const char* what)
{
    return std::string(what) + " would lie beyond the edge of the world (coordinates from -1000000 to 1000000)";
}
} // namespace

std::string LevelLimits::Check(const Level& level)
{
    if (!level.start.IsSane())
        return Beyond("the level start");

    uint64_t compiledPoints = 0;
    uint64_t texels = 0;
    for (const WorldShape& shape : level.worldShapes)
    {
        for (const ShapePoint& point : shape.points)
            if (!point.IsInsideWorld())
                return Beyond("a world shape");
        for (const ShapeSegment& segment : shape.segments)
        {
            compiledPoints += segment.points.count;
            uint64_t width = 0;
            uint64_t height = 0;
            segment.GetDataTextureSize(width, height);
            if (width > ShapeSegment::MaxDataTextureSide || height > ShapeSegment::MaxDataTextureSide)
                return "a magnetic edge would be too long for its field";
            texels += width * height;
        }
    }
    if (compiledPoints > Level::MaxCompiledPoints)
        return "the world shapes would be too long to load (more than " + std::to_string(Level::MaxCompiledPoints) +
               " edge samples)";
    if (texels > Level::MaxDataTexels)
        return "the magnetic edges would need more field than a level may hold";

    for (const Trinket& trinket : level.trinkets)
        if (!trinket.IsSane())
            return Beyond("a trinket");
    for (const Waypoint& waypoint : level.waypoints)
        if (!waypoint.IsSane())
            return Beyond("a waypoint");
    for (const Signpost& signpost : level.signposts)
        if (!signpost.IsSane())
            return Beyond("a signpost");
    return {};
}
