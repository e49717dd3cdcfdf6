#include "ContactCallback.h"

#include <cfloat>

#include <box2d/box2d.h>

#include "LogChannel.h"
#include "Player.h"
#include "ShapeSegment.h"
#include "Trinket.h"
#include "Waypoint.h"

namespace
{
/// The parties of a contact: the player, its fixture, and the world object with its fixture.
struct Parties
{
    Player* player = nullptr;
    bool playerIsA = false;
    PhysicsLink* other = nullptr;
    b2Fixture* otherFixture = nullptr;
};

/// False when neither fixture belongs to a player (or a fixture has no owner at all).
bool FindPlayer(b2Contact* contact, Parties& parties)
{
    b2Fixture* a = contact->GetFixtureA();
    b2Fixture* b = contact->GetFixtureB();
    PhysicsLink* linkA = LinkOf(a);
    PhysicsLink* linkB = LinkOf(b);
    if (linkA == nullptr || linkB == nullptr)
        return false;
    if (linkA->GetLinkType() == LinkPlayer)
    {
        parties = {static_cast<Player*>(linkA), true, linkB, b};
        return true;
    }
    if (linkB->GetLinkType() == LinkPlayer)
    {
        parties = {static_cast<Player*>(linkB), false, linkA, a};
        return true;
    }
    return false;
}

void ReportNoPlayer(int knownLine)
{
    ErrorLog << LogLocation(__FILE__, knownLine) << "Collision couldn't find player pointer, this shouldn't happen.";
    ErrorLog.EndMessage();
}
} // namespace

void ContactCallback::BeginContact(b2Contact* contact)
{
    Parties parties;
    if (!FindPlayer(contact, parties))
        return;
    Player& player = *parties.player;
    switch (parties.other->GetLinkType())
    {
    case LinkTrinket:
        static_cast<Trinket*>(parties.other)->timer = FLT_MAX;
        break;
    case LinkWaypoint:
    {
        // Only the line between the posts is a sensor; leaning on a post passes nothing.
        if (!parties.otherFixture->IsSensor())
            break;
        const Waypoint& gate = *static_cast<Waypoint*>(parties.other);
        if (player.lastWaypoint == gate.previous)
        {
            player.lastWaypoint = gate.index;
            player.respawnPosition = gate.respawnPoint;
            player.timeSinceWaypoint = 0.0f;
        }
        break;
    }
    default:
        break;
    }
}

void ContactCallback::PreSolve(b2Contact* contact, const b2Manifold*)
{
    Parties parties;
    if (!FindPlayer(contact, parties))
    {
        ReportNoPlayer(84);
        return;
    }
    // Replaces whatever friction the fixtures were made with: braking grips, rolling slides.
    contact->SetFriction(parties.player->brakeHeld ? BrakingFriction : SlidingFriction);
}

void ContactCallback::PostSolve(b2Contact* contact, const b2ContactImpulse*)
{
    Parties parties;
    if (!FindPlayer(contact, parties))
    {
        ReportNoPlayer(127);
        return;
    }
    if (parties.other->GetLinkType() != LinkShapeSegment ||
        static_cast<ShapeSegment*>(parties.other)->surfaceType != SurfaceType::Bouncer)
        return;
    Player& player = *parties.player;
    // However many contacts the figure has with bouncers (both chains of an edge, several
    // corners, neighbouring edges), it is kicked at most once per interval of its own time.
    if (!(player.bounceTimer > BounceInterval) || player.body == nullptr)
        return;
    b2WorldManifold manifold;
    contact->GetWorldManifold(&manifold);
    b2Vec2 away = manifold.normal;
    if (parties.playerIsA)
        away = -away;
    player.bounceTimer = 0.0f;
    player.body->ApplyLinearImpulse(BounceImpulse * away, manifold.points[0], true);
}
