#pragma once

#include <cfloat>
#include <cstdint>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "PhysicsLink.h"
#include "SurfaceType.h"

class LineRenderer;
class Texture;

/// One compiled edge of a world shape: a cubic Bézier from p0 to p1 through the controls c0 and
/// c1, resampled into a polyline at equal arc-length spacing (about 0.1 world units) with a unit
/// normal at every point, the tangent turned clockwise. Drawing, physics, magnetism, picking and
/// the fill all read the polyline; the curve is evaluated again only to find the parameter nearest
/// to a point. The physics chain fixture of the edge points back at it as its `PhysicsLink`.
///
/// Owns its arrays and its data texture. Copying never copies the texture (a GL object has one
/// owner); moving hands it over.
class ShapeSegment final : public PhysicsLink
{
public:
    /// 2 x this, plus one, is the most pieces a polyline gets, whatever the length of its curve:
    /// edges up to 4000 units keep the 0.1 spacing, longer ones (only a damaged file has them)
    /// are sampled more coarsely rather than allocating without bound.
    static constexpr int32_t MaxHalfPieceCount = 20000;

    glm::vec2 p0{0.0f, 0.0f}; ///< start point, world units
    glm::vec2 c0{0.0f, 0.0f}; ///< first control point
    glm::vec2 c1{0.0f, 0.0f}; ///< second control point
    glm::vec2 p1{0.0f, 0.0f}; ///< end point
    /// The controls came from the points' handles (a spline edge).
    bool isCurved = false;
    /// Length of the compiled polyline (teeth included), world units.
    float length = 0.0f;
    /// The polyline from p0 to p1, exactly p0 first and p1 last once compiled.
    DynArray<glm::vec2> points;
    /// Unit normal at each polyline point, same count.
    DynArray<glm::vec2> normals;
    /// The level's running time in seconds for animated drawing; not owned, null counts as 0.
    const float* levelTime = nullptr;
    /// Box of the polyline; empty (min above max) until compiled.
    float minX = FLT_MAX, maxX = -FLT_MAX, minY = FLT_MAX, maxY = -FLT_MAX;
    /// Where the magnet force can act: the box grown by 4.8 for magnetic types, else empty.
    float influenceMinX = FLT_MAX, influenceMaxX = -FLT_MAX, influenceMinY = FLT_MAX, influenceMaxY = -FLT_MAX;
    /// The magnet force field for the magnetism channel, owned; null unless built for a loaded
    /// level. Deleted whenever the segment is replaced, so it needs a GL context only when set.
    Texture* dataTexture = nullptr;
    SurfaceType surfaceType = SurfaceType::Plain;

    ShapeSegment() = default;
    ~ShapeSegment();
    /// Copies everything but the data texture; the copy has none.
    ShapeSegment(const ShapeSegment& other);
    /// Copies everything but the data texture; this segment's own texture is deleted.
    ShapeSegment& operator=(const ShapeSegment& other);
    /// Takes over the arrays and the data texture; `other` is left without either.
    ShapeSegment(ShapeSegment&& other) noexcept;
    /// Deletes this segment's texture, then takes over the arrays and the data texture.
    ShapeSegment& operator=(ShapeSegment&& other) noexcept;

    uint32_t GetLinkType() override { return LinkShapeSegment; }

    /// The curve at parameter `t`; outside [0, 1] the polynomial is extended.
    glm::vec2 Evaluate(float t) const;
    /// The curve's derivative at `t`.
    glm::vec2 Derivative(float t) const;

    /// Samples the curve into the polyline, normals, length, bounding box and influence box.
    void Compile();

    /// The curve parameter in [0, 1] nearest to `point` when the curve comes within
    /// `maximumDistance` of it there; otherwise -1.
    float FindNearestParameter(glm::vec2 point, float maximumDistance) const;

    /// Appends the edge to the line batch in its surface colours with its decorations; a selected
    /// edge's main line is drawn in the selection colours. Leaves the batch's colour set.
    void Draw(LineRenderer& lines, bool selected) const;

    /// Deletes the data texture (its GL texture too, so it needs a context when one exists).
    void ReleaseDataTexture();

private:
    void CopyFieldsFrom(const ShapeSegment& other);
};
