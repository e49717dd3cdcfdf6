#include "ShapeEditState.h"

void ShapeEditState::Pick(const WorldShape& shape, glm::vec2 point, float radius)
{
    if (shape.FindElement(point, radius, elementIndex, elementKind))
        snapshot = shape.CopyPoints();
}
