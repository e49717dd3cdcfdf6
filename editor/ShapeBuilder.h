#pragma once

#include <glm/vec2.hpp>

#include "BuilderPoint.h"
#include "DynArray.h"

class LineRenderer;
class WorldShape;

/// The editor's tool for drawing a new world shape with the mouse: each left click places a
/// point, dragging pulls its outgoing handle out with the incoming one mirrored, the right button
/// breaks the handles of the point being dragged or takes back the last point, and a click on the
/// first point closes the ring. Lives from the press that starts a shape until `Update` reports
/// it finished; the editor owns it.
class ShapeBuilder
{
public:
    /// How near (world units) the cursor must come to the first point to close the ring.
    static constexpr float CloseDistance = 0.1f;

    /// The points placed so far, in click order; never empty.
    DynArray<BuilderPoint> points;
    /// The left button's state at the previous update; the press that made the builder is held.
    bool leftWasDown = true;
    bool rightWasDown = false;
    /// The drag in progress moves handle B only.
    bool handlesBroken = false;
    /// The cursor is within `CloseDistance` of the first point.
    bool closing = false;

    /// A builder holding its first point at `position` (world units).
    explicit ShapeBuilder(glm::vec2 position);

    /// Feeds one frame of the cursor (world units) and the two buttons. True when the shape is
    /// finished (a fresh left press on the first point) or abandoned (a fresh right press with one
    /// point and no drag).
    bool Update(glm::vec2 position, bool leftDown, bool rightDown);
    /// Fills `shape`, which it constructs anew, with the points: clicked points get handles of
    /// their own, edges between two clicked points become straight, and a clockwise ring is
    /// reversed so that every shape is stored counter-clockwise. Does not compile.
    void Finish(WorldShape& shape);
    /// True when the ring of points and handles runs clockwise.
    bool NeedsReversal() const;
    void AddPoint(const BuilderPoint& point);
    /// Appends the preview of the shape so far to the line batch.
    void Draw(LineRenderer& lines) const;
};
