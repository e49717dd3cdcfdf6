#pragma once

#include <cfloat>
#include <cstdint>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "Selectable.h"
#include "Serialisable.h"
#include "ShapePoint.h"
#include "ShapeSegment.h"
#include "SurfaceStrip.h"

class b2Body;
class b2World;
class LineRenderer;
class Mesh;

/// What a pick or a drag addresses on a shape point; also the `kind` of
/// `WorldShape::SetPointVector`.
enum ShapeElementKind : uint32_t
{
    ElementPoint = 0,
    ElementHandleA = 1,
    ElementHandleB = 2,
    ElementNone = 3,
};

/// One closed piece of level geometry: a ring of shape points, edge i running from point i to
/// point i + 1 (wrapping). The points are the stored model; segments, outline and bounding box
/// are derived by `Compile` after every change, strips by `BuildSurfaceStrips` when play starts.
/// Indices into points, segments and strips wrap: -1 is the last element, n the first.
///
/// Held by value in the level's shape array, which owns it; the shape owns all its arrays and,
/// through its segments, their data textures. Its physics body belongs to the physics world.
class WorldShape final : public Serialisable, public Selectable
{
public:
    static constexpr uint32_t TypeId = 3;

    DynArray<ShapePoint> points;
    /// Compiled edges, segment i starting at point i.
    DynArray<ShapeSegment> segments;
    /// Runs of edges of one type, built when a level starts; empty in the editor.
    DynArray<SurfaceStrip> strips;
    /// The closed polyline of every segment's samples without repeating a point; its last point
    /// joins back to its first.
    DynArray<glm::vec2> outline;
    /// The owning level's running time in seconds, handed to segments and strips; not owned.
    const float* levelTime = nullptr;
    /// Box of the compiled segments, world units; empty (min above max) until compiled.
    float minX = FLT_MAX, maxX = -FLT_MAX, minY = FLT_MAX, maxY = -FLT_MAX;

    WorldShape() = default;
    ~WorldShape() = default;
    /// A full copy: points, segments (without data textures), strips, outline, time pointer, box
    /// and the selected flag.
    WorldShape(const WorldShape& other);
    WorldShape& operator=(const WorldShape& other);
    /// Takes the arrays over; `other` is left with unallocated arrays.
    WorldShape(WorldShape&& other) noexcept;
    WorldShape& operator=(WorldShape&& other) noexcept;

    uint32_t GetTypeId() override { return TypeId; }
    /// Appends tag 3 and every point's record; logs the point count to `InfoLog`.
    void Serialise(ByteBlob& blob) override;
    /// Replaces the points with the records that follow tag 3 (none when the tag is missing, and
    /// then false) and repairs their degenerate handles. Does not compile.
    bool Deserialise(ByteBlob& blob) override;

    /// Repairs the handles of straight edges that lie beyond `MaxWorldCoordinate`, which nothing
    /// would use until the edge was made a curve (`ShapePoint::RepairUnusedHandles`). Answers how
    /// many handles were moved. Does not compile. Afterwards a coordinate beyond the world is one
    /// that the edges use.
    uint32_t RepairUnusedHandles();

    /// Appends a point (surface "Plain"), re-centring handles that lie on one line through it on
    /// opposite sides. Does not compile.
    void AddPoint(glm::vec2 handleA, glm::vec2 position, glm::vec2 handleB, bool isSpline, bool isCorner);
    /// Splits the first edge within `radius` of `position` at its nearest curve point (exactly,
    /// for a curve) and compiles. False, changing nothing, when no edge is that near.
    bool InsertPoint(glm::vec2 position, float radius);
    /// Removes point `index` (0 to count - 1) and merges its two edges, stretching the
    /// neighbours' handles so that removing a point that `InsertPoint` made restores the edge;
    /// compiles. Nothing for fewer than 3 points or an index out of range.
    void RemovePoint(int32_t index);
    /// `kind` 0 moves point `index` (wrapping) with its handles to `vector`; 1 sets its handle A,
    /// 2 its handle B (the other handle follows on a smooth point); compiles. 3 does nothing.
    void SetPointVector(glm::vec2 vector, uint32_t kind, int32_t index);
    /// A new, uncompiled shape holding copies of the points and nothing else.
    WorldShape CopyPoints() const;

    /// Rebuilds the segments from the points, then the bounding box, the outline and the points'
    /// segment links. Deletes the segments' data textures.
    void Compile();
    /// Joins runs of edges into surface strips, breaking at sharp corners and type changes.
    void BuildSurfaceStrips();
    /// Points this shape's, its segments' and its strips' time pointers at `time`.
    void SetLevelTime(const float* time);
    /// What `Compile` would make from the current points, worked out without allocating it, so
    /// that a loader can refuse a shape too large to hold.
    struct CompiledSize
    {
        /// Polyline points over all edges.
        uint64_t points = 0;
        /// Those of them that the physics chains follow: every point of a curved or Jagged edge
        /// that is not `Passable` (other edges collide along the line between their ends).
        uint64_t chainedPoints = 0;
    };
    CompiledSize MeasureCompiled() const;
    /// What the shape's segments hold now, counted as `MeasureCompiled` counts what compiling
    /// would make; cheap, for a shape that is compiled.
    CompiledSize CountCompiled() const;

    /// Makes the shape's static body in `world`, which owns it, and returns it: for every
    /// segment that is not `Passable`, chain fixtures along its polyline (all of it for a curved
    /// or Jagged edge, else its two ends) that collide from both sides, with ghost vertices from
    /// the neighbouring segments for smooth joins. Each fixture points back at its segment, so the
    /// segments must not move in memory while the world exists. Segments too short for the
    /// physics library (under 0.005 long) get no fixtures. The shape must be compiled.
    b2Body* CreateBody(b2World& world);
    /// Appends the fill as a fan of triangles from the first outline point, when the bounding
    /// box meets `view` (min x, max x, min y, max y; strict overlap) and the outline has at least
    /// 3 points. Added up, the fan covers every point inside the outline an odd number of times
    /// and every point outside an even number. Needs no GL context.
    void AppendTriangles(Mesh& mesh, const float (&view)[4]) const;
    /// Draws the data texture of every magnetic segment whose influence box meets `view` over
    /// that box, one draw call each, through `mesh`, which is left empty. The caller has bound the
    /// frame buffer, the shader and the blending. Needs a current GL context.
    void DrawMagnetism(Mesh& mesh, const float (&view)[4]) const;

    // Selectable
    uint32_t GetSelectableType() override { return SelectableWorldShape; }
    /// True when `point` lies inside the outline, for any simple outline, convex or not.
    bool HitTestPoint(glm::vec2 point) override;
    /// True when the rectangle lies inside the shape or holds a stretch of its outline.
    bool HitTestRect(float rectMinX, float rectMaxX, float rectMinY, float rectMaxY) override;
    /// Rotates every point and handle about `centre`, then compiles.
    void Rotate(glm::vec2 centre, float angle) override;
    /// Moves every point and handle by `offset`, then compiles.
    void Translate(glm::vec2 offset) override;
    /// The centre of the bounding box.
    glm::vec2 GetPosition() override;
    void DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle) override;
    void DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset) override;
    /// A new heap shape with copies of the points only: uncompiled, no time pointer, not
    /// selected. Owned by the caller, deleted as a `WorldShape`.
    Selectable* Clone() override;

    // Edit mode
    /// Draws the points (red corners, blue smooth points) and the handles of curved edges, each
    /// marked by a cross of half size `radius`, those that `view` (min x, max x, min y, max y)
    /// shows.
    void DrawEditor(LineRenderer& lines, float radius, const float (&view)[4]) const;
    /// The handle or point within `radius` of `point`: handles of curved edges first (handle B
    /// before handle A of the same point), then positions, the lower index winning among equals.
    /// True with `index` and `kind` set; false with index -1 and kind `ElementNone` when nothing
    /// is that near.
    bool FindElement(glm::vec2 point, float radius, int32_t& index, uint32_t& kind) const;
    /// True, with `segmentIndex` set, when an edge comes within `radius` of `point`; the first in
    /// order wins. `segmentIndex` is untouched otherwise.
    bool IsNearEdge(glm::vec2 point, float radius, uint32_t& segmentIndex) const;
    /// As `IsNearEdge`, also giving the curve parameter there, the curve point and the curve's
    /// derivative.
    bool FindNearestSegment(glm::vec2 point, float radius, uint32_t& segmentIndex, float& parameter,
                            glm::vec2& curvePoint, glm::vec2& derivative) const;

    /// Point `index` with the index wrapped into 0 .. count - 1; the shape must have points.
    ShapePoint& PointAt(int32_t index);
    const ShapePoint& PointAt(int32_t index) const;

private:
    /// Copies of points carry links into the segments they were copied from; these point them at
    /// this shape's own segments, or clear them while it has none.
    void RelinkPoints();
    void DrawOutline(LineRenderer& lines, glm::vec2 offset, glm::vec2 centre, float angle, bool rotate);
};
