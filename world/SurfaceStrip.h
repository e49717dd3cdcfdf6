#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "PolylineBoxes.h"
#include "SurfaceType.h"

class LineRenderer;
class ShapeSegment;

/// A run of consecutive edges of one world shape with one surface type and no sharp corner
/// between them, joined into one polyline so that play draws it as one line with decorations
/// that run on across the joins. Built when a level starts; owns its arrays.
class SurfaceStrip
{
public:
    /// The joined polylines of its segments, world units.
    DynArray<glm::vec2> points;
    /// Unit normal at each point, same count.
    DynArray<glm::vec2> normals;
    /// Boxes round runs of the points, kept up to date by `Merge` and `Append`.
    PolylineBoxes boxes;
    /// The level's running time in seconds, from its first segment; not owned.
    const float* levelTime = nullptr;
    /// Sum of its segments' lengths, world units.
    float length = 0.0f;
    /// The type shared by its segments; `Unset` until the first one joins.
    SurfaceType surfaceType = SurfaceType::Unset;
    /// The strip is the whole ring, closed on itself; nothing more may join it.
    bool isClosed = false;

    /// Adds `segment` to the end of the strip. False, changing nothing, when the strip is closed
    /// or has another type.
    bool Merge(const ShapeSegment& segment);
    /// Closes the strip on itself: its first point and normal are repeated at the end.
    void Append();
    /// Appends the strip to the line batch in its surface colours with its decorations, as far as
    /// `view` (min x, max x, min y, max y) shows it (see `DrawSurface`).
    void Draw(LineRenderer& lines, const float (&view)[4]) const;
};
