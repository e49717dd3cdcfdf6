#include "FrameMaths.h"

float FrameStepFor(int32_t refreshRate)
{
    if (refreshRate <= 0)
        refreshRate = FallbackRefreshRate;
    return 1.0f / static_cast<float>(refreshRate);
}

std::optional<glm::vec2> WindowToNormalised(double x, double y, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const double nx = 2.0 * x / width - 1.0;
    const double ny = -(2.0 * y / height - 1.0);
    return glm::vec2(static_cast<float>(nx), static_cast<float>(ny));
}

glm::vec2 MouseMovement(glm::vec2 now, glm::vec2 previous, float aspectRatio)
{
    return {(now.x - previous.x) * aspectRatio, now.y - previous.y};
}
