#pragma once

#include <cstdint>

#include <box2d/b2_fixture.h>

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

/// Makes `fixture` a world object's: it touches players only and points back at `owner`.
inline void MakeWorldFixture(b2FixtureDef& fixture, PhysicsLink& owner)
{
    fixture.filter.categoryBits = CollisionCategory::World;
    fixture.filter.maskBits = CollisionCategory::Player;
    fixture.userData.pointer = reinterpret_cast<uintptr_t>(&owner);
}

/// The object that `fixture` belongs to, as its user data points at it.
inline PhysicsLink* LinkOf(const b2Fixture* fixture)
{
    // The physics library offers the user data of a fixture only through a mutable one.
    return reinterpret_cast<PhysicsLink*>(const_cast<b2Fixture*>(fixture)->GetUserData().pointer);
}
