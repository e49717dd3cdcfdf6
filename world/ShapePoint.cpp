#include "ShapePoint.h"

#include <cmath>

#include <glm/geometric.hpp>

#include "ByteBlob.h"
#include "WorldBounds.h"

namespace
{
bool IsFinite(glm::vec2 v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

/// `handle` turned to point away from `partner` through `position`, keeping its distance. A
/// partner on the point gives no direction, so the handle stays where it is.
glm::vec2 AlignedAgainst(glm::vec2 position, glm::vec2 handle, glm::vec2 partner)
{
    const glm::vec2 towardsPartner = partner - position;
    const float partnerLength = glm::length(towardsPartner);
    if (!(partnerLength > 0.0f) || !std::isfinite(partnerLength))
        return handle;
    const glm::vec2 aligned = position - (towardsPartner / partnerLength) * glm::length(handle - position);
    return IsFinite(aligned) ? aligned : handle;
}

/// Degenerate handles carry no direction: too close to the point to tell one, or garbage from a
/// damaged file (not a number, or infinite, which would make every curve through it infinite).
bool IsDegenerateHandle(glm::vec2 handle, glm::vec2 position)
{
    if (!IsFinite(handle))
        return true;
    return glm::length(handle - position) < 0.001f;
}

/// Where a handle that has to be put back goes: a quarter of the way towards the neighbouring
/// point along its edge.
glm::vec2 QuarterTowards(glm::vec2 position, glm::vec2 neighbour)
{
    return position + 0.25f * (neighbour - position);
}

/// Shifts both handles by the same offset so that their midpoint is the position.
void CentreOn(glm::vec2 position, glm::vec2& handleA, glm::vec2& handleB)
{
    const glm::vec2 offset = position - (handleA + handleB) * 0.5f;
    handleA += offset;
    handleB += offset;
}

} // namespace

void ShapePoint::Serialise(ByteBlob& blob)
{
    blob.WriteU32(TypeId);
    blob.WriteVec2(position);
    blob.WriteVec2(handleA);
    blob.WriteVec2(handleB);
    blob.WriteU8(isSpline ? 1 : 0);
    blob.WriteU32(static_cast<uint32_t>(surfaceType));
    blob.WriteU8(isCorner ? 1 : 0);
}

bool ShapePoint::Deserialise(ByteBlob& blob)
{
    if (!blob.CheckType(TypeId))
        return false;
    // Read everything before storing anything, so a record cut short leaves the point as it was.
    const glm::vec2 readPosition = blob.ReadVec2();
    const glm::vec2 readHandleA = blob.ReadVec2();
    const glm::vec2 readHandleB = blob.ReadVec2();
    const uint8_t readSpline = blob.ReadU8();
    const uint32_t readSurface = blob.ReadU32();
    const uint8_t readCorner = blob.ReadU8();
    position = readPosition;
    handleA = readHandleA;
    handleB = readHandleB;
    isSpline = readSpline != 0;
    surfaceType = static_cast<SurfaceType>(readSurface);
    isCorner = readCorner != 0;
    return true;
}

void ShapePoint::AlignHandleA()
{
    if (isCorner)
        return;
    handleA = AlignedAgainst(position, handleA, handleB);
}

void ShapePoint::AlignHandleB()
{
    if (isCorner)
        return;
    handleB = AlignedAgainst(position, handleB, handleA);
}

void ShapePoint::UpdateHandles(glm::vec2 previousPosition, glm::vec2 nextPosition)
{
    const bool degenerateB = IsDegenerateHandle(handleB, position);
    const bool degenerateA = IsDegenerateHandle(handleA, position);
    if (degenerateB)
        handleB = QuarterTowards(position, nextPosition);
    if (degenerateA)
        handleA = QuarterTowards(position, previousPosition);
    if (isCorner)
        return;
    if (degenerateA && degenerateB)
    {
        CentreOn(position, handleA, handleB);
    }
    else if (degenerateB)
    {
        AlignHandleA();
    }
    else if (degenerateA)
    {
        AlignHandleB();
    }
}

bool ShapePoint::IsSharpCorner() const
{
    const glm::vec2 in = position - handleA;
    const glm::vec2 out = handleB - position;
    const float inLength = glm::length(in);
    const float outLength = glm::length(out);
    if (!(inLength > 0.0f) || !(outLength > 0.0f))
        return false;
    return glm::dot(in / inLength, out / outLength) < 0.95f;
}

bool ShapePoint::IsInsideWorld() const
{
    return IsSanePoint(position) && IsSanePoint(handleA) && IsSanePoint(handleB);
}

uint32_t ShapePoint::RepairUnusedHandles(glm::vec2 previousPosition, glm::vec2 nextPosition, bool handleAUsed,
                                         bool handleBUsed)
{
    const bool farA = !handleAUsed && !IsSanePoint(handleA);
    const bool farB = !handleBUsed && !IsSanePoint(handleB);
    if (!farA && !farB)
        return 0;
    if (farA)
        handleA = QuarterTowards(position, previousPosition);
    if (farB)
        handleB = QuarterTowards(position, nextPosition);
    if (!isCorner)
    {
        // Turned or centred only while that stays inside the world: a point near its edge could
        // otherwise trade one handle outside the world for another.
        glm::vec2 a = handleA;
        glm::vec2 b = handleB;
        if (farA && farB)
            CentreOn(position, a, b);
        else if (farB)
            b = AlignedAgainst(position, b, a);
        else
            a = AlignedAgainst(position, a, b);
        if (IsSanePoint(a) && IsSanePoint(b))
        {
            handleA = a;
            handleB = b;
        }
    }
    return (farA ? 1u : 0u) + (farB ? 1u : 0u);
}
