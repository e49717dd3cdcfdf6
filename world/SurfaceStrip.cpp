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
        boxes = segment.boxes;
        length = segment.length;
        levelTime = segment.levelTime;
        return true;
    }
    if (surfaceType != segment.surfaceType)
        return false;
    // The segment starts where the strip ends; keep one point at the join.
    const uint32_t join = points.count > 0 ? points.count - 1 : 0;
    points.Resize(join);
    if (normals.count > 0)
        normals.Resize(normals.count - 1);
    for (const glm::vec2& point : segment.points)
        points.PushBack(point);
    for (const glm::vec2& normal : segment.normals)
        normals.PushBack(normal);
    boxes.Update(points, join);
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
    boxes.Update(points, points.count > 0 ? points.count - 1 : 0);
    isClosed = true;
}

void SurfaceStrip::Draw(LineRenderer& lines, const float (&view)[4]) const
{
    DrawSurface(lines, points, normals, boxes, length, surfaceType, levelTime, nullptr, view);
}
