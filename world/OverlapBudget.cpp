#include "OverlapBudget.h"

#include <box2d/box2d.h>

namespace
{
/// Counts the fixture boxes that a world query meets, and stops the query once there are more
/// than `limit`. The world reports one box at a time, each child of a chain on its own.
class OverlapCounter final : public b2QueryCallback
{
public:
    uint64_t limit = 0;
    uint64_t count = 0;

    bool ReportFixture(b2Fixture* /*fixture*/) override
    {
        ++count;
        return count <= limit;
    }
};
} // namespace

OverlapBudget::OverlapBudget(b2World& world, uint64_t maxOverlaps) : world(world), budget(maxOverlaps) {}

bool OverlapBudget::Admit(b2Body* body)
{
    OverlapCounter counter;
    counter.limit = budget - used;
    for (b2Fixture* fixture = body->GetFixtureList(); fixture != nullptr && counter.count <= counter.limit;
         fixture = fixture->GetNext())
    {
        const int32 children = fixture->GetShape()->GetChildCount();
        for (int32 child = 0; child < children && counter.count <= counter.limit; ++child)
        {
            // The tree keeps each box grown by the library's margin, and pairs those.
            b2AABB box = fixture->GetAABB(child);
            box.lowerBound -= b2Vec2(b2_aabbExtension, b2_aabbExtension);
            box.upperBound += b2Vec2(b2_aabbExtension, b2_aabbExtension);
            world.QueryAABB(&counter, box);
        }
    }
    if (counter.count > counter.limit)
    {
        world.DestroyBody(body);
        spent = true;
        ++leftOut;
        return false;
    }
    used += counter.count;
    // Pair the new boxes now, as the next step would first thing, so that the library's list of
    // pairs never holds more than this body's. Only the world's const view reaches its contact
    // manager; the world itself is not const.
    const_cast<b2ContactManager&>(world.GetContactManager()).FindNewContacts();
    return true;
}
