#pragma once

#include <cstdint>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "DynArray.h"
#include "PolylineBoxes.h"
#include "SurfaceType.h"

class LineRenderer;

/// How far decorations reach from their polyline, world units: the deepest tooth, chevron tail
/// or dash, with room to spare. Pieces this far outside the view can still show a decoration.
inline constexpr float SurfaceDecorationReach = 0.25f;
/// The most chevrons one run of surface adds in one frame. A view takes in that many only when it
/// spans thousands of units of accelerator edge, where a chevron is far smaller than a pixel, so
/// the cap changes nothing that can be seen; it keeps an edge millions of units long from filling
/// the batch.
inline constexpr uint32_t MaxChevronsPerDraw = 16384;

/// Appends one run of surface to the line batch: its decorations (hairs, teeth, chevrons, dashes
/// or notches, by type, on the side away from the normals) in the type's decoration colour, then
/// the open polyline in the type's main colour, or in `mainColourOverride` when it is given.
/// `levelTime` (seconds, null counts as 0) animates chevrons and dashes. The batch's current
/// colour is left at the main colour; no strip is left open. Shared by segments and strips.
///
/// Only what `view` (min x, max x, min y, max y, world units) shows is added: the stretches of
/// polyline whose `boxes` meet the view grown by `SurfaceDecorationReach`, and no more chevrons
/// than `MaxChevronsPerDraw`, so the cost of a frame follows what is on screen rather than the
/// length of the edge.
void DrawSurface(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                 const PolylineBoxes& boxes, float length, SurfaceType type, const float* levelTime,
                 const glm::vec3* mainColourOverride, const float (&view)[4]);
