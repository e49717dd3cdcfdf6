#pragma once

#include <cstdint>

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>

/// The view onto the world, shared by pointer between the game, the level and the editor. The
/// view spans `viewHeight` world units from bottom to top and `viewHeight` times `aspectRatio`
/// across, centred on (`centreX`, `centreY`). Plain data; needs no window.
class Camera
{
public:
    float aspectRatio = 1.5f; ///< framebuffer width over height, rewritten every frame
    float centreX = 0.0f;     ///< world units
    float centreY = 0.0f;     ///< world units
    float viewHeight = 10.0f; ///< world units

    /// The view rectangle in world units as (min x, max x, min y, max y).
    void GetViewRect(float rect[4]) const;

    /// The orthographic projection of the view rectangle, near plane -1 and far plane 1, in the
    /// column-major layout that the "vpMatrix" uniforms take.
    glm::mat4 GetViewProjection() const;

    /// The world point under a point in normalised device units (-1 to 1 across and up the
    /// window): the inverse of the view projection.
    glm::vec2 NormalisedToWorld(glm::vec2 normalised) const;

    /// Takes the aspect ratio of a framebuffer of `width` by `height` pixels. A minimised window
    /// reports a size of zero, which has no aspect ratio: the previous one is kept so that the
    /// projection stays finite.
    void SetAspectRatioFrom(int32_t width, int32_t height);
};
