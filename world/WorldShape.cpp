#include "WorldShape.h"

#include <cmath>
#include <vector>

#include <box2d/box2d.h>
#include <glm/geometric.hpp>

#include "ByteBlob.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "Mesh.h"
#include "PolylineBoxes.h"
#include "Texture.h"

namespace
{
bool IsFinite(glm::vec2 v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

bool InGrownBox(const ShapeSegment& segment, glm::vec2 point, float radius)
{
    return point.x >= segment.minX - radius && point.x <= segment.maxX + radius && point.y >= segment.minY - radius &&
           point.y <= segment.maxY + radius;
}

/// `handle` pulled away from (or towards) `position` by the factor 1 / `ratio`, unless that
/// ratio gives no finite answer, in which case the handle stays.
glm::vec2 Stretched(glm::vec2 position, glm::vec2 handle, float ratio)
{
    if (!(ratio > 0.0f))
        return handle;
    const glm::vec2 stretched = position + (handle - position) / ratio;
    return IsFinite(stretched) ? stretched : handle;
}
/// The curve of the edge from `from` to `to`: through the handles for a spline edge, else a
/// straight line with its controls at a third and two thirds.
void SetUpEdge(ShapeSegment& segment, const ShapePoint& from, const ShapePoint& to)
{
    segment.p0 = from.position;
    segment.p1 = to.position;
    if (from.isSpline)
    {
        segment.c0 = from.handleB;
        segment.c1 = to.handleA;
        segment.isCurved = true;
    }
    else
    {
        // These constants, not 1/3 and 2/3, are what nearest-point searches on straight edges
        // have always been measured against.
        segment.c0 = segment.p0 + 0.33333f * (segment.p1 - segment.p0);
        segment.c1 = segment.p0 + 0.66667f * (segment.p1 - segment.p0);
        segment.isCurved = false;
    }
    segment.surfaceType = from.surfaceType;
}
/// The radius of every world-shape chain, world units.
constexpr float ChainRadius = 0.01f;

b2Vec2 ToB2(glm::vec2 v)
{
    return {v.x, v.y};
}

/// The physics library stops the program on a chain with two neighbouring vertices this close
/// (it compares the squared distance in single precision, as this does).
bool TooCloseForChain(const b2Vec2& a, const b2Vec2& b)
{
    return b2DistanceSquared(a, b) <= b2_linearSlop * b2_linearSlop;
}

bool IsFinite(const b2Vec2& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

/// Curved and Jagged edges collide along their whole polyline; a straight edge of any other type
/// along the line between its ends.
bool ChainFollowsPolyline(const ShapeSegment& segment)
{
    return segment.isCurved || segment.surfaceType == SurfaceType::Jagged;
}

/// Counts `edge`, whose polyline has `edgePoints` points, into `size`: its points, and again those
/// that a physics chain follows (a `Passable` edge has none).
void CountEdge(WorldShape::CompiledSize& size, const ShapeSegment& edge, uint64_t edgePoints)
{
    size.points += edgePoints;
    if (ChainFollowsPolyline(edge) && edge.surfaceType != SurfaceType::Passable)
        size.chainedPoints += edgePoints;
}

/// The vertices of the segment's chain. Points closer to the last kept one than the physics
/// library allows are dropped (a cusp, or an edge between coinciding points), the segment's two
/// ends always kept so that neighbouring chains still meet. False when fewer than two are left.
bool ChainVertices(const ShapeSegment& segment, std::vector<b2Vec2>& vertices)
{
    vertices.clear();
    const uint32_t count = segment.points.count;
    if (count < 2)
        return false;
    vertices.push_back(ToB2(segment.points[0]));
    if (ChainFollowsPolyline(segment))
        for (uint32_t k = 1; k + 1 < count; ++k)
        {
            const b2Vec2 point = ToB2(segment.points[k]);
            if (!TooCloseForChain(vertices.back(), point))
                vertices.push_back(point);
        }
    const b2Vec2 last = ToB2(segment.points[count - 1]);
    while (vertices.size() > 1 && TooCloseForChain(vertices.back(), last))
        vertices.pop_back();
    if (TooCloseForChain(vertices.back(), last))
        return false;
    vertices.push_back(last);
    return true;
}

/// The ghost vertex before a chain that starts at `join`: the second-to-last polyline point of
/// the previous segment when that one is curved or Jagged, else its start. A ghost on the join
/// itself gives the physics library no direction, so then the previous segment's points are
/// searched backwards for one that is not; when none is, the chain runs straight on.
b2Vec2 PreviousGhost(const ShapeSegment& previous, const b2Vec2& join, const b2Vec2& runOn)
{
    const uint32_t count = previous.points.count;
    if (count >= 2)
    {
        const b2Vec2 preferred = ToB2(ChainFollowsPolyline(previous) ? previous.points[count - 2] : previous.points[0]);
        if (IsFinite(preferred) && !TooCloseForChain(preferred, join))
            return preferred;
        for (uint32_t k = count - 1; k-- > 0;)
        {
            const b2Vec2 candidate = ToB2(previous.points[k]);
            if (IsFinite(candidate) && !TooCloseForChain(candidate, join))
                return candidate;
        }
    }
    return runOn;
}

/// The ghost vertex after a chain that ends at `join`, from the next segment: its polyline point
/// 1 when it is curved or Jagged, else its end; searched forwards as `PreviousGhost` searches.
b2Vec2 NextGhost(const ShapeSegment& next, const b2Vec2& join, const b2Vec2& runOn)
{
    const uint32_t count = next.points.count;
    if (count >= 2)
    {
        const b2Vec2 preferred = ToB2(ChainFollowsPolyline(next) ? next.points[1] : next.points[count - 1]);
        if (IsFinite(preferred) && !TooCloseForChain(preferred, join))
            return preferred;
        for (uint32_t k = 1; k < count; ++k)
        {
            const b2Vec2 candidate = ToB2(next.points[k]);
            if (IsFinite(candidate) && !TooCloseForChain(candidate, join))
                return candidate;
        }
    }
    return runOn;
}

void AddChainFixture(b2Body& body, const std::vector<b2Vec2>& vertices, const b2Vec2& previousGhost,
                     const b2Vec2& nextGhost, ShapeSegment& segment)
{
    b2ChainShape chain;
    chain.CreateChain(vertices.data(), static_cast<int32>(vertices.size()), previousGhost, nextGhost);
    chain.m_radius = ChainRadius;
    b2FixtureDef fixtureDef;
    fixtureDef.shape = &chain;
    fixtureDef.friction = 1.0f;
    fixtureDef.restitution = 0.0f;
    fixtureDef.density = 0.0f;
    fixtureDef.isSensor = false;
    fixtureDef.filter.groupIndex = 0;
    MakeWorldFixture(fixtureDef, segment);
    // The fixture copies the vertices; the chain frees its own copy when it goes out of scope.
    body.CreateFixture(&fixtureDef);
}
} // namespace

WorldShape::WorldShape(const WorldShape& other)
    : Serialisable(other), Selectable(other), points(other.points), segments(other.segments), strips(other.strips),
      outline(other.outline), levelTime(other.levelTime), minX(other.minX), maxX(other.maxX), minY(other.minY),
      maxY(other.maxY)
{
    RelinkPoints();
}

WorldShape& WorldShape::operator=(const WorldShape& other)
{
    selected = other.selected;
    if (this != &other)
    {
        points = other.points;
        segments = other.segments;
        strips = other.strips;
        outline = other.outline;
        levelTime = other.levelTime;
        minX = other.minX;
        maxX = other.maxX;
        minY = other.minY;
        maxY = other.maxY;
        RelinkPoints();
    }
    return *this;
}

WorldShape::WorldShape(WorldShape&& other) noexcept
    : Serialisable(other), Selectable(other), points(std::move(other.points)), segments(std::move(other.segments)),
      strips(std::move(other.strips)), outline(std::move(other.outline)), levelTime(other.levelTime), minX(other.minX),
      maxX(other.maxX), minY(other.minY), maxY(other.maxY)
{
}

WorldShape& WorldShape::operator=(WorldShape&& other) noexcept
{
    if (this == &other)
        return *this;
    selected = other.selected;
    levelTime = other.levelTime;
    minX = other.minX;
    maxX = other.maxX;
    minY = other.minY;
    maxY = other.maxY;
    // The points' links travel with the segment block they point into.
    points = std::move(other.points);
    outline = std::move(other.outline);
    strips = std::move(other.strips);
    segments = std::move(other.segments);
    return *this;
}

void WorldShape::Serialise(ByteBlob& blob)
{
    InfoLog << "Serialising world shape with " << points.count << " points.";
    InfoLog.EndMessage();
    blob.WriteU32(TypeId);
    for (ShapePoint& point : points)
        point.Serialise(blob);
}

bool WorldShape::Deserialise(ByteBlob& blob)
{
    points.Clear();
    if (!blob.CheckType(TypeId))
        return false;
    ShapePoint scratch;
    while (scratch.Deserialise(blob))
        points.PushBack(scratch);
    for (uint32_t i = 0; i < points.count; ++i)
    {
        const auto index = static_cast<int32_t>(i);
        points[i].UpdateHandles(PointAt(index - 1).position, PointAt(index + 1).position);
    }
    return true;
}

uint32_t WorldShape::RepairUnusedHandles()
{
    uint32_t moved = 0;
    for (uint32_t i = 0; i < points.count; ++i)
    {
        const auto index = static_cast<int32_t>(i);
        const ShapePoint& previous = PointAt(index - 1);
        moved += points[i].RepairUnusedHandles(previous.position, PointAt(index + 1).position, previous.isSpline,
                                               points[i].isSpline);
    }
    return moved;
}

void WorldShape::AddPoint(glm::vec2 handleA, glm::vec2 position, glm::vec2 handleB, bool isSpline, bool isCorner)
{
    ShapePoint point;
    const glm::vec2 in = position - handleA;
    const glm::vec2 out = handleB - position;
    const float inLength = glm::length(in);
    const float outLength = glm::length(out);
    if (inLength > 0.0f && outLength > 0.0f && glm::dot(in / inLength, out / outLength) > 0.9999f)
    {
        // Handles on one line through the point: centre them on it, so that the curve passes the
        // point the way a smooth point's would.
        const glm::vec2 offset = position - (handleA + handleB) * 0.5f;
        handleA += offset;
        handleB += offset;
    }
    point.handleA = handleA;
    point.position = position;
    point.handleB = handleB;
    point.isSpline = isSpline;
    point.isCorner = isCorner;
    point.surfaceType = SurfaceType::Plain;
    points.PushBack(point);
}

bool WorldShape::InsertPoint(glm::vec2 position, float radius)
{
    uint32_t index = 0;
    float t = 0.0f;
    glm::vec2 curvePoint{0.0f, 0.0f};
    glm::vec2 derivative{0.0f, 0.0f};
    if (!FindNearestSegment(position, radius, index, t, curvePoint, derivative))
        return false;
    if (index >= points.count)
        return false;

    ShapePoint& start = points[index];
    ShapePoint& end = PointAt(static_cast<int32_t>(index) + 1);
    start.handleB = start.position + t * (start.handleB - start.position);
    end.handleA = end.position + (1.0f - t) * (end.handleA - end.position);

    constexpr float oneThird = 1.0f / 3.0f;
    ShapePoint inserted;
    inserted.position = curvePoint;
    inserted.handleA = curvePoint - (t * oneThird) * derivative;
    inserted.handleB = curvePoint + ((1.0f - t) * oneThird) * derivative;
    inserted.isSpline = start.isSpline;
    inserted.surfaceType = start.surfaceType;
    inserted.isCorner = !start.isSpline;
    points.InsertAt(inserted, static_cast<int32_t>(index) + 1);
    Compile();
    return true;
}

void WorldShape::RemovePoint(int32_t index)
{
    if (points.count < 3 || index < 0 || static_cast<uint32_t>(index) >= points.count)
        return;
    const ShapePoint& removed = points[static_cast<uint32_t>(index)];
    const float a = glm::length(removed.position - removed.handleA);
    const float b = glm::length(removed.position - removed.handleB);
    // Both handles on the point (or unreadable) give no ratio: the neighbours keep their handles.
    if (a + b > 0.0f && std::isfinite(a + b))
    {
        const float ra = a / (a + b);
        const float rb = b / (a + b);
        ShapePoint& previous = PointAt(index - 1);
        ShapePoint& next = PointAt(index + 1);
        previous.handleB = Stretched(previous.position, previous.handleB, ra);
        next.handleA = Stretched(next.position, next.handleA, rb);
    }
    points.RemoveAt(static_cast<uint32_t>(index));
    Compile();
}

void WorldShape::SetPointVector(glm::vec2 vector, uint32_t kind, int32_t index)
{
    if (points.count == 0 || kind > ElementHandleB)
        return;
    ShapePoint& point = PointAt(index);
    if (kind == ElementPoint)
    {
        const glm::vec2 offset = vector - point.position;
        point.position += offset;
        point.handleA += offset;
        point.handleB += offset;
    }
    else if (kind == ElementHandleA)
    {
        point.handleA = vector;
        point.AlignHandleB();
    }
    else
    {
        point.handleB = vector;
        point.AlignHandleA();
    }
    Compile();
}

WorldShape WorldShape::CopyPoints() const
{
    WorldShape copy;
    for (const ShapePoint& point : points)
    {
        copy.points.PushBack(point);
        ShapePoint& copied = copy.points[copy.points.count - 1];
        copied.nextSegment = nullptr;
        copied.previousSegment = nullptr;
    }
    return copy;
}

void WorldShape::Compile()
{
    const uint32_t n = points.count;
    // Clearing destroys the old segments, and with them their data textures.
    segments.Clear();
    // Sized to fit when it must grow: a loaded shape's segments start from no block at all.
    if (n > segments.capacity)
        segments.Reserve(n);
    for (uint32_t i = 0; i < n; ++i)
    {
        const ShapePoint& from = points[i];
        const ShapePoint& to = points[(i + 1) % n];
        ShapeSegment segment;
        SetUpEdge(segment, from, to);
        segment.levelTime = levelTime;
        segments.PushBack(std::move(segment));
    }

    minX = FLT_MAX;
    maxX = -FLT_MAX;
    minY = FLT_MAX;
    maxY = -FLT_MAX;
    uint32_t outlineCount = 0;
    for (ShapeSegment& segment : segments)
    {
        segment.Compile();
        minX = std::fmin(minX, segment.minX);
        maxX = std::fmax(maxX, segment.maxX);
        minY = std::fmin(minY, segment.minY);
        maxY = std::fmax(maxY, segment.maxY);
        outlineCount += segment.points.count - 1;
    }

    outline.Clear();
    outline.Reserve(outlineCount);
    for (const ShapeSegment& segment : segments)
        for (uint32_t k = 0; k + 1 < segment.points.count; ++k)
            outline.PushBack(segment.points[k]);

    RelinkPoints();
}

void WorldShape::BuildSurfaceStrips()
{
    strips.Clear();
    const uint32_t n = points.count;
    // Strips follow compiled edges; a shape changed since its last compile has none to follow.
    if (segments.count == 0 || segments.count != n)
        return;
    auto breaksAt = [&](uint32_t i) {
        const ShapePoint& point = points[i];
        return point.IsSharpCorner() || point.surfaceType != points[(i + n - 1) % n].surfaceType;
    };
    uint32_t start = 0;
    for (uint32_t i = 0; i < n; ++i)
        if (breaksAt(i))
        {
            start = i;
            break;
        }

    SurfaceStrip working;
    for (uint32_t j = start; j < start + segments.count; ++j)
    {
        const uint32_t i = j % n;
        if (breaksAt(i) && working.points.count > 0)
        {
            strips.PushBack(working);
            working = SurfaceStrip();
        }
        working.Merge(segments[j % segments.count]);
    }
    if (working.points.count > 0)
        strips.PushBack(working);
    if (strips.count == 1)
        strips[0].Append();
}

void WorldShape::SetLevelTime(const float* time)
{
    levelTime = time;
    for (ShapeSegment& segment : segments)
        segment.levelTime = time;
    for (SurfaceStrip& strip : strips)
        strip.levelTime = time;
}

WorldShape::CompiledSize WorldShape::CountCompiled() const
{
    CompiledSize size;
    for (const ShapeSegment& segment : segments)
        CountEdge(size, segment, segment.points.count);
    return size;
}

WorldShape::CompiledSize WorldShape::MeasureCompiled() const
{
    const uint32_t n = points.count;
    CompiledSize size;
    if (n == 0)
        return size;
    ShapeSegment edge;
    for (uint32_t i = 0; i < n; ++i)
    {
        SetUpEdge(edge, points[i], points[(i + 1) % n]);
        CountEdge(size, edge, static_cast<uint64_t>(edge.CountPieces()) + 1u);
    }
    return size;
}

b2Body* WorldShape::CreateBody(b2World& world)
{
    b2BodyDef bodyDef;
    b2Body* body = world.CreateBody(&bodyDef);
    const uint32_t n = segments.count;
    std::vector<b2Vec2> vertices;
    std::vector<b2Vec2> reversed;
    for (uint32_t i = 0; i < n; ++i)
    {
        ShapeSegment& segment = segments[i];
        if (segment.surfaceType == SurfaceType::Passable)
            continue;
        bool finite = true;
        for (const glm::vec2& point : segment.points)
            finite = finite && IsFinite(point);
        if (!finite)
        {
            // The physics world would stop the program at the first step; loaders refuse such
            // coordinates, so this is a fault somewhere between them and here.
            WarningLog << LogLocation(__FILE__, 486) << "World shape edge " << i
                       << " has a point that is not a number; it was given no physics.";
            WarningLog.EndMessage();
            continue;
        }
        if (!ChainVertices(segment, vertices))
            continue;
        const b2Vec2 first = vertices.front();
        const b2Vec2 second = vertices[1];
        const b2Vec2 last = vertices.back();
        const b2Vec2 secondLast = vertices[vertices.size() - 2];
        const b2Vec2 previousGhost = PreviousGhost(segments[(i + n - 1) % n], first, first - (second - first));
        const b2Vec2 nextGhost = NextGhost(segments[(i + 1) % n], last, last + (last - secondLast));

        // A chain collides only from the side its edge normals face. Levels are played on both
        // sides of their edges (on top of shapes and inside shapes that enclose the level), so
        // every segment gets the chain both ways round, each with its own ghost vertices.
        AddChainFixture(*body, vertices, previousGhost, nextGhost, segment);
        reversed.assign(vertices.rbegin(), vertices.rend());
        AddChainFixture(*body, reversed, nextGhost, previousGhost, segment);
    }
    return body;
}

void WorldShape::AppendTriangles(Mesh& mesh, const float (&view)[4]) const
{
    if (!PolylineBoxes::OverlapsView({minX, maxX, minY, maxY}, view) || outline.count < 3)
        return;
    const glm::vec2 hub = outline[0];
    for (uint32_t i = 1; i + 1 < outline.count; ++i)
    {
        mesh.vertices.PushBack({hub.x, hub.y, 0.0f, 0.0f});
        mesh.vertices.PushBack({outline[i].x, outline[i].y, 0.0f, 0.0f});
        mesh.vertices.PushBack({outline[i + 1].x, outline[i + 1].y, 0.0f, 0.0f});
    }
}

void WorldShape::DrawMagnetism(Mesh& mesh, const float (&view)[4]) const
{
    for (const ShapeSegment& segment : segments)
    {
        if (segment.dataTexture == nullptr || !segment.dataTexture->loaded ||
            !PolylineBoxes::OverlapsView(
                {segment.influenceMinX, segment.influenceMaxX, segment.influenceMinY, segment.influenceMaxY}, view))
            continue;
        segment.dataTexture->Bind(0);
        // Texture row 0 is the bottom of the influence box.
        mesh.AddQuad({segment.influenceMinX, segment.influenceMaxY}, {segment.influenceMaxX, segment.influenceMinY},
                     {0.0f, 1.0f}, {1.0f, 0.0f});
        mesh.CreateBuffer();
        mesh.Upload();
        mesh.Draw();
        mesh.vertices.Clear();
    }
}

bool WorldShape::HitTestPoint(glm::vec2 point)
{
    if (!(point.x >= minX && point.x <= maxX && point.y >= minY && point.y <= maxY))
        return false;
    if (outline.count < 3)
        return false;
    // Counts the outline's crossings of a ray from the point towards +x. A fan of triangles from
    // the first outline point, tested side by side, misjudges points that lie on a fan diagonal
    // (the centre of a clockwise square) or on the line of a straight edge through the first
    // point (the mouth of a bay); the crossing count, with each edge taken as half-open in y,
    // has no such ties. Odd means inside, which for a simple outline of either winding is the
    // inside, and elsewhere matches the fill's odd coverage.
    bool inside = false;
    glm::vec2 a = outline[outline.count - 1];
    for (uint32_t i = 0; i < outline.count; ++i)
    {
        const glm::vec2 b = outline[i];
        if ((a.y > point.y) != (b.y > point.y))
        {
            const float crossingX = a.x + (point.y - a.y) / (b.y - a.y) * (b.x - a.x);
            if (point.x < crossingX)
                inside = !inside;
        }
        a = b;
    }
    return inside;
}

bool WorldShape::HitTestRect(float rectMinX, float rectMaxX, float rectMinY, float rectMaxY)
{
    if (!(maxX > rectMinX && rectMaxX > minX && maxY > rectMinY && rectMaxY > minY))
        return false;
    if (HitTestPoint({rectMinX, rectMaxY}))
        return true;
    for (const ShapeSegment& segment : segments)
    {
        if (!(segment.maxX > rectMinX && rectMaxX > segment.minX && segment.maxY > rectMinY && rectMaxY > segment.minY))
            continue;
        for (uint32_t k = 0; k + 1 < segment.points.count; ++k)
        {
            const glm::vec2 p = segment.points[k];
            if (p.x >= rectMinX && p.x <= rectMaxX && p.y >= rectMinY && p.y <= rectMaxY)
                return true;
        }
    }
    return false;
}

void WorldShape::Rotate(glm::vec2 centre, float angle)
{
    for (ShapePoint& point : points)
    {
        point.position = RotatePoint(point.position, centre, angle);
        point.handleA = RotatePoint(point.handleA, centre, angle);
        point.handleB = RotatePoint(point.handleB, centre, angle);
    }
    Compile();
}

void WorldShape::Translate(glm::vec2 offset)
{
    for (ShapePoint& point : points)
    {
        point.position += offset;
        point.handleA += offset;
        point.handleB += offset;
    }
    Compile();
}

glm::vec2 WorldShape::GetPosition()
{
    return {(minX + maxX) * 0.5f, (minY + maxY) * 0.5f};
}

void WorldShape::DrawOutline(LineRenderer& lines, glm::vec2 offset, glm::vec2 centre, float angle, bool rotate)
{
    lines.currentColour = PreviewColour;
    for (const ShapeSegment& segment : segments)
        for (uint32_t k = 0; k + 1 < segment.points.count; ++k)
        {
            const glm::vec2 p = segment.points[k];
            lines.AddStripPoint(rotate ? RotatePoint(p, centre, angle) : p + offset);
        }
    lines.CloseStrip();
}

void WorldShape::DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle)
{
    DrawOutline(lines, {0.0f, 0.0f}, centre, angle, true);
}

void WorldShape::DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset)
{
    DrawOutline(lines, offset, {0.0f, 0.0f}, 0.0f, false);
}

Selectable* WorldShape::Clone()
{
    return new WorldShape(CopyPoints());
}

void WorldShape::DrawEditor(LineRenderer& lines, float radius, const float (&view)[4]) const
{
    const int32_t n = static_cast<int32_t>(points.count);
    const PolylineBoxes::Box shown = PolylineBoxes::FromView(view);
    auto seesLine = [&](glm::vec2 a, glm::vec2 b) { return PolylineBoxes::Meets(PolylineBoxes::BoxOf(a, b), shown); };
    auto seesMark = [&](glm::vec2 centre) {
        return PolylineBoxes::Meets(PolylineBoxes::Grown(PolylineBoxes::BoxOf(centre, centre), radius), shown);
    };
    lines.currentColour = PreviewColour;
    for (int32_t i = 0; i < n; ++i)
    {
        const ShapePoint& point = PointAt(i);
        if (PointAt(i - 1).isSpline && seesLine(point.handleA, point.position))
            lines.AddLine(point.handleA, point.position, PreviewColour);
        if (point.isSpline && seesLine(point.position, point.handleB))
            lines.AddLine(point.position, point.handleB, PreviewColour);
    }
    const glm::vec3 handleColour{0.0f, 1.0f, 0.0f};
    const glm::vec3 cornerColour{1.0f, 0.0f, 0.0f};
    const glm::vec3 smoothColour{0.0f, 0.0f, 1.0f};
    for (int32_t i = 0; i < n; ++i)
    {
        const ShapePoint& point = PointAt(i);
        const bool handleAShown = PointAt(i - 1).isSpline && seesMark(point.handleA);
        const bool handleBShown = point.isSpline && seesMark(point.handleB);
        const bool pointShown = seesMark(point.position);
        if (!handleAShown && !handleBShown && !pointShown)
            continue;
        lines.currentColour = handleColour;
        if (handleAShown)
            lines.AddCross(point.handleA, radius, handleColour);
        if (handleBShown)
            lines.AddCross(point.handleB, radius, handleColour);
        const glm::vec3 pointColour = point.isCorner ? cornerColour : smoothColour;
        if (pointShown)
            lines.AddCircle(point.position, radius, pointColour, 32);
        lines.currentColour = pointColour;
    }
}

bool WorldShape::FindElement(glm::vec2 point, float radius, int32_t& index, uint32_t& kind) const
{
    const int32_t n = static_cast<int32_t>(points.count);
    index = -1;
    kind = ElementNone;
    for (int32_t i = 0; i < n && index < 0; ++i)
    {
        const ShapePoint& candidate = PointAt(i);
        if (candidate.isSpline && glm::length(candidate.handleB - point) < radius)
        {
            index = i;
            kind = ElementHandleB;
        }
        else if (PointAt(i - 1).isSpline && glm::length(candidate.handleA - point) < radius)
        {
            index = i;
            kind = ElementHandleA;
        }
    }
    for (int32_t i = 0; i < n && index < 0; ++i)
        if (glm::length(PointAt(i).position - point) < radius)
        {
            index = i;
            kind = ElementPoint;
        }
    return index >= 0;
}

bool WorldShape::IsNearEdge(glm::vec2 point, float radius, uint32_t& segmentIndex) const
{
    for (uint32_t k = 0; k < segments.count; ++k)
    {
        const ShapeSegment& segment = segments[k];
        if (!InGrownBox(segment, point, radius))
            continue;
        const float t = segment.FindNearestParameter(point, radius);
        if (t >= 0.0f && t <= 1.0f)
        {
            segmentIndex = k;
            return true;
        }
    }
    return false;
}

bool WorldShape::FindNearestSegment(glm::vec2 point, float radius, uint32_t& segmentIndex, float& parameter,
                                    glm::vec2& curvePoint, glm::vec2& derivative) const
{
    uint32_t found = 0;
    if (!IsNearEdge(point, radius, found))
        return false;
    const ShapeSegment& segment = segments[found];
    segmentIndex = found;
    parameter = segment.FindNearestParameter(point, radius);
    curvePoint = segment.Evaluate(parameter);
    derivative = segment.Derivative(parameter);
    return true;
}

ShapePoint& WorldShape::PointAt(int32_t index)
{
    return const_cast<ShapePoint&>(static_cast<const WorldShape&>(*this).PointAt(index));
}

const ShapePoint& WorldShape::PointAt(int32_t index) const
{
    const auto n = static_cast<int64_t>(points.count);
    int64_t wrapped = static_cast<int64_t>(index) % n;
    if (wrapped < 0)
        wrapped += n;
    return points[static_cast<uint32_t>(wrapped)];
}

void WorldShape::RelinkPoints()
{
    const uint32_t n = points.count;
    const bool linked = segments.count == n && n > 0;
    for (uint32_t i = 0; i < n; ++i)
    {
        points[i].nextSegment = linked ? &segments[i] : nullptr;
        points[i].previousSegment = linked ? &segments[(i + n - 1) % n] : nullptr;
    }
}
