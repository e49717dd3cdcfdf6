#pragma once

#include <glm/vec2.hpp>

/// One point of a shape being drawn with the shape builder. Handles are absolute world positions.
struct BuilderPoint
{
    glm::vec2 position{0.0f, 0.0f};
    glm::vec2 handleA{0.0f, 0.0f};
    glm::vec2 handleB{0.0f, 0.0f};
    /// Set when the handles were broken with the right button, or by `ShapeBuilder::Finish`.
    bool isCorner = false;
    /// The edge to the next point is a curve; cleared by `ShapeBuilder::Finish` between two
    /// points that were only clicked.
    bool isSpline = true;
};
