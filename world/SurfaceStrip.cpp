#include "SurfaceStrip.h"

#include <glm/geometric.hpp>

#include "ShapeSegment.h"
#include "SurfaceDrawing.h"

bool SurfaceStrip::Merge(const ShapeSegment& segment)
{
    if (isClosed)
        return false;
    if (surfaceType == SurfaceType::Unset)
    {
        surfaceType = segment.surfaceType;
        points = segment.points;
        normals = segment.normals;
        length = segment.length;
        levelTime = segment.levelTime;
        return true;
    }
    if (surfaceType != segment.surfaceType)
        return false;
    // The segment starts where the strip ends; keep one point at the join.
    if (points.count > 0)
        --points.count;
    if (normals.count > 0)
        --normals.count;
    for (const glm::vec2& point : segment.points)
        points.PushBack(point);
    for (const glm::vec2& normal : segment.normals)
        normals.PushBack(normal);
    length += segment.length;
    return true;
}

void SurfaceStrip::Append()
{
    if (points.count > 0)
    {
        points.PushBack(points[0]);
        normals.PushBack(normals.count > 0 ? normals[0] : glm::vec2(0.0f, 1.0f));
    }
    if (points.count >= 2)
        length += glm::length(points[points.count - 1] - points[points.count - 2]);
    isClosed = true;
}

void SurfaceStrip::Draw(LineRenderer& lines) const
{
    DrawSurface(lines, points, normals, length, surfaceType, levelTime, nullptr);
}
