#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "LineRenderer.h"
#include "ShapeFixtures.h"
#include "ShapeSegment.h"
#include "SurfaceDrawing.h"
#include "SurfaceStrip.h"

namespace
{
/// A compiled straight edge along +x from the origin: its normals are (0, -1), so a decoration
/// at depth d lies at y = +d.
ShapeSegment EdgeAlongX(float length, SurfaceType type)
{
    ShapeSegment segment;
    segment.p1 = {length, 0.0f};
    segment.c0 = 0.33333f * segment.p1;
    segment.c1 = 0.66667f * segment.p1;
    segment.surfaceType = type;
    segment.Compile();
    return segment;
}

/// The decoration lines drawn before the main line of `segment`.
size_t DecorationCount(const LineRenderer& lines, const ShapeSegment& segment)
{
    return lines.SegmentCount() - (segment.points.count - 1);
}

void ExpectLine(const LineRenderer& lines, size_t index, glm::vec2 from, glm::vec2 to)
{
    SCOPED_TRACE(index);
    ExpectVecNear(lines.positions[2 * index], from, 1e-4f);
    ExpectVecNear(lines.positions[2 * index + 1], to, 1e-4f);
}

const glm::vec3 Sentinel{0.1f, 0.2f, 0.3f};
} // namespace

TEST(SurfaceDrawing, ChevronsStartWhereTheyShouldAtTimeZeroAndRepeatEachPeriod)
{
    float time = 0.0f;
    ShapeSegment forwards = EdgeAlongX(1.0f, SurfaceType::AnticlockwiseAccelerator);
    ShapeSegment backwards = EdgeAlongX(1.0f, SurfaceType::ClockwiseAccelerator);
    forwards.levelTime = &time;
    backwards.levelTime = &time;

    for (float at : {0.0f, 0.125f})
    {
        SCOPED_TRACE(at);
        time = at;
        LineRenderer lines;
        forwards.Draw(lines, false, EverywhereView);
        // Tails at 0.05 along (depths 0.05 and 0.15), tip at 0.15 (depth 0.1); 0.2 apart.
        ASSERT_EQ(DecorationCount(lines, forwards), 8u);
        ExpectLine(lines, 0, {0.05f, 0.05f}, {0.15f, 0.1f});
        ExpectLine(lines, 1, {0.05f, 0.15f}, {0.15f, 0.1f});
        ExpectLine(lines, 6, {0.65f, 0.05f}, {0.75f, 0.1f});

        lines.Clear();
        backwards.Draw(lines, false, EverywhereView);
        // Tip at 0.25, tails at 0.35: pointing back towards the start.
        ASSERT_EQ(DecorationCount(lines, backwards), 6u);
        ExpectLine(lines, 0, {0.35f, 0.05f}, {0.25f, 0.1f});
        ExpectLine(lines, 1, {0.35f, 0.15f}, {0.25f, 0.1f});
    }

    // Half a period on, the chevrons stand halfway between.
    time = 0.0625f;
    LineRenderer lines;
    forwards.Draw(lines, false, EverywhereView);
    ExpectLine(lines, 0, {0.15f, 0.05f}, {0.25f, 0.1f});
}

TEST(SurfaceDrawing, ShortAcceleratorsShowChevronsOnlyPartOfThePeriod)
{
    for (SurfaceType type : {SurfaceType::ClockwiseAccelerator, SurfaceType::AnticlockwiseAccelerator})
    {
        SCOPED_TRACE(static_cast<int>(type));
        LineRenderer lines;
        const ShapeSegment tooShort = EdgeAlongX(0.29f, type);
        tooShort.Draw(lines, false, EverywhereView);
        EXPECT_EQ(DecorationCount(lines, tooShort), 0u);
    }
    float time = 0.0f;
    ShapeSegment edge = EdgeAlongX(0.4f, SurfaceType::AnticlockwiseAccelerator);
    edge.levelTime = &time;
    LineRenderer lines;
    edge.Draw(lines, false, EverywhereView);
    EXPECT_EQ(DecorationCount(lines, edge), 2u);
    time = 0.09375f; // the first chevron has moved on to 0.2, past 0.4 - 0.25
    lines.Clear();
    edge.Draw(lines, false, EverywhereView);
    EXPECT_EQ(DecorationCount(lines, edge), 0u);
}

TEST(SurfaceDrawing, HairsTeethDashesAndNotchesSitBelowTheSurface)
{
    {
        LineRenderer lines;
        const ShapeSegment plain = EdgeAlongX(1.0f, SurfaceType::Plain);
        plain.Draw(lines, false, EverywhereView);
        ASSERT_EQ(DecorationCount(lines, plain), 10u) << "one hair per inner point";
        ExpectLine(lines, 0, plain.points[1], plain.points[1] + glm::vec2(0.0f, 0.1f));
    }
    {
        LineRenderer lines;
        const ShapeSegment jagged = EdgeAlongX(1.0f, SurfaceType::Jagged);
        jagged.Draw(lines, false, EverywhereView);
        ASSERT_EQ(DecorationCount(lines, jagged), 11u);
        ExpectLine(lines, 0, jagged.points[1], jagged.points[1] + glm::vec2(0.0f, 0.2f));
        ExpectLine(lines, 1, jagged.points[2], jagged.points[2] + glm::vec2(0.0f, 0.1f));
    }
    {
        // At time 0 the odd dashes lie 0.15 deep and the even ones 0.05.
        LineRenderer lines;
        const ShapeSegment bouncer = EdgeAlongX(1.0f, SurfaceType::Bouncer);
        bouncer.Draw(lines, false, EverywhereView);
        ASSERT_EQ(DecorationCount(lines, bouncer), 10u);
        for (size_t i = 0; i < 10; ++i)
        {
            const float depth = (i + 1) % 2 == 1 ? 0.15f : 0.05f;
            ExpectLine(lines, i, bouncer.points[i + 1] + glm::vec2(0.0f, depth),
                       bouncer.points[i + 2] + glm::vec2(0.0f, depth));
        }
    }
    {
        LineRenderer lines;
        const ShapeSegment magnet = EdgeAlongX(1.0f, SurfaceType::MagneticRepulsor);
        magnet.Draw(lines, false, EverywhereView);
        ASSERT_EQ(DecorationCount(lines, magnet), 22u) << "a notch of two lines under every piece";
        const glm::vec2 notch = (magnet.points[0] + magnet.points[1]) * 0.5f + glm::vec2(0.0f, 0.1f);
        ExpectLine(lines, 0, magnet.points[0], notch);
        ExpectLine(lines, 1, magnet.points[1], notch);
    }
}

TEST(SurfaceDrawing, ColoursFollowTheSurfaceType)
{
    const struct
    {
        SurfaceType type;
        glm::vec3 decoration;
        glm::vec3 main;
    } cases[] = {
        {SurfaceType::Plain, {0.3f, 0.2f, 0.2f}, {0.7f, 0.7f, 0.7f}},
        {SurfaceType::ClockwiseAccelerator, {0.9f, 0.7f, 0.1f}, {1.0f, 1.0f, 0.75f}},
        {SurfaceType::AnticlockwiseAccelerator, {0.9f, 0.7f, 0.1f}, {1.0f, 1.0f, 0.75f}},
        {SurfaceType::Jagged, {0.3f, 0.0f, 0.4f}, {0.7f, 0.7f, 0.7f}},
        {SurfaceType::MagneticAttractor, {0.8f, 0.0f, 0.0f}, {1.0f, 0.8f, 0.8f}},
        {SurfaceType::MagneticRepulsor, {0.0f, 0.0f, 0.8f}, {0.8f, 0.8f, 1.0f}},
        {SurfaceType::Bouncer, {0.8f, 0.55f, 0.0f}, {1.0f, 0.9f, 0.8f}},
        // Without a colour of its own an edge takes whatever the batch held: the unused value 6
        // does; a passable edge gets a dim grey, so that it looks the same wherever it is drawn.
        {static_cast<SurfaceType>(6), Sentinel, Sentinel},
        {SurfaceType::Passable, Sentinel, {0.35f, 0.35f, 0.35f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.type));
        const ShapeSegment segment = EdgeAlongX(1.0f, c.type);
        LineRenderer lines;
        lines.currentColour = Sentinel;
        segment.Draw(lines, false, EverywhereView);
        ASSERT_GT(lines.colours.size(), 2u);
        if (DecorationCount(lines, segment) > 0)
        {
            EXPECT_EQ(lines.colours[0], c.decoration);
        }
        EXPECT_EQ(lines.colours.back(), c.main);
        EXPECT_EQ(lines.currentColour, c.main);
        EXPECT_FALSE(lines.stripOpen);

        // Selected: the main line tells straight from curved; decorations keep the type colour.
        lines.Clear();
        segment.Draw(lines, true, EverywhereView);
        EXPECT_EQ(lines.colours.back(), glm::vec3(0.5f, 1.0f, 0.5f));
        if (DecorationCount(lines, segment) > 0)
        {
            EXPECT_EQ(lines.colours[0], c.decoration);
        }
    }
    ShapeSegment curve = EdgeAlongX(1.0f, SurfaceType::Bouncer);
    curve.isCurved = true;
    LineRenderer lines;
    curve.Draw(lines, true, EverywhereView);
    EXPECT_EQ(lines.colours.back(), glm::vec3(0.5f, 0.5f, 1.0f));
    EXPECT_EQ(lines.currentColour, glm::vec3(0.5f, 0.5f, 1.0f));
}

TEST(SurfaceDrawing, PolylinesOfOneOrTwoPointsDrawLittleOrNothing)
{
    const struct
    {
        SurfaceType type;
        size_t withOnePoint, withTwoPoints;
    } cases[] = {
        {SurfaceType::Plain, 0, 1},
        {SurfaceType::Jagged, 0, 1},
        {SurfaceType::Bouncer, 0, 1},
        {SurfaceType::MagneticAttractor, 0, 3},
        {SurfaceType::AnticlockwiseAccelerator, 0, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.type));
        ShapeSegment segment;
        segment.surfaceType = c.type;
        segment.points.PushBack({0.0f, 0.0f});
        segment.normals.PushBack({0.0f, -1.0f});
        LineRenderer lines;
        segment.Draw(lines, false, EverywhereView);
        EXPECT_EQ(lines.SegmentCount(), c.withOnePoint);
        EXPECT_FALSE(lines.stripOpen);

        segment.points.PushBack({0.04f, 0.0f});
        segment.normals.PushBack({0.0f, -1.0f});
        segment.length = 0.04f;
        lines.Clear();
        segment.Draw(lines, false, EverywhereView);
        EXPECT_EQ(lines.SegmentCount(), c.withTwoPoints);
    }
}

TEST(SurfaceDrawing, StripsDrawByTheSameRules)
{
    float time = 0.0f;
    WorldShape ring = SmoothRing(4, 1.0f, {SurfaceType::Bouncer, SurfaceType::Bouncer, SurfaceType::Bouncer,
                                           SurfaceType::Bouncer});
    ring.SetLevelTime(&time);
    ring.BuildSurfaceStrips();
    ASSERT_EQ(ring.strips.count, 1u);
    const SurfaceStrip& strip = ring.strips[0];
    EXPECT_EQ(strip.levelTime, &time);

    LineRenderer lines;
    strip.Draw(lines, EverywhereView);
    const uint32_t n = strip.points.count;
    ASSERT_EQ(lines.SegmentCount(), (n - 2) + (n - 1)) << "dashes, then the main line";
    EXPECT_EQ(lines.colours[0], glm::vec3(0.8f, 0.55f, 0.0f));
    EXPECT_EQ(lines.currentColour, glm::vec3(1.0f, 0.9f, 0.8f));
    // The main line runs round the ring and, as the strip ends on its first point, looks closed.
    EXPECT_EQ(lines.positions.back(), strip.points[0]);
    EXPECT_FALSE(lines.stripOpen);
}

namespace
{
/// The view rectangle of `halfSize` around `centre`.
struct ViewAround
{
    float rect[4];
    ViewAround(glm::vec2 centre, float halfSize)
        : rect{centre.x - halfSize, centre.x + halfSize, centre.y - halfSize, centre.y + halfSize}
    {
    }
};

bool Inside(glm::vec2 p, const float (&view)[4])
{
    return p.x >= view[0] && p.x <= view[1] && p.y >= view[2] && p.y <= view[3];
}

using LineEnds = std::pair<std::pair<float, float>, std::pair<float, float>>;

std::vector<LineEnds> LinesOf(const LineRenderer& lines)
{
    std::vector<LineEnds> ends;
    for (size_t i = 0; i < lines.SegmentCount(); ++i)
    {
        const glm::vec2 a = lines.positions[2 * i];
        const glm::vec2 b = lines.positions[2 * i + 1];
        ends.push_back({{a.x, a.y}, {b.x, b.y}});
    }
    std::sort(ends.begin(), ends.end());
    return ends;
}
} // namespace

TEST(SurfaceDrawing, LongEdgesAddOnlyWhatTheViewShows)
{
    // Chevrons used to be placed by adding 0.2 to a float from the start of the edge: an edge
    // of 1.4 million units cost seconds a frame, and past 4.2 million the sum stopped growing
    // and the loop never ended. A curve from a point back to itself round a far corner is that
    // long and lies within the world.
    const glm::vec2 corner{1.0e6f, 1.0e6f};
    const glm::vec2 farCorner{-1.0e6f, -1.0e6f};
    const struct
    {
        const char* name;
        ShapeSegment segment;
    } cases[] = {
        {"clockwise accelerator 1.4 million long", StraightSegment({-7.0e5f, 0}, {7.0e5f, 0}, SurfaceType::ClockwiseAccelerator)},
        {"anticlockwise accelerator 1.4 million long", StraightSegment({-7.0e5f, 0}, {7.0e5f, 0}, SurfaceType::AnticlockwiseAccelerator)},
        {"accelerator curve 4.2 million long", CurvedSegment(corner, farCorner, farCorner, corner, SurfaceType::AnticlockwiseAccelerator)},
        {"plain edge 4000 long", StraightSegment({-2000, 0}, {2000, 0}, SurfaceType::Plain)},
        {"Jagged edge 4000 long", StraightSegment({-2000, 0}, {2000, 0}, SurfaceType::Jagged)},
        {"bouncer 4000 long", StraightSegment({-2000, 0}, {2000, 0}, SurfaceType::Bouncer)},
        {"magnet 4000 long", StraightSegment({-2000, 0}, {2000, 0}, SurfaceType::MagneticAttractor)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.segment.length, 3999.0f);
        const glm::vec2 middle = c.segment.Evaluate(0.3f);
        const ViewAround view(middle, 10.0f);
        LineRenderer lines;
        c.segment.Draw(lines, false, view.rect);
        EXPECT_GT(lines.SegmentCount(), 0u);
        EXPECT_LT(lines.SegmentCount(), 1200u);
        EXPECT_FALSE(lines.stripOpen);

        LineRenderer away;
        c.segment.Draw(away, false, ViewAround(middle + glm::vec2(5000.0f, -5000.0f), 10.0f).rect);
        EXPECT_EQ(away.SegmentCount(), 0u);
    }
}

TEST(SurfaceDrawing, AViewShowsWhatTheWholeDrawingShowsThere)
{
    // Whatever part of a drawing lies in the view is drawn the same through the view; nothing
    // drawn through it lies further out than a run of pieces (32 of about 0.1) and the
    // decorations' reach.
    float time = 0.3f;
    std::vector<std::pair<const char*, ShapeSegment>> segments;
    for (SurfaceType type : {SurfaceType::Plain, SurfaceType::Jagged, SurfaceType::Bouncer, SurfaceType::MagneticRepulsor,
                             SurfaceType::ClockwiseAccelerator, SurfaceType::AnticlockwiseAccelerator})
        segments.push_back({"edge", CurvedSegment({0, 0}, {20, 30}, {40, -30}, {60, 0}, type)});
    WorldShape ring = SmoothRing(40, 30.0f);
    for (ShapePoint& point : ring.points)
        point.surfaceType = SurfaceType::AnticlockwiseAccelerator;
    ring.Compile();
    ring.SetLevelTime(&time);
    ring.BuildSurfaceStrips();
    ASSERT_EQ(ring.strips.count, 1u);

    auto compare = [&](const std::function<void(LineRenderer&, const float (&)[4])>& draw, glm::vec2 centre) {
        const ViewAround view(centre, 5.0f);
        LineRenderer whole;
        draw(whole, EverywhereView);
        LineRenderer seen;
        draw(seen, view.rect);
        const std::vector<LineEnds> all = LinesOf(whole);
        const std::vector<LineEnds> shown = LinesOf(seen);
        ASSERT_GT(shown.size(), 0u);
        for (const LineEnds& line : shown)
            EXPECT_TRUE(std::binary_search(all.begin(), all.end(), line));
        const ViewAround reach(centre, 5.0f + 3.5f + SurfaceDecorationReach);
        size_t inside = 0;
        for (const LineEnds& line : all)
        {
            const glm::vec2 a{line.first.first, line.first.second};
            const glm::vec2 b{line.second.first, line.second.second};
            if (Inside(a, view.rect) && Inside(b, view.rect))
            {
                ++inside;
                EXPECT_TRUE(std::binary_search(shown.begin(), shown.end(), line));
            }
        }
        EXPECT_GT(inside, 0u);
        for (const LineEnds& line : shown)
            EXPECT_TRUE(Inside({line.first.first, line.first.second}, reach.rect) ||
                        Inside({line.second.first, line.second.second}, reach.rect));
    };
    for (auto& [name, segment] : segments)
    {
        SCOPED_TRACE(static_cast<int>(segment.surfaceType));
        segment.levelTime = &time;
        compare([&](LineRenderer& lines, const float (&view)[4]) { segment.Draw(lines, false, view); },
                segment.Evaluate(0.4f));
    }
    SCOPED_TRACE("strip");
    compare([&](LineRenderer& lines, const float (&view)[4]) { ring.strips[0].Draw(lines, view); }, {0.0f, -30.0f});
}
