#pragma once

#include <cstdint>
#include <utility>

class b2Body;
class b2World;

/// Lets the static bodies of a level into its physics world only while the overlaps of their
/// fixtures' boxes stay within a budget.
///
/// On the step after a fixture is made, the physics library pairs its box with every box that
/// overlaps it and keeps a record of each pair, whether or not the two can ever collide. Ordinary
/// geometry overlaps its neighbours along an edge a few times over, but stacked geometry (a
/// hundred thousand trinkets on one spot, shapes drawn over each other) costs time and memory as
/// the square of its size. So each body's overlaps are counted as it is offered, and the library
/// pairs them up at once, holding no more than one body's pairs at a time. Once a body does not
/// fit what is left, it is destroyed again and every object offered after it gets no body: the
/// rest of the level is left out of the physics world rather than the level refused.
///
/// Counting costs about what the library's own pairing costs, so a world built through this
/// costs at most twice the budget beyond making its fixtures. Main thread only.
class OverlapBudget
{
public:
    /// Counts into the budget of `maxOverlaps` box overlaps (each fixture box against every box
    /// in the world, itself included) for bodies made in `world`.
    OverlapBudget(b2World& world, uint64_t maxOverlaps);

    /// Makes a body with `make` (which answers the body, or null for an object that has none)
    /// and keeps it when its overlaps fit what is left of the budget; otherwise destroys it, and
    /// from then on neither calls `make` nor keeps anything. True when the body was kept.
    template <typename MakeBody>
    bool Offer(MakeBody&& make)
    {
        if (spent)
        {
            ++leftOut;
            return false;
        }
        b2Body* body = std::forward<MakeBody>(make)();
        return body != nullptr && Admit(body);
    }

    /// Objects left out of the world so far.
    uint32_t LeftOut() const { return leftOut; }

private:
    bool Admit(b2Body* body);

    b2World& world;
    uint64_t budget;
    uint64_t used = 0;
    uint32_t leftOut = 0;
    bool spent = false;
};
