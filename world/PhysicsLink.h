#pragma once

#include <cstdint>

/// What `PhysicsLink::GetLinkType` answers; the contact listener tells the parties of a contact
/// apart only by it.
enum PhysicsLinkType : uint32_t
{
    LinkPlayer = 0,
    LinkTrinket = 1,
    LinkShapeSegment = 2,
    LinkWaypoint = 3,
    LinkSignpost = 4,
};

/// The object that a physics fixture belongs to: every fixture's user data points at one, and it
/// is never null. Valid only between a level's start and its end.
class PhysicsLink
{
public:
    virtual uint32_t GetLinkType() = 0;

protected:
    ~PhysicsLink() = default;
};

/// Collision filters: every contact is one between a player and a world object.
namespace CollisionCategory
{
constexpr uint16_t Player = 1;
constexpr uint16_t World = 2;
} // namespace CollisionCategory
