#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "Serialisable.h"
#include "SurfaceType.h"

class ShapeSegment;

/// One point of a world shape's ring, with the two Bézier handles around it and the properties of
/// the edge that leaves it. Handles are absolute positions in world units, not offsets. Held by
/// value in `WorldShape::points`; the segment links point into the owning shape's segments and are
/// valid only until that shape is compiled again.
class ShapePoint final : public Serialisable
{
public:
    static constexpr uint32_t TypeId = 2;
    /// Bytes of one record: tag, three 2-vectors, spline byte, surface type, corner byte.
    static constexpr uint32_t RecordSize = 34;

    glm::vec2 position{0.0f, 0.0f};
    /// Incoming handle: the second control point of the edge that ends here.
    glm::vec2 handleA{0.0f, 0.0f};
    /// Outgoing handle: the first control point of the edge that starts here.
    glm::vec2 handleB{0.0f, 0.0f};
    /// The compiled segment that starts here; not owned, set by `WorldShape::Compile`.
    ShapeSegment* nextSegment = nullptr;
    /// The compiled segment that ends here; not owned, set by `WorldShape::Compile`.
    ShapeSegment* previousSegment = nullptr;
    /// The edge to the next point is a cubic Bézier through the handles; false: a straight edge.
    bool isSpline = false;
    /// The surface of the edge to the next point.
    SurfaceType surfaceType = SurfaceType::Plain;
    /// The handles move independently; false: they stay on one line through the point.
    bool isCorner = true;

    uint32_t GetTypeId() override { return TypeId; }
    /// Appends the 34-byte record; the segment links are not stored.
    void Serialise(ByteBlob& blob) override;
    /// Reads one record. False, with nothing consumed, when the next u32 is not 2. A record cut
    /// short raises `ByteBlobError` and leaves this point unchanged. The links are not touched.
    bool Deserialise(ByteBlob& blob) override;

    /// For a smooth point: turns handle A to point exactly away from handle B, keeping its length.
    /// Nothing for a corner, or when handle B lies on the point (no direction to turn against).
    void AlignHandleA();
    /// For a smooth point: turns handle B to point exactly away from handle A, keeping its length.
    void AlignHandleB();

    /// Repairs handles after reading: a handle within 0.001 of the point, or not finite, is put a
    /// quarter of the way towards the neighbouring point, and a smooth point is made smooth again.
    void UpdateHandles(glm::vec2 previousPosition, glm::vec2 nextPosition);
    /// Repairs, after reading, a handle that no curve uses (`handleAUsed` or `handleBUsed` false:
    /// its edge is straight) and that lies beyond `MaxWorldCoordinate`: it is put where
    /// `UpdateHandles` puts a degenerate one, a quarter of the way towards the neighbouring point.
    /// On a smooth point the moved handle is then turned to lie opposite the other (both moved:
    /// centred on the point), unless that would take it outside the world; a handle that is not
    /// moved never changes, as a curve may use it. Answers how many handles were moved.
    uint32_t RepairUnusedHandles(glm::vec2 previousPosition, glm::vec2 nextPosition, bool handleAUsed,
                                 bool handleBUsed);

    /// True when the curve turns at this point (the directions into and out of it differ by more
    /// than about 18 degrees); surface strips break here. A handle on the point is never sharp.
    bool IsSharpCorner() const;

    /// True when the position and both handles are finite and within `MaxWorldCoordinate`.
    bool IsInsideWorld() const;
};
