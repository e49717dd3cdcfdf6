#include "SurfaceDrawing.h"

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

void DrawHairs(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
               float oddDepth, float evenDepth)
{
    if (points.count < 3)
        return;
    for (uint32_t i = 1; i + 1 < points.count; ++i)
    {
        const float depth = (i % 2 == 1) ? oddDepth : evenDepth;
        lines.AddLine(points[i], points[i] - depth * normals[i], lines.currentColour);
    }
}

void DrawBouncerDashes(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                       float time)
{
    if (points.count < 3)
        return;
    const float swing = std::cos(time * 12.0f);
    for (uint32_t i = 1; i + 1 < points.count; ++i)
    {
        const float depth = (i % 2 == 1) ? 0.1f + 0.05f * swing : 0.1f - 0.05f * swing;
        lines.AddLine(points[i] - depth * normals[i], points[i + 1] - depth * normals[i + 1], lines.currentColour);
    }
}

void DrawMagnetNotches(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals)
{
    if (points.count < 2)
        return;
    for (uint32_t i = 0; i + 1 < points.count; ++i)
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
/// of the polyline (`towardsEnd`) or towards its start.
void DrawChevrons(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                  float length, float phase, bool towardsEnd)
{
    for (float x = (towardsEnd ? phase : 0.2f - phase) + 0.05f; x < (length - 0.2f) - 0.05f; x += 0.2f)
    {
        const float a = x / length;
        const float b = (x + 0.1f) / length;
        const float tipAt = towardsEnd ? b : a;
        const float tailsAt = towardsEnd ? a : b;
        const glm::vec2 tip = Below(points, normals, tipAt, 0.1f);
        lines.AddLine(Below(points, normals, tailsAt, 0.05f), tip, lines.currentColour);
        lines.AddLine(Below(points, normals, tailsAt, 0.15f), tip, lines.currentColour);
    }
}
} // namespace

void DrawSurface(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                 float length, SurfaceType type, const float* levelTime, const glm::vec3* mainColourOverride)
{
    const float time = levelTime != nullptr ? *levelTime : 0.0f;
    const float phase = std::fmod(time * 1.6f, 0.2f);

    glm::vec3 colour;
    if (DecorationColour(type, colour))
        lines.currentColour = colour;
    switch (type)
    {
    case SurfaceType::Plain: DrawHairs(lines, points, normals, 0.1f, 0.1f); break;
    case SurfaceType::Jagged: DrawHairs(lines, points, normals, 0.2f, 0.1f); break;
    case SurfaceType::Bouncer: DrawBouncerDashes(lines, points, normals, time); break;
    case SurfaceType::MagneticAttractor:
    case SurfaceType::MagneticRepulsor: DrawMagnetNotches(lines, points, normals); break;
    case SurfaceType::AnticlockwiseAccelerator: DrawChevrons(lines, points, normals, length, phase, true); break;
    case SurfaceType::ClockwiseAccelerator: DrawChevrons(lines, points, normals, length, phase, false); break;
    default: break;
    }

    if (mainColourOverride != nullptr)
        lines.currentColour = *mainColourOverride;
    else if (MainColour(type, colour))
        lines.currentColour = colour;
    for (const glm::vec2& point : points)
        lines.AddStripPoint(point);
    lines.EndStrip();
}
