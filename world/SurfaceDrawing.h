#pragma once

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "DynArray.h"
#include "SurfaceType.h"

class LineRenderer;

/// Appends one run of surface to the line batch: its decorations (hairs, teeth, chevrons, dashes
/// or notches, by type, on the side away from the normals) in the type's decoration colour, then
/// the open polyline in the type's main colour, or in `mainColourOverride` when it is given.
/// `levelTime` (seconds, null counts as 0) animates chevrons and dashes. The batch's current
/// colour is left at the main colour; no strip is left open. Shared by segments and strips.
void DrawSurface(LineRenderer& lines, const DynArray<glm::vec2>& points, const DynArray<glm::vec2>& normals,
                 float length, SurfaceType type, const float* levelTime, const glm::vec3* mainColourOverride);
