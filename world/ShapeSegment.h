#pragma once

#include <cfloat>
#include <cstdint>
#include <vector>

#include <glm/vec2.hpp>

#include "DynArray.h"
#include "PhysicsLink.h"
#include "PolylineBoxes.h"
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
    /// Data-texture texels per world unit of the influence box, across and up.
    static constexpr uint32_t DataTexelsPerUnit = 16;
    /// The widest or tallest data texture that is built, in texels (an influence box of 512
    /// world units). Every OpenGL 4.5 implementation takes textures of at least 16384.
    static constexpr uint32_t MaxDataTextureSide = 8192;
    /// The most texels in one data texture: what a whole level may spend on its fields
    /// (`Level::MaxDataTexels`), so that no caller builds a single field larger than that. Its
    /// building holds 16 bytes of CPU buffers per texel at most, 128 megabytes at this size.
    static constexpr uint64_t MaxDataTextureTexels = 8u * 1024u * 1024u;

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
    /// Boxes round runs of the polyline's pieces, for drawing only what the view shows.
    PolylineBoxes boxes;
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
    /// Set by the level, each time it builds its fields, for a magnetic edge whose field did not
    /// fit the level's budget of field texels: `BuildDataTexture` then builds none. A compile
    /// clears it along with the texture. The force itself does not depend on it.
    bool fieldLeftOut = false;

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
    /// The number of pieces N that `Compile` would give the polyline (it gets N + 1 points),
    /// found without allocating anything.
    int32_t CountPieces() const;

    /// The curve parameter in [0, 1] nearest to `point` when the curve comes within
    /// `maximumDistance` of it there; otherwise -1.
    float FindNearestParameter(glm::vec2 point, float maximumDistance) const;

    /// Appends the edge to the line batch in its surface colours with its decorations, as far as
    /// `view` (min x, max x, min y, max y) shows it (see `DrawSurface`); a selected edge's main
    /// line is drawn in the selection colours. Leaves the batch's colour set.
    void Draw(LineRenderer& lines, bool selected, const float (&view)[4]) const;

    /// Deletes the data texture (its GL texture too, so it needs a context when one exists).
    void ReleaseDataTexture();

    /// The magnet force at the world point `point`: a pull towards the surface for an attractor,
    /// a push away from it for a repulsor, the sum over the polyline's pieces of at most 0.6
    /// each, fading to nothing 2.5 units out, 0.5 units behind and at the sides. (0, 0) outside
    /// the influence box, and everywhere for the other surface types. Needs no GL context.
    glm::vec2 GetMagneticForce(glm::vec2 point) const;

    /// The data texture's size in texels: 16 for every started world unit of the influence box's
    /// width and of its height; 0 by 0 for a segment that is not magnetic.
    void GetDataTextureSize(uint64_t& width, uint64_t& height) const;
    /// The world point that the texel in `column` and `row` of a `width` by `height` data texture
    /// samples: the centre of its cell in the influence box, row 0 at the bottom.
    glm::vec2 DataTexelPoint(uint32_t column, uint32_t row, uint32_t width, uint32_t height) const;
    /// The data texture's texels, computed without a GL context: `width` x `height` RGBA
    /// half floats, rows from the bottom, each texel `GetMagneticForce` at its `DataTexelPoint`,
    /// stored in red and green for an attractor and in blue and alpha for a repulsor. False, with
    /// `samples` empty and the size 0, for a segment that is not magnetic, and (one line in
    /// `WarningLog`) for one whose texture would be wider or taller than `MaxDataTextureSide` or
    /// hold more than `MaxDataTextureTexels`: nothing is allocated for those.
    bool ComputeDataTextureSamples(std::vector<uint16_t>& samples, uint32_t& width, uint32_t& height) const;
    /// Deletes the data texture and, for a magnetic segment whose field was not left out, uploads
    /// a new one from `ComputeDataTextureSamples` (RGBA16F with mipmaps). Needs a current GL
    /// context when it builds one.
    void BuildDataTexture();

private:
    void CopyFieldsFrom(const ShapeSegment& other);
};
