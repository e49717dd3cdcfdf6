#include "Camera.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/vec4.hpp>

void Camera::GetViewRect(float rect[4]) const
{
    const float halfWidth = viewHeight * aspectRatio * 0.5f;
    const float halfHeight = viewHeight * 0.5f;
    rect[0] = centreX - halfWidth;
    rect[1] = centreX + halfWidth;
    rect[2] = centreY - halfHeight;
    rect[3] = centreY + halfHeight;
}

glm::mat4 Camera::GetViewProjection() const
{
    float rect[4];
    GetViewRect(rect);
    return glm::ortho(rect[0], rect[1], rect[2], rect[3], -1.0f, 1.0f);
}

glm::vec2 Camera::NormalisedToWorld(glm::vec2 normalised) const
{
    const glm::vec4 world = glm::inverse(GetViewProjection()) * glm::vec4(normalised, 0.0f, 1.0f);
    return {world.x, world.y};
}

void Camera::SetAspectRatioFrom(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return;
    aspectRatio = static_cast<float>(width) / static_cast<float>(height);
}
