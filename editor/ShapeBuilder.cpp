#include "ShapeBuilder.h"

#include <glm/geometric.hpp>

#include "LineRenderer.h"
#include "Utilities.h"
#include "WorldShape.h"

namespace
{
const glm::vec3 EdgeColour{0.6f, 0.6f, 0.6f};
const glm::vec3 ClosingEdgeColour{0.5f, 0.0f, 0.0f};
const glm::vec3 HandleLineColour{0.8f, 0.8f, 0.8f};
const glm::vec3 HandleCrossColour{0.0f, 0.0f, 0.5f};
const glm::vec3 PointColour{0.0f, 0.5f, 0.0f};
const glm::vec3 LastHandleLineColour{0.5f, 1.0f, 1.0f};
const glm::vec3 LastHandleCrossColour{0.0f, 0.0f, 0.8f};
const glm::vec3 LastPointColour{0.0f, 0.8f, 0.0f};
const glm::vec3 CloseMarkerColour{1.0f, 0.0f, 0.0f};

glm::vec2 Bezier(glm::vec2 p0, glm::vec2 c0, glm::vec2 c1, glm::vec2 p1, float t)
{
    const float u = 1.0f - t;
    return (u * u * u) * p0 + (3.0f * u * u * t) * c0 + (3.0f * u * t * t) * c1 + (t * t * t) * p1;
}

/// The edge from `from` to `to` as 20 strip points, t = 0 up to 0.95.
void AddEdge(LineRenderer& lines, const BuilderPoint& from, const BuilderPoint& to)
{
    for (float t = 0.0f; t < 1.0f; t += 0.05f)
        lines.AddStripPoint(Bezier(from.position, from.handleB, to.handleA, to.position, t));
}

void DrawPointMarks(LineRenderer& lines, const BuilderPoint& point, const glm::vec3& lineColour,
                    const glm::vec3& crossColour, const glm::vec3& circleColour)
{
    lines.AddLine(point.handleA, point.position, lineColour);
    lines.AddLine(point.position, point.handleB, lineColour);
    lines.AddCross(point.handleA, 0.1f, crossColour);
    lines.AddCross(point.handleB, 0.1f, crossColour);
    lines.AddCircle(point.position, 0.1f, circleColour, 64);
}
} // namespace

ShapeBuilder::ShapeBuilder(glm::vec2 position)
{
    BuilderPoint first;
    first.position = position;
    first.handleA = {0.0f, 0.0f};
    first.handleB = {0.0f, 0.0f};
    first.isCorner = false;
    first.isSpline = true;
    points.PushBack(first);
}

bool ShapeBuilder::Update(glm::vec2 position, bool leftDown, bool rightDown)
{
    closing = glm::length(position - points[0].position) < CloseDistance;

    if (leftDown)
    {
        if (leftWasDown)
        {
            BuilderPoint& last = points[points.count - 1];
            last.handleB = position;
            if (!handlesBroken)
                last.handleA = 2.0f * last.position - position;
        }
        else
        {
            if (closing)
                return true;
            BuilderPoint added;
            added.position = position;
            added.handleA = position;
            added.handleB = position;
            added.isCorner = false;
            added.isSpline = true;
            AddPoint(added);
            handlesBroken = false;
        }
    }

    if (rightDown && !rightWasDown)
    {
        if (leftWasDown)
        {
            handlesBroken = true;
            points[points.count - 1].isCorner = true;
        }
        else
        {
            if (points.count <= 1)
                return true;
            points.RemoveAt(points.count - 1);
        }
    }

    leftWasDown = leftDown;
    rightWasDown = rightDown;
    return false;
}

void ShapeBuilder::Finish(WorldShape& shape)
{
    const uint32_t n = points.count;
    if (n == 0)
    {
        shape = WorldShape();
        return;
    }
    // Every flag is taken first: repairing one point's handles must not change whether its
    // neighbour counts as clicked.
    DynArray<bool> clicked;
    clicked.Reserve(n);
    for (const BuilderPoint& point : points)
        clicked.PushBack(glm::length(point.handleA - point.handleB) < 0.001f);

    for (uint32_t i = 0; i < n; ++i)
    {
        if (!clicked[i])
            continue;
        BuilderPoint& point = points[i];
        const BuilderPoint& next = points[(i + 1) % n];
        const BuilderPoint& previous = points[(i + n - 1) % n];
        if (clicked[(i + 1) % n])
            point.isSpline = false;
        point.isCorner = true;
        point.handleB = point.position + 0.25f * (next.position - point.position);
        point.handleA = point.position + 0.25f * (previous.position - point.position);
    }

    shape = WorldShape();
    if (NeedsReversal())
    {
        // In the reversed ring the edge leaving point i is the old edge from point i - 1, so the
        // spline flag travels with it.
        for (uint32_t k = n; k-- > 0;)
        {
            const BuilderPoint& point = points[k];
            const BuilderPoint& previous = points[(k + n - 1) % n];
            shape.AddPoint(point.handleB, point.position, point.handleA, previous.isSpline, point.isCorner);
        }
    }
    else
    {
        for (const BuilderPoint& point : points)
            shape.AddPoint(point.handleA, point.position, point.handleB, point.isSpline, point.isCorner);
    }
}

bool ShapeBuilder::NeedsReversal() const
{
    const uint32_t vertexCount = points.count * 3;
    auto vertex = [&](uint32_t k) {
        const BuilderPoint& point = points[k / 3];
        switch (k % 3)
        {
        case 0: return point.handleA;
        case 1: return point.position;
        default: return point.handleB;
        }
    };
    float area = 0.0f;
    for (uint32_t k = 2; k < vertexCount; ++k)
        area += SignedLineDistance(vertex(0), vertex(k - 1), vertex(k));
    return area > 0.0f;
}

void ShapeBuilder::AddPoint(const BuilderPoint& point)
{
    points.PushBack(point);
}

void ShapeBuilder::Draw(LineRenderer& lines) const
{
    const uint32_t n = points.count;
    if (n == 0)
        return;
    if (closing)
    {
        lines.currentColour = EdgeColour;
        for (uint32_t i = 0; i + 1 < n; ++i)
            AddEdge(lines, points[i], points[i + 1]);
        lines.currentColour = ClosingEdgeColour;
        AddEdge(lines, points[n - 1], points[0]);
        lines.CloseStrip();
    }
    else
    {
        lines.currentColour = EdgeColour;
        for (uint32_t i = 0; i + 1 < n; ++i)
            AddEdge(lines, points[i], points[i + 1]);
        lines.EndStrip();
    }

    for (uint32_t i = 0; i + 1 < n; ++i)
        DrawPointMarks(lines, points[i], HandleLineColour, HandleCrossColour, PointColour);
    DrawPointMarks(lines, points[n - 1], LastHandleLineColour, LastHandleCrossColour, LastPointColour);
    lines.currentColour = LastHandleCrossColour;

    if (closing)
        lines.AddCircle(points[0].position, 0.15f, CloseMarkerColour, 64);
}
