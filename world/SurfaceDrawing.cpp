#include "SurfaceDrawing.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

#include "LineRenderer.h"

namespace
{
/// The item at fraction `t` of the way along `items`, blended between neighbours; normals come
/// back as blended, not normalised.
glm::vec2 AtFraction(const DynArray<glm::vec2>& items, float t)
{
    if (items.count == 0)
        return {0.0f, 0.0f};
    if (t <= 0.0f)
        return items[0];
    if (t >= 1.0f)
        return items[items.count - 1];
    const float f = static_cast<float>(items.count - 1) * t;
    const auto i = static_cast<uint32_t>(f);
    const float r = f - static_cast<float>(i);
    if (r < 0.0001f || i + 1 >= items.count)
        return items[i];
    return (1.0f - r) * items[i] + r * items[i + 1];
}

/// The point `depth` below the surface at fraction `t`: decorations lie away from the normals.
glm::vec2 Below(const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals, float t, float depth)
{
    return AtFraction(points, t) - depth * AtFraction(normals, t);
}

bool DecorationColour(SurfaceType type, glm::vec3& colour)
{
    switch (type)
    {
    case SurfaceType::Plain: colour = {0.3f, 0.2f, 0.2f}; return true;
    case SurfaceType::ClockwiseAccelerator:
    case SurfaceType::AnticlockwiseAccelerator: colour = {0.9f, 0.7f, 0.1f}; return true;
    case SurfaceType::Jagged: colour = {0.3f, 0.0f, 0.4f}; return true;
    case SurfaceType::MagneticAttractor: colour = {0.8f, 0.0f, 0.0f}; return true;
    case SurfaceType::MagneticRepulsor: colour = {0.0f, 0.0f, 0.8f}; return true;
    case SurfaceType::Bouncer: colour = {0.8f, 0.55f, 0.0f}; return true;
    default: return false;
    }
}

bool MainColour(SurfaceType type, glm::vec3& colour)
{
    switch (type)
    {
    case SurfaceType::Plain:
    case SurfaceType::Jagged: colour = {0.7f, 0.7f, 0.7f}; return true;
    case SurfaceType::ClockwiseAccelerator:
    case SurfaceType::AnticlockwiseAccelerator: colour = {1.0f, 1.0f, 0.75f}; return true;
    case SurfaceType::MagneticAttractor: colour = {1.0f, 0.8f, 0.8f}; return true;
    case SurfaceType::MagneticRepulsor: colour = {0.8f, 0.8f, 1.0f}; return true;
    case SurfaceType::Bouncer: colour = {1.0f, 0.9f, 0.8f}; return true;
    // A passable edge would otherwise take whatever colour was drawn before it, so the same edge
    // would change colour as the drawing order changed.
    case SurfaceType::Passable: colour = {0.35f, 0.35f, 0.35f}; return true;
    default: return false;
    }
}

using Box = PolylineBoxes::Box;

/// Hairs (or teeth, at two depths) at the inner points of the pieces [first, end).
void DrawHairs(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
               uint32_t first, uint32_t end, float oddDepth, float evenDepth)
{
    if (points.count < 3)
        return;
    const uint32_t last = std::min(end, points.count - 2);
    for (uint32_t i = std::max(first, 1u); i <= last; ++i)
    {
        const float depth = (i % 2 == 1) ? oddDepth : evenDepth;
        lines.AddLine(points[i], points[i] - depth * normals[i], lines.currentColour);
    }
}

/// The springing dashes under the pieces [first, end), the first and last piece of the polyline
/// excepted.
void DrawBouncerDashes(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                       uint32_t first, uint32_t end, float time)
{
    if (points.count < 3)
        return;
    const float swing = std::cos(time * 12.0f);
    const uint32_t last = std::min(end - 1, points.count - 2);
    for (uint32_t i = std::max(first, 1u); i <= last; ++i)
    {
        const float depth = (i % 2 == 1) ? 0.1f + 0.05f * swing : 0.1f - 0.05f * swing;
        lines.AddLine(points[i] - depth * normals[i], points[i + 1] - depth * normals[i + 1], lines.currentColour);
    }
}

/// A notch under the middle of every piece [first, end).
void DrawMagnetNotches(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                       uint32_t first, uint32_t end)
{
    for (uint32_t i = first; i < end; ++i)
    {
        const glm::vec2 middle = (points[i] + points[i + 1]) * 0.5f;
        const glm::vec2 sum = normals[i] + normals[i + 1];
        const float sumLength = glm::length(sum);
        // Opposite normals (a cusp) give no direction of their own; the first one stands in.
        const glm::vec2 direction = sumLength > 0.0f ? sum / sumLength : normals[i];
        const glm::vec2 notch = middle - direction * 0.1f;
        lines.AddLine(points[i], notch, lines.currentColour);
        lines.AddLine(points[i + 1], notch, lines.currentColour);
    }
}

/// Chevrons 0.2 apart, 0.1 long and 0.1 wide, travelling at 1.6 units a second towards the end
/// of the polyline (`towardsEnd`) or towards its start. Chevron k stands at arc position
/// x = first + 0.2 k, placed by its fraction x / length of the polyline; only those whose stretch
/// of polyline lies in the view (grown by the decorations' reach) are added, found piece by piece
/// rather than by walking the edge from its start, and no more than `MaxChevronsPerDraw`.
void DrawChevrons(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                  const PolylineBoxes& boxes, float length, float phase, bool towardsEnd, const float (&view)[4])
{
    const uint32_t count = points.count;
    if (count < 2 || !(length > 0.0f) || !std::isfinite(length))
        return;
    const float first = (towardsEnd ? phase : 0.2f - phase) + 0.05f;
    const float stop = (length - 0.2f) - 0.05f;
    // The fraction x / length addresses the point array linearly, so arc position x lies at
    // point index x / unitsPerPoint.
    const double unitsPerPoint = static_cast<double>(length) / static_cast<double>(count - 1);
    const Box reach = PolylineBoxes::Grown(PolylineBoxes::FromView(view), SurfaceDecorationReach);
    int64_t next = 0; // every chevron before this one has been drawn or lies before the view
    uint32_t drawn = 0;
    bool finished = false;
    boxes.ForEachRunInView(points, view, SurfaceDecorationReach, [&](uint32_t firstPiece, uint32_t endPiece) {
        for (uint32_t i = firstPiece; i < endPiece && !finished; ++i)
        {
            double t0 = 0.0;
            double t1 = 0.0;
            if (!PolylineBoxes::Clip(points[i], points[i + 1], reach, t0, t1))
                continue;
            // A chevron reaches 0.1 on from its own position.
            const double from = (static_cast<double>(i) + t0) * unitsPerPoint - 0.1;
            const double to = (static_cast<double>(i) + t1) * unitsPerPoint;
            int64_t k = std::max(next, static_cast<int64_t>(std::ceil((from - first) / 0.2)));
            for (;; ++k)
            {
                const double position = static_cast<double>(first) + 0.2 * static_cast<double>(k);
                if (position > to)
                    break;
                const float x = static_cast<float>(position);
                if (!(x < stop) || drawn >= MaxChevronsPerDraw)
                {
                    finished = true;
                    break;
                }
                const float a = x / length;
                const float b = (x + 0.1f) / length;
                const float tipAt = towardsEnd ? b : a;
                const float tailsAt = towardsEnd ? a : b;
                const glm::vec2 tip = Below(points, normals, tipAt, 0.1f);
                lines.AddLine(Below(points, normals, tailsAt, 0.05f), tip, lines.currentColour);
                lines.AddLine(Below(points, normals, tailsAt, 0.15f), tip, lines.currentColour);
                ++drawn;
            }
            next = k;
        }
    });
}
} // namespace

void DrawSurface(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                 const PolylineBoxes& boxes, float length, SurfaceType type, const float* levelTime,
                 const glm::vec3* mainColourOverride, const float (&view)[4])
{
    const float time = levelTime != nullptr ? *levelTime : 0.0f;
    const float phase = std::fmod(time * 1.6f, 0.2f);
    auto forEachRun = [&](auto&& visit) { boxes.ForEachRunInView(points, view, SurfaceDecorationReach, visit); };

    glm::vec3 colour;
    if (DecorationColour(type, colour))
        lines.currentColour = colour;
    switch (type)
    {
    case SurfaceType::Plain:
        forEachRun([&](uint32_t first, uint32_t end) { DrawHairs(lines, points, normals, first, end, 0.1f, 0.1f); });
        break;
    case SurfaceType::Jagged:
        forEachRun([&](uint32_t first, uint32_t end) { DrawHairs(lines, points, normals, first, end, 0.2f, 0.1f); });
        break;
    case SurfaceType::Bouncer:
        forEachRun([&](uint32_t first, uint32_t end) { DrawBouncerDashes(lines, points, normals, first, end, time); });
        break;
    case SurfaceType::MagneticAttractor:
    case SurfaceType::MagneticRepulsor:
        forEachRun([&](uint32_t first, uint32_t end) { DrawMagnetNotches(lines, points, normals, first, end); });
        break;
    case SurfaceType::AnticlockwiseAccelerator:
        DrawChevrons(lines, points, normals, boxes, length, phase, true, view);
        break;
    case SurfaceType::ClockwiseAccelerator:
        DrawChevrons(lines, points, normals, boxes, length, phase, false, view);
        break;
    default: break;
    }

    if (mainColourOverride != nullptr)
        lines.currentColour = *mainColourOverride;
    else if (MainColour(type, colour))
        lines.currentColour = colour;
    forEachRun([&](uint32_t first, uint32_t end) {
        for (uint32_t i = first; i <= end; ++i)
            lines.AddStripPoint(points[i]);
        lines.EndStrip();
    });
}
