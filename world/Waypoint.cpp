#include "Waypoint.h"

#include <algorithm>
#include <cmath>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "FigureGeometry.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "PolylineBoxes.h"
#include "RecordReading.h"
#include "Utilities.h"
#include "WorldBounds.h"

namespace
{
constexpr int32_t CircleSegments = 64;
// A gate a whole number of half units long between its post rims (1.3 long: 1.0 between them)
// must give the same dash count as its length promises, although float rounding lands the
// length just below it.
constexpr float DashCountTolerance = 1.0e-4f;
// Enough for a gate a thousand units long; a longer one (from a damaged or hostile file) must
// not fill the line batch with millions of dashes every frame.
constexpr int32_t MaxGateDashes = 4001;

// How far anything drawn for a gate reaches from its posts and respawn point: the respawn circle
// and cross, and the figure that travels between gate and respawn point with its corner circles.
constexpr float DrawReach = 0.35f;

const glm::vec3 EditorColour{0.0f, 1.0f, 0.0f};
const glm::vec3 RespawnCrossColour{0.0f, 0.0f, 1.0f};
const glm::vec3 OtherGateInnerColour{0.3f, 0.3f, 0.3f};
const glm::vec3 OtherGatePostColour{0.75f, 0.75f, 0.75f};

float Length(glm::vec2 v)
{
    return std::sqrt(v.x * v.x + v.y * v.y);
}

// The unit vector along `v`, or zero for a zero vector, so that a degenerate gate or a figure of
// size 0 draws as points rather than as not-a-number.
glm::vec2 Direction(glm::vec2 v)
{
    const float length = Length(v);
    return length > 0.0f ? v / length : glm::vec2(0.0f, 0.0f);
}

struct GateLine
{
    glm::vec2 from;
    glm::vec2 to;
};

// The gate line stops at the rims of the posts.
GateLine TrimmedGate(glm::vec2 a, glm::vec2 b)
{
    const glm::vec2 u = Direction(b - a);
    return {a + Waypoint::PostRadius * u, b - Waypoint::PostRadius * u};
}

/// The gate line in alternating dashes, those that `view` shows.
void DrawDashes(LineRenderer& lines, const GateLine& gate, const glm::vec3& even, const glm::vec3& odd,
                const float (&view)[4])
{
    const glm::vec2 span = gate.to - gate.from;
    const float halfUnits = std::trunc(2.0f * Length(span) + DashCountTolerance);
    constexpr int32_t MaxHalfUnits = (MaxGateDashes - 1) / 2;
    // Written so that a length that is not a number takes the limit too.
    const int32_t wholeHalfUnits =
        halfUnits >= 0.0f && halfUnits < static_cast<float>(MaxHalfUnits) ? static_cast<int32_t>(halfUnits) : MaxHalfUnits;
    const int32_t count = 2 * wholeHalfUnits + 1;
    double t0 = 0.0;
    double t1 = 0.0;
    if (!PolylineBoxes::Clip(gate.from, gate.to, PolylineBoxes::FromView(view), t0, t1))
        return;
    const int32_t first = std::clamp(static_cast<int32_t>(std::floor(t0 * count)), 0, count - 1);
    const int32_t last = std::clamp(static_cast<int32_t>(std::floor(t1 * count)), 0, count - 1);
    for (int32_t i = first; i <= last; ++i)
    {
        const glm::vec2 start = gate.from + span * (static_cast<float>(i) / static_cast<float>(count));
        const glm::vec2 end = gate.from + span * (static_cast<float>(i + 1) / static_cast<float>(count));
        lines.AddLine(start, end, i % 2 == 0 ? even : odd);
    }
}

void DrawPosts(LineRenderer& lines, glm::vec2 a, glm::vec2 b, float radius, const glm::vec3& colour)
{
    lines.currentColour = colour;
    lines.AddCircle(a, radius, colour, CircleSegments);
    lines.AddCircle(b, radius, colour, CircleSegments);
}
} // namespace

void Waypoint::Serialise(ByteBlob& blob)
{
    blob.WriteU32(TypeId);
    blob.WriteVec2(endA);
    blob.WriteVec2(endB);
    blob.WriteVec2(respawnPoint);
}

bool Waypoint::Deserialise(ByteBlob& blob)
{
    const uint32_t recordStart = blob.readCursor;
    if (!blob.CheckType(TypeId))
        return false;
    ReadRecordOrRewind(blob, recordStart, [&] {
        const glm::vec2 a = blob.ReadVec2();
        const glm::vec2 b = blob.ReadVec2();
        const glm::vec2 respawn = blob.ReadVec2();
        endA = a;
        endB = b;
        respawnPoint = respawn;
    });
    return true;
}

bool Waypoint::IsSane() const
{
    return IsSanePoint(endA) && IsSanePoint(endB) && IsSanePoint(respawnPoint);
}

b2Body* Waypoint::CreateBody(b2World& world)
{
    if (!IsSane())
    {
        WarningLog << LogLocation(__FILE__, 116) << "Waypoint at an impossible position was given no body.";
        WarningLog.EndMessage();
        return nullptr;
    }
    b2BodyDef bodyDef;
    bodyDef.type = b2_staticBody;
    bodyDef.position.Set(endA.x, endA.y);
    bodyDef.angle = 0.0f;
    b2Body* body = world.CreateBody(&bodyDef);

    b2FixtureDef fixtureDef;
    fixtureDef.friction = 0.2f;
    fixtureDef.restitution = 0.0f;
    fixtureDef.density = 0.0f;
    MakeWorldFixture(fixtureDef, *this);

    const glm::vec2 localB = endB - endA;
    b2CircleShape post;
    post.m_radius = PostRadius;
    fixtureDef.shape = &post;
    fixtureDef.isSensor = false;
    post.m_p.Set(0.0f, 0.0f);
    body->CreateFixture(&fixtureDef);
    post.m_p.Set(localB.x, localB.y);
    body->CreateFixture(&fixtureDef);

    // A gate with coinciding posts has no line to cross, and the physics library's edge
    // collision has no normal to work with.
    if (Length(localB) >= b2_linearSlop)
    {
        b2EdgeShape gate;
        gate.SetTwoSided(b2Vec2(0.0f, 0.0f), b2Vec2(localB.x, localB.y));
        gate.m_radius = 0.01f;
        fixtureDef.shape = &gate;
        fixtureDef.isSensor = true;
        body->CreateFixture(&fixtureDef);
    }
    return body;
}

void Waypoint::Draw(LineRenderer& lines, const GateProgress* localPlayer, const float (&view)[4])
{
    const PolylineBoxes::Box extent{
        std::min({endA.x, endB.x, respawnPoint.x}), std::max({endA.x, endB.x, respawnPoint.x}),
        std::min({endA.y, endB.y, respawnPoint.y}), std::max({endA.y, endB.y, respawnPoint.y})};
    if (!PolylineBoxes::Meets(PolylineBoxes::Grown(extent, DrawReach), PolylineBoxes::FromView(view)))
        return;
    const GateLine gate = TrimmedGate(endA, endB);

    if (localPlayer == nullptr)
    {
        const glm::vec3 colour = selected ? SelectedColour : EditorColour;
        DrawPosts(lines, endA, endB, PostRadius, colour);
        lines.AddLine(gate.from, gate.to, colour);
        lines.AddCircle(respawnPoint, RespawnRadius, colour, CircleSegments);
        lines.AddCross(respawnPoint, RespawnRadius, RespawnCrossColour);
        return;
    }

    // k runs from 0 at the moment the player passes a gate to 1 a moment later; f is its
    // complement, the strength of the flash.
    const float k = std::clamp(localPlayer->timeSinceWaypoint / FlashTime, 0.0f, 1.0f);
    const float f = 1.0f - k;

    if (localPlayer->lastWaypoint == previous)
    {
        const glm::vec3 post{f, 1.0f, f};
        const glm::vec3 inner{0.3f * f, 0.3f * f + 0.6f * k, 0.3f * f};
        DrawPosts(lines, endA, endB, PostRadius, post);
        DrawDashes(lines, gate, post, inner, view);
        DrawPosts(lines, endA, endB, InnerPostRadius, inner);
        return;
    }

    if (localPlayer->lastWaypoint == index)
    {
        const glm::vec3 q1{0.16f * k, f, 0.6f * k};
        const glm::vec3 q2{0.16f * k, 0.6f * f, 0.6f * k};
        const glm::vec3 q3{0.3f * k, f, k};
        const glm::vec3 q4{0.16f * k, f, k};
        DrawDashes(lines, gate, q1, q2, view);
        DrawPosts(lines, endA, endB, PostRadius, q3);

        // A player's figure that grows out of the gate and travels to the respawn point, to
        // show where the next respawn will be.
        const float time = levelTime ? *levelTime : 0.0f;
        const glm::vec2 centre = (endA + endB) * 0.5f * f + respawnPoint * k;
        const float spin = time * 5.0f;
        glm::vec2 corners[3];
        for (int j = 0; j < 3; ++j)
        {
            const float angle = spin + FigureCornerAngles[j];
            corners[j] = centre + FigureCornerRadius * k * glm::vec2(std::cos(angle), std::sin(angle));
        }
        lines.currentColour = q2;
        for (int j = 0; j < 3; ++j)
        {
            const glm::vec2 from = corners[j];
            const glm::vec2 to = corners[(j + 1) % 3];
            const glm::vec2 w = Direction(to - from);
            lines.AddLine(from + FigureCornerCircleRadius * w, to - FigureCornerCircleRadius * w, q2);
        }
        lines.currentColour = q4;
        for (const glm::vec2& corner : corners)
            lines.AddCircle(corner, FigureCornerCircleRadius * k, q4, CircleSegments);
        DrawPosts(lines, endA, endB, InnerPostRadius, q2);
        return;
    }

    DrawPosts(lines, endA, endB, InnerPostRadius, OtherGateInnerColour);
    lines.AddLine(gate.from, gate.to, OtherGateInnerColour);
    DrawPosts(lines, endA, endB, PostRadius, OtherGatePostColour);
}

void Waypoint::DrawOutline(LineRenderer& lines, glm::vec2 a, glm::vec2 b, glm::vec2 respawn)
{
    lines.currentColour = PreviewColour;
    lines.AddCircle(a, PostRadius, PreviewColour, CircleSegments);
    lines.AddCircle(b, PostRadius, PreviewColour, CircleSegments);
    lines.AddLine(a, b, PreviewColour);
    lines.AddCircle(respawn, RespawnRadius, PreviewColour, CircleSegments);
}

bool Waypoint::HitTestPoint(glm::vec2 point)
{
    return Length(point - endA) < PostRadius || Length(point - endB) < PostRadius ||
           Length(point - respawnPoint) < RespawnRadius;
}

bool Waypoint::HitTestRect(float minX, float maxX, float minY, float maxY)
{
    return CircleTouchesRect(minX, maxX, minY, maxY, endA, PostRadius) ||
           CircleTouchesRect(minX, maxX, minY, maxY, endB, PostRadius) ||
           CircleTouchesRect(minX, maxX, minY, maxY, respawnPoint, RespawnRadius);
}

void Waypoint::Rotate(glm::vec2 centre, float angle)
{
    endA = RotatePoint(endA, centre, angle);
    endB = RotatePoint(endB, centre, angle);
    respawnPoint = RotatePoint(respawnPoint, centre, angle);
}

void Waypoint::Translate(glm::vec2 offset)
{
    endA += offset;
    endB += offset;
    respawnPoint += offset;
}

glm::vec2 Waypoint::GetPosition()
{
    return (endA + endB) * 0.5f;
}

void Waypoint::DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle)
{
    DrawOutline(lines, RotatePoint(endA, centre, angle), RotatePoint(endB, centre, angle),
                RotatePoint(respawnPoint, centre, angle));
}

void Waypoint::DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset)
{
    DrawOutline(lines, endA + offset, endB + offset, respawnPoint + offset);
}

Selectable* Waypoint::Clone()
{
    return new Waypoint(*this);
}
