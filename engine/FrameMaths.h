#pragma once

#include <cstdint>
#include <optional>

#include <glm/vec2.hpp>

/// The frame step's arithmetic, kept apart from the window so that it can be checked without one.

/// The refresh rate assumed when the monitor reports none (virtual displays report 0 Hz).
constexpr int32_t FallbackRefreshRate = 60;

/// The fixed frame step in seconds for a display of `refreshRate` hertz; a rate of 0 or less
/// gives the step of `FallbackRefreshRate`.
float FrameStepFor(int32_t refreshRate);

/// A cursor position in window pixels (y down) as normalised device units (-1 to 1, y up).
/// Nothing for a window of no area, where no position is defined.
std::optional<glm::vec2> WindowToNormalised(double x, double y, int32_t width, int32_t height);

/// The movement from `previous` to `now`, both normalised, with x scaled by the aspect ratio so
/// that both components measure the same distance on screen.
glm::vec2 MouseMovement(glm::vec2 now, glm::vec2 previous, float aspectRatio);
