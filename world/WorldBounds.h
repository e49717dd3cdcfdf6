#pragma once

#include <cmath>

#include <glm/vec2.hpp>

/// The largest coordinate, in world units, that a level object may hold. Level files come from
/// anywhere; a position beyond this (or not a number at all) is refused by the level loader
/// before it reaches the physics world, whose broad phase and solver lose all precision there.
inline constexpr float MaxWorldCoordinate = 1.0e6f;

/// True when `value` is finite and no further than `MaxWorldCoordinate` from 0.
inline bool IsSaneCoordinate(float value)
{
    // Written so that a NaN compares false and is refused along with the infinities.
    return std::fabs(value) <= MaxWorldCoordinate;
}

/// True when both coordinates of `point` pass `IsSaneCoordinate`.
inline bool IsSanePoint(glm::vec2 point)
{
    return IsSaneCoordinate(point.x) && IsSaneCoordinate(point.y);
}
