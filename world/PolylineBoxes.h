#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "DynArray.h"

/// Boxes round consecutive runs of a polyline's pieces, so that drawing each frame can pass over
/// the runs that the view does not show without looking at their points: an edge thousands of
/// units long then costs what its stretch on screen costs. Box k holds the pieces that start at
/// points k x `PiecesPerBox` up to the next box's first point, so it bounds those points and the
/// one after the last of them. Owned by the polyline's owner, which updates it whenever the
/// points change.
class PolylineBoxes
{
public:
    static constexpr uint32_t PiecesPerBox = 32;

    /// An axis-aligned box in world units.
    struct Box
    {
        float minX = 0.0f, maxX = 0.0f, minY = 0.0f, maxY = 0.0f;
    };

    DynArray<Box> boxes;

    /// Rebuilds the boxes for `points` from the box holding the piece that ends at point
    /// `firstChanged` onwards; the boxes before it are kept, so appending to a long polyline
    /// costs only what was appended.
    void Update(const DynArray<glm::vec2>& points, uint32_t firstChanged = 0);

    /// The number of boxes a polyline of `pointCount` points has: one per started run of pieces.
    static uint32_t BoxCountFor(uint32_t pointCount);

    /// Calls `visit(first, end)` for every run of pieces [first, end) of `points` whose boxes meet
    /// `view` (min x, max x, min y, max y) grown by `margin`, in order, neighbouring runs joined
    /// into one, so that no two runs share a point. When the boxes were not built for this many
    /// points (a polyline filled by hand), each piece is tested on its own instead.
    template <typename Visit>
    void ForEachRunInView(const DynArray<glm::vec2>& points, const float (&view)[4], float margin, Visit&& visit) const
    {
        const uint32_t count = points.count;
        if (count < 2)
            return;
        const Box reach = Grown(FromView(view), margin);
        const bool boxed = boxes.count == BoxCountFor(count);
        const uint32_t units = boxed ? boxes.count : count - 1;
        const uint32_t unitPieces = boxed ? PiecesPerBox : 1;
        uint32_t runStart = 0;
        bool inRun = false;
        for (uint32_t k = 0; k < units; ++k)
        {
            const bool meets = boxed ? Meets(boxes[k], reach) : Meets(BoxOf(points[k], points[k + 1]), reach);
            if (meets && !inRun)
            {
                runStart = k;
                inRun = true;
            }
            else if (!meets && inRun)
            {
                visit(runStart * unitPieces, k * unitPieces);
                inRun = false;
            }
        }
        if (inRun)
            visit(runStart * unitPieces, count - 1);
    }

    /// True when `a` and `b` overlap or touch.
    static bool Meets(const Box& a, const Box& b)
    {
        return a.maxX >= b.minX && b.maxX >= a.minX && a.maxY >= b.minY && b.maxY >= a.minY;
    }

    /// True when `box` and the view rectangle `view` (min x, max x, min y, max y) overlap by more
    /// than an edge.
    static bool OverlapsView(const Box& box, const float (&view)[4])
    {
        return view[1] > box.minX && box.maxX > view[0] && view[3] > box.minY && box.maxY > view[2];
    }

    /// The box of the piece from `a` to `b`.
    static Box BoxOf(glm::vec2 a, glm::vec2 b);
    /// The smallest box round the `count` points from `points` on; `count` is at least 1.
    static Box BoxAround(const glm::vec2* points, uint32_t count);
    /// `box` grown by `margin` on every side.
    static Box Grown(const Box& box, float margin);
    /// The view rectangle (min x, max x, min y, max y) as a box.
    static Box FromView(const float (&view)[4]) { return {view[0], view[1], view[2], view[3]}; }

    /// The stretch of the piece from `a` to `b` that lies in `box` (edges included), as the
    /// parameters `t0` to `t1` along it (0 at `a`, 1 at `b`); false when the piece misses the box.
    static bool Clip(glm::vec2 a, glm::vec2 b, const Box& box, double& t0, double& t1);
};
