#include "ShapeSegment.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

#include "HalfFloat.h"
#include "LogChannel.h"
#include "PolylineBoxes.h"
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
/// Strength of an attractor's pull; a repulsor pushes with the opposite sign.
constexpr float MagnetStrength = 0.6f;
/// Pieces whose centre is further than this from the point are skipped before their direction is
/// worked out; no piece reaches that far.
constexpr float MagnetSkipDistance = 4.5f;
/// Height above a piece, world units, at which its force has faded to nothing.
constexpr float MagnetReach = 2.5f;

float MagnetSign(SurfaceType type)
{
    return type == SurfaceType::MagneticAttractor ? MagnetStrength : -MagnetStrength;
}

/// The direction a piece pushes along: the mean of its two end normals. Ends whose normals
/// cancel (a cusp) give the piece no direction, and it acts on nothing.
bool PieceDirection(glm::vec2 normalA, glm::vec2 normalB, glm::vec2& direction)
{
    const glm::vec2 sum = normalA + normalB;
    const float length = std::sqrt(sum.x * sum.x + sum.y * sum.y);
    if (!(length > 0.0f) || !std::isfinite(length))
        return false;
    direction = sum / length;
    return true;
}

/// Adds one piece's part of the force at a point `offset` from the piece's centre. The piece
/// acts on a trapezoid in front of it: from 0.5 behind to 2.5 in front (h from -0.2 to 1), half
/// as wide as it is high plus 0.4 (w below 1), strongest at the surface beside the centre line.
/// Both the force query and the texture builder go through here, so a texel holds exactly the
/// force a player feels at its point.
void AddPieceForce(glm::vec2 offset, glm::vec2 direction, float strength, glm::vec2& force)
{
    float height = (offset.x * direction.x + offset.y * direction.y) / MagnetReach;
    if (!(height > -0.2f && height < 1.0f))
        return;
    const float across = std::fabs(offset.x * direction.y - offset.y * direction.x) / (0.4f * height + 0.4f);
    if (!(across > 0.0f && across < 1.0f))
        return;
    if (height < 0.0f)
        height = height / -0.2f;
    force -= direction * (strength * (1.0f - height) * (1.0f - height) * (1.0f - across));
}

bool OutsideBox(glm::vec2 point, float minX, float maxX, float minY, float maxY)
{
    return !(point.x >= minX && point.x <= maxX && point.y >= minY && point.y <= maxY);
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
      boxes(std::move(other.boxes)), levelTime(other.levelTime), minX(other.minX), maxX(other.maxX),
      minY(other.minY), maxY(other.maxY),
      influenceMinX(other.influenceMinX), influenceMaxX(other.influenceMaxX), influenceMinY(other.influenceMinY),
      influenceMaxY(other.influenceMaxY), dataTexture(other.dataTexture), surfaceType(other.surfaceType),
      fieldLeftOut(other.fieldLeftOut)
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
    boxes = std::move(other.boxes);
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
    fieldLeftOut = other.fieldLeftOut;
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
    boxes = other.boxes;
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
    fieldLeftOut = other.fieldLeftOut;
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

namespace
{
/// The curve sampled densely with its unnormalised normals; a straight edge needs only its two
/// ends. Its length decides how many pieces the polyline gets.
struct DenseCurve
{
    glm::vec2 samples[DenseSampleCount];
    glm::vec2 normals[DenseSampleCount];
    float pieceLengths[DenseSampleCount - 1];
    int sampleCount = 0;
    float length = 0.0f;
};

void SampleDensely(const ShapeSegment& segment, DenseCurve& dense)
{
    if (segment.isCurved)
    {
        for (int k = 0; k < DenseSampleCount; ++k)
        {
            const float t = static_cast<float>(k) * 0.00390625f;
            const glm::vec2 d = segment.Derivative(t);
            dense.samples[k] = segment.Evaluate(t);
            dense.normals[k] = {d.y, -d.x};
        }
        dense.sampleCount = DenseSampleCount;
    }
    else
    {
        const glm::vec2 d = segment.p1 - segment.p0;
        const glm::vec2 normal = UnitOr({d.y, -d.x}, FallbackNormal);
        dense.samples[0] = segment.p0;
        dense.samples[1] = segment.p1;
        dense.normals[0] = normal;
        dense.normals[1] = normal;
        dense.sampleCount = 2;
    }
    RepairDenseNormals(dense.normals, dense.sampleCount, segment.p1 - segment.p0);

    dense.length = 0.0f;
    for (int m = 0; m + 1 < dense.sampleCount; ++m)
    {
        dense.pieceLengths[m] = glm::length(dense.samples[m + 1] - dense.samples[m]);
        dense.length += dense.pieceLengths[m];
    }
}
} // namespace

int32_t ShapeSegment::CountPieces() const
{
    DenseCurve dense;
    SampleDensely(*this, dense);
    return PieceCountFor(dense.length, surfaceType);
}

void ShapeSegment::Compile()
{
    DenseCurve dense;
    SampleDensely(*this, dense);
    const glm::vec2* samples = dense.samples;
    const glm::vec2* denseNormals = dense.normals;
    const float* pieceLengths = dense.pieceLengths;
    const int sampleCount = dense.sampleCount;
    const int pieceCount = sampleCount - 1;
    const float denseLength = dense.length;

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
    boxes.Update(points);

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

void ShapeSegment::Draw(LineRenderer& lines, bool selected, const float (&view)[4]) const
{
    const glm::vec3 selectedColour = isCurved ? glm::vec3(0.5f, 0.5f, 1.0f) : glm::vec3(0.5f, 1.0f, 0.5f);
    DrawSurface(lines, points, normals, boxes, length, surfaceType, levelTime, selected ? &selectedColour : nullptr,
                view);
}

glm::vec2 ShapeSegment::GetMagneticForce(glm::vec2 point) const
{
    glm::vec2 force{0.0f, 0.0f};
    if (!IsMagnetic(surfaceType) || OutsideBox(point, influenceMinX, influenceMaxX, influenceMinY, influenceMaxY))
        return force;
    const float strength = MagnetSign(surfaceType);
    for (uint32_t m = 0; m + 1 < points.count; ++m)
    {
        const glm::vec2 offset = point - (points[m] + points[m + 1]) * 0.5f;
        if (offset.x * offset.x + offset.y * offset.y > MagnetSkipDistance * MagnetSkipDistance)
            continue;
        glm::vec2 direction;
        if (PieceDirection(normals[m], normals[m + 1], direction))
            AddPieceForce(offset, direction, strength, force);
    }
    return force;
}

void ShapeSegment::GetDataTextureSize(uint64_t& width, uint64_t& height) const
{
    width = 0;
    height = 0;
    if (!IsMagnetic(surfaceType) || !(influenceMaxX >= influenceMinX) || !(influenceMaxY >= influenceMinY))
        return;
    // Worked in double: a box of a damaged level may be far wider than any texture; the caller
    // refuses it by size rather than this overflowing.
    const double across = std::ceil(static_cast<double>(influenceMaxX - influenceMinX));
    const double up = std::ceil(static_cast<double>(influenceMaxY - influenceMinY));
    constexpr double Largest = 1.0e12;
    width = DataTexelsPerUnit * static_cast<uint64_t>(std::min(across, Largest));
    height = DataTexelsPerUnit * static_cast<uint64_t>(std::min(up, Largest));
}

glm::vec2 ShapeSegment::DataTexelPoint(uint32_t column, uint32_t row, uint32_t width, uint32_t height) const
{
    return {influenceMinX + (static_cast<float>(column) + 0.5f) / static_cast<float>(width) * (influenceMaxX - influenceMinX),
            influenceMinY + (static_cast<float>(row) + 0.5f) / static_cast<float>(height) * (influenceMaxY - influenceMinY)};
}

bool ShapeSegment::ComputeDataTextureSamples(std::vector<uint16_t>& samples, uint32_t& width, uint32_t& height) const
{
    samples.clear();
    width = 0;
    height = 0;
    uint64_t wide = 0;
    uint64_t high = 0;
    GetDataTextureSize(wide, high);
    if (wide == 0 || high == 0)
        return false;
    // The sides first: their product may not even fit in 64 bits.
    if (wide > MaxDataTextureSide || high > MaxDataTextureSide || wide * high > MaxDataTextureTexels)
    {
        WarningLog << LogLocation(__FILE__, 443) << "Magnet field of " << wide << " by " << high
                   << " texels is too large to build; the edge draws no field.";
        WarningLog.EndMessage();
        return false;
    }
    const auto w = static_cast<uint32_t>(wide);
    const auto h = static_cast<uint32_t>(high);

    // The texel points, a column's x and a row's y being the same for every texel that shares it.
    std::vector<float> columnX(w);
    std::vector<float> rowY(h);
    for (uint32_t c = 0; c < w; ++c)
        columnX[c] = DataTexelPoint(c, 0, w, h).x;
    for (uint32_t r = 0; r < h; ++r)
        rowY[r] = DataTexelPoint(0, r, w, h).y;

    // Asking every piece about every texel costs texels x pieces, which for a long edge is far
    // more than its load may take. Each piece instead visits only the texels around its
    // trapezoid, in piece order, so every texel adds up the same pieces in the same order as
    // `GetMagneticForce` and ends with exactly its answer.
    std::vector<glm::vec2> forces(static_cast<size_t>(w) * h, glm::vec2(0.0f, 0.0f));
    const float strength = MagnetSign(surfaceType);
    const float boxWidth = influenceMaxX - influenceMinX;
    const float boxHeight = influenceMaxY - influenceMinY;
    // Covers the rounding of points and offsets up to the largest world coordinates.
    constexpr float Margin = 0.5f;
    auto texelRange = [](float low, float high, float boxMin, float boxSize, uint32_t count, uint32_t& first, uint32_t& last) {
        const double scale = boxSize > 0.0f ? static_cast<double>(count) / boxSize : 0.0;
        const double from = std::floor((static_cast<double>(low) - boxMin) * scale - 0.5) - 1.0;
        const double to = std::ceil((static_cast<double>(high) - boxMin) * scale - 0.5) + 1.0;
        if (to < 0.0 || from > static_cast<double>(count) - 1.0)
            return false;
        first = static_cast<uint32_t>(std::max(from, 0.0));
        last = static_cast<uint32_t>(std::min(to, static_cast<double>(count) - 1.0));
        return true;
    };
    for (uint32_t m = 0; m + 1 < points.count; ++m)
    {
        glm::vec2 direction;
        if (!PieceDirection(normals[m], normals[m + 1], direction))
            continue;
        const glm::vec2 centre = (points[m] + points[m + 1]) * 0.5f;
        const glm::vec2 side{direction.y, -direction.x};
        // The trapezoid's corners: 0.5 behind the piece 0.32 to each side, 2.5 in front 0.8.
        const glm::vec2 corners[4] = {centre - 0.5f * direction + 0.32f * side, centre - 0.5f * direction - 0.32f * side,
                                      centre + MagnetReach * direction + 0.8f * side,
                                      centre + MagnetReach * direction - 0.8f * side};
        const PolylineBoxes::Box reach = PolylineBoxes::BoxAround(corners, 4);
        uint32_t firstColumn = 0, lastColumn = 0, firstRow = 0, lastRow = 0;
        if (!texelRange(reach.minX - Margin, reach.maxX + Margin, influenceMinX, boxWidth, w, firstColumn, lastColumn) ||
            !texelRange(reach.minY - Margin, reach.maxY + Margin, influenceMinY, boxHeight, h, firstRow, lastRow))
            continue;
        for (uint32_t r = firstRow; r <= lastRow; ++r)
            for (uint32_t c = firstColumn; c <= lastColumn; ++c)
            {
                const glm::vec2 point{columnX[c], rowY[r]};
                if (OutsideBox(point, influenceMinX, influenceMaxX, influenceMinY, influenceMaxY))
                    continue;
                const glm::vec2 offset = point - centre;
                if (offset.x * offset.x + offset.y * offset.y > MagnetSkipDistance * MagnetSkipDistance)
                    continue;
                AddPieceForce(offset, direction, strength, forces[static_cast<size_t>(r) * w + c]);
            }
    }

    samples.assign(forces.size() * 4, 0);
    const size_t firstChannel = surfaceType == SurfaceType::MagneticAttractor ? 0 : 2;
    for (size_t texel = 0; texel < forces.size(); ++texel)
    {
        samples[texel * 4 + firstChannel] = FloatToHalf(forces[texel].x);
        samples[texel * 4 + firstChannel + 1] = FloatToHalf(forces[texel].y);
    }
    width = w;
    height = h;
    return true;
}

void ShapeSegment::BuildDataTexture()
{
    ReleaseDataTexture();
    if (fieldLeftOut)
        return;
    std::vector<uint16_t> samples;
    uint32_t w = 0;
    uint32_t h = 0;
    if (!ComputeDataTextureSamples(samples, w, h))
        return;
    auto* texture = new Texture();
    texture->CreateFromTexels(w, h, ComponentHalfFloat, 4, samples.data());
    dataTexture = texture;
}
