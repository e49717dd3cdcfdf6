#include "ShapeSegment.h"

#include <cmath>

#include <glm/geometric.hpp>

#include "SurfaceDrawing.h"
#include "Texture.h"

namespace
{
constexpr int DenseSampleCount = 257;

/// The unit normal used when a curve gives no direction at all: a zero-length edge, or a curve
/// whose four control points coincide.
constexpr glm::vec2 FallbackNormal{0.0f, 1.0f};

bool HasDirection(glm::vec2 v)
{
    const float length = glm::length(v);
    return length > 0.0f && std::isfinite(length);
}

glm::vec2 UnitOr(glm::vec2 v, glm::vec2 fallback)
{
    const float length = glm::length(v);
    if (length > 0.0f && std::isfinite(length))
        return v / length;
    return fallback;
}

/// Where the derivative vanishes (a handle on its point, a cusp) the sample has no normal of its
/// own; it takes its neighbour's, so no normal of the polyline is ever zero or not a number.
void RepairDenseNormals(glm::vec2* normals, int count, glm::vec2 chord)
{
    int firstGood = -1;
    for (int k = 0; k < count; ++k)
        if (HasDirection(normals[k]))
        {
            firstGood = k;
            break;
        }
    if (firstGood < 0)
    {
        const glm::vec2 normal = UnitOr({chord.y, -chord.x}, FallbackNormal);
        for (int k = 0; k < count; ++k)
            normals[k] = normal;
        return;
    }
    for (int k = 0; k < firstGood; ++k)
        normals[k] = normals[firstGood];
    for (int k = firstGood + 1; k < count; ++k)
        if (!HasDirection(normals[k]))
            normals[k] = normals[k - 1];
}

/// N = 2 x trunc(5 x L + 0.5) + 1, capped, and 1 for a length that is not a number at all.
int32_t PieceCountFor(float denseLength, SurfaceType type)
{
    int32_t half = 0;
    if (std::isfinite(denseLength))
    {
        const float scaled = 5.0f * denseLength + 0.5f;
        half = scaled >= static_cast<float>(ShapeSegment::MaxHalfPieceCount) ? ShapeSegment::MaxHalfPieceCount
                                                                             : static_cast<int32_t>(scaled);
    }
    int32_t count = 2 * half + 1;
    if (type == SurfaceType::Jagged)
        ++count;
    return count;
}
} // namespace

ShapeSegment::~ShapeSegment()
{
    ReleaseDataTexture();
}

ShapeSegment::ShapeSegment(const ShapeSegment& other) : PhysicsLink(other)
{
    CopyFieldsFrom(other);
}

ShapeSegment& ShapeSegment::operator=(const ShapeSegment& other)
{
    if (this == &other)
        return *this;
    ReleaseDataTexture();
    CopyFieldsFrom(other);
    return *this;
}

ShapeSegment::ShapeSegment(ShapeSegment&& other) noexcept
    : PhysicsLink(other), p0(other.p0), c0(other.c0), c1(other.c1), p1(other.p1), isCurved(other.isCurved),
      length(other.length), points(std::move(other.points)), normals(std::move(other.normals)),
      levelTime(other.levelTime), minX(other.minX), maxX(other.maxX), minY(other.minY), maxY(other.maxY),
      influenceMinX(other.influenceMinX), influenceMaxX(other.influenceMaxX), influenceMinY(other.influenceMinY),
      influenceMaxY(other.influenceMaxY), dataTexture(other.dataTexture), surfaceType(other.surfaceType)
{
    other.dataTexture = nullptr;
}

ShapeSegment& ShapeSegment::operator=(ShapeSegment&& other) noexcept
{
    if (this == &other)
        return *this;
    ReleaseDataTexture();
    p0 = other.p0;
    c0 = other.c0;
    c1 = other.c1;
    p1 = other.p1;
    isCurved = other.isCurved;
    length = other.length;
    points = std::move(other.points);
    normals = std::move(other.normals);
    levelTime = other.levelTime;
    minX = other.minX;
    maxX = other.maxX;
    minY = other.minY;
    maxY = other.maxY;
    influenceMinX = other.influenceMinX;
    influenceMaxX = other.influenceMaxX;
    influenceMinY = other.influenceMinY;
    influenceMaxY = other.influenceMaxY;
    dataTexture = other.dataTexture;
    other.dataTexture = nullptr;
    surfaceType = other.surfaceType;
    return *this;
}

void ShapeSegment::CopyFieldsFrom(const ShapeSegment& other)
{
    p0 = other.p0;
    c0 = other.c0;
    c1 = other.c1;
    p1 = other.p1;
    isCurved = other.isCurved;
    length = other.length;
    points = other.points;
    normals = other.normals;
    levelTime = other.levelTime;
    minX = other.minX;
    maxX = other.maxX;
    minY = other.minY;
    maxY = other.maxY;
    influenceMinX = other.influenceMinX;
    influenceMaxX = other.influenceMaxX;
    influenceMinY = other.influenceMinY;
    influenceMaxY = other.influenceMaxY;
    surfaceType = other.surfaceType;
}

void ShapeSegment::ReleaseDataTexture()
{
    if (dataTexture == nullptr)
        return;
    dataTexture->Release();
    delete dataTexture;
    dataTexture = nullptr;
}

glm::vec2 ShapeSegment::Evaluate(float t) const
{
    const glm::vec2 a1 = 3.0f * c0 - 3.0f * p0;
    const glm::vec2 a2 = 3.0f * p0 - 6.0f * c0 + 3.0f * c1;
    const glm::vec2 a3 = 3.0f * c0 - p0 - 3.0f * c1 + p1;
    return p0 + a1 * t + a2 * (t * t) + a3 * (t * t * t);
}

glm::vec2 ShapeSegment::Derivative(float t) const
{
    const glm::vec2 b0 = 3.0f * c0 - 3.0f * p0;
    const glm::vec2 b1 = 6.0f * p0 - 12.0f * c0 + 6.0f * c1;
    const glm::vec2 b2 = 9.0f * c0 - 3.0f * p0 - 9.0f * c1 + 3.0f * p1;
    return b0 + b1 * t + b2 * (t * t);
}

void ShapeSegment::Compile()
{
    // Dense samples of the curve with their unnormalised normals; a straight edge needs only its
    // two ends.
    glm::vec2 samples[DenseSampleCount];
    glm::vec2 denseNormals[DenseSampleCount];
    int sampleCount = 0;
    if (isCurved)
    {
        for (int k = 0; k < DenseSampleCount; ++k)
        {
            const float t = static_cast<float>(k) * 0.00390625f;
            const glm::vec2 d = Derivative(t);
            samples[k] = Evaluate(t);
            denseNormals[k] = {d.y, -d.x};
        }
        sampleCount = DenseSampleCount;
    }
    else
    {
        const glm::vec2 d = p1 - p0;
        const glm::vec2 normal = UnitOr({d.y, -d.x}, FallbackNormal);
        samples[0] = p0;
        samples[1] = p1;
        denseNormals[0] = normal;
        denseNormals[1] = normal;
        sampleCount = 2;
    }
    RepairDenseNormals(denseNormals, sampleCount, p1 - p0);

    const int pieceCount = sampleCount - 1;
    float pieceLengths[DenseSampleCount - 1];
    float denseLength = 0.0f;
    for (int m = 0; m < pieceCount; ++m)
    {
        pieceLengths[m] = glm::length(samples[m + 1] - samples[m]);
        denseLength += pieceLengths[m];
    }

    const int32_t n = PieceCountFor(denseLength, surfaceType);
    points.Clear();
    normals.Clear();
    points.Reserve(static_cast<uint32_t>(n) + 1u);
    normals.Reserve(static_cast<uint32_t>(n) + 1u);

    points.PushBack(p0);
    normals.PushBack(UnitOr(denseNormals[0], FallbackNormal));
    int m = 0;
    float walked = 0.0f;
    for (int32_t k = 1; k < n; ++k)
    {
        const float target = static_cast<float>(k) * denseLength / static_cast<float>(n);
        // The last piece is never left, even when rounding puts the target a hair past the end.
        while (target > walked + pieceLengths[m] && m + 1 < pieceCount)
        {
            walked += pieceLengths[m];
            ++m;
        }
        float f = pieceLengths[m] > 0.0f ? (target - walked) / pieceLengths[m] : 0.0f;
        f = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
        points.PushBack((1.0f - f) * samples[m] + f * samples[m + 1]);
        const glm::vec2 blended = (1.0f - f) * denseNormals[m] + f * denseNormals[m + 1];
        // Normals facing opposite ways (a cusp) cancel; the nearer sample's normal stands in.
        const glm::vec2 nearer = f < 0.5f ? denseNormals[m] : denseNormals[m + 1];
        normals.PushBack(UnitOr(blended, UnitOr(nearer, FallbackNormal)));
    }
    points.PushBack(p1);
    normals.PushBack(UnitOr(denseNormals[sampleCount - 1], FallbackNormal));

    if (surfaceType == SurfaceType::Jagged && points.count >= 2)
        for (uint32_t k = 1; k < points.count; k += 2)
            points[k] += 0.1f * normals[k];

    length = 0.0f;
    for (uint32_t k = 0; k + 1 < points.count; ++k)
        length += glm::length(points[k + 1] - points[k]);

    minX = FLT_MAX;
    maxX = -FLT_MAX;
    minY = FLT_MAX;
    maxY = -FLT_MAX;
    for (const glm::vec2& point : points)
    {
        minX = std::fmin(minX, point.x);
        maxX = std::fmax(maxX, point.x);
        minY = std::fmin(minY, point.y);
        maxY = std::fmax(maxY, point.y);
    }

    if (IsMagnetic(surfaceType))
    {
        // The f32 just below 4.8, as the magnetism textures were always sized with.
        constexpr float reach = 4.7999997f;
        influenceMinX = minX - reach;
        influenceMaxX = maxX + reach;
        influenceMinY = minY - reach;
        influenceMaxY = maxY + reach;
    }
    else
    {
        influenceMinX = FLT_MAX;
        influenceMaxX = -FLT_MAX;
        influenceMinY = FLT_MAX;
        influenceMaxY = -FLT_MAX;
    }
}

float ShapeSegment::FindNearestParameter(glm::vec2 point, float maximumDistance) const
{
    float best = -1.0f;
    float bestDistance = FLT_MAX;
    auto consider = [&](float t) {
        const float distance = glm::length(Evaluate(t) - point);
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = t;
        }
    };
    for (float t = 0.0f; t <= 1.0001f; t += 0.025f)
        consider(t);
    // The window follows the best parameter, so it can run on along a curve that keeps getting
    // closer past its end (far enough out, adding the step no longer even changes t). Once both
    // the walk and the best lie beyond 1, every later best does too and the answer is -1, so the
    // walk stops there.
    for (float t = best - 0.025f; t < best + 0.025f && !(t > 1.0f && best > 1.0f); t += 0.000625f)
        consider(t);
    if (bestDistance <= maximumDistance && best >= 0.0f && best <= 1.0f)
        return best;
    return -1.0f;
}

void ShapeSegment::Draw(LineRenderer& lines, bool selected) const
{
    const glm::vec3 selectedColour = isCurved ? glm::vec3(0.5f, 0.5f, 1.0f) : glm::vec3(0.5f, 1.0f, 0.5f);
    DrawSurface(lines, points, normals, length, surfaceType, levelTime, selected ? &selectedColour : nullptr);
}
