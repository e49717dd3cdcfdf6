#include "Trinket.h"

#include <cmath>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "RecordReading.h"
#include "Utilities.h"
#include "WorldBounds.h"

namespace
{
// A little short of pi/2, pi and 3pi/2; levels have always been drawn with these, so keep them.
constexpr float StarAngleOffsets[4] = {0.0f, 1.570795f, 3.14159f, 4.712385f};
} // namespace

void Trinket::Serialise(ByteBlob& blob)
{
    blob.WriteU32(TypeId);
    blob.WriteVec2(position);
}

bool Trinket::Deserialise(ByteBlob& blob)
{
    const uint32_t recordStart = blob.readCursor;
    if (!blob.CheckType(TypeId))
        return false;
    ReadRecordOrRewind(blob, recordStart, [&] {
        const glm::vec2 readPosition = blob.ReadVec2();
        position = readPosition;
    });
    return true;
}

bool Trinket::IsSane() const
{
    return IsSanePoint(position);
}

b2Body* Trinket::CreateBody(b2World& world)
{
    if (!IsSane())
    {
        WarningLog << LogLocation(__FILE__, 47) << "Trinket at an impossible position was given no body.";
        WarningLog.EndMessage();
        return nullptr;
    }
    b2BodyDef bodyDef;
    bodyDef.type = b2_staticBody;
    bodyDef.position.Set(position.x, position.y);
    bodyDef.angle = 0.0f;
    b2Body* body = world.CreateBody(&bodyDef);

    b2CircleShape circle;
    circle.m_radius = Radius;
    circle.m_p.Set(0.0f, 0.0f);

    b2FixtureDef fixtureDef;
    fixtureDef.shape = &circle;
    fixtureDef.isSensor = true;
    fixtureDef.friction = 0.2f;
    fixtureDef.restitution = 0.0f;
    fixtureDef.density = 0.0f;
    MakeWorldFixture(fixtureDef, *this);
    body->CreateFixture(&fixtureDef);
    return body;
}

void Trinket::Draw(LineRenderer& lines)
{
    if (!IsShown())
        return;
    lines.currentColour = selected ? SelectedColour : Colour;
    const float spin = timer * SpinRate;
    // Two overlapping four-pointed outlines, one long-armed on the axes and one on the diagonals
    // of the other, so the star reads the same whichever way it has turned.
    const float radii[2][4] = {{InnerRadius, OuterRadius, InnerRadius, OuterRadius},
                               {OuterRadius, InnerRadius, OuterRadius, InnerRadius}};
    for (const auto& strip : radii)
    {
        for (int i = 0; i < 4; ++i)
        {
            const float angle = spin + StarAngleOffsets[i];
            lines.AddStripPoint(position + strip[i] * glm::vec2(std::cos(angle), std::sin(angle)));
        }
        lines.CloseStrip();
    }
}

void Trinket::DrawStillStar(LineRenderer& lines, glm::vec2 centre)
{
    lines.AddStripPoint(centre + glm::vec2(OuterRadius, 0.0f));
    lines.AddStripPoint(centre + glm::vec2(0.0f, InnerRadius));
    lines.AddStripPoint(centre + glm::vec2(-OuterRadius, 0.0f));
    lines.AddStripPoint(centre + glm::vec2(0.0f, -InnerRadius));
    lines.CloseStrip();
    lines.AddStripPoint(centre + glm::vec2(InnerRadius, 0.0f));
    lines.AddStripPoint(centre + glm::vec2(0.0f, OuterRadius));
    lines.AddStripPoint(centre + glm::vec2(-InnerRadius, 0.0f));
    lines.AddStripPoint(centre + glm::vec2(0.0f, -OuterRadius));
    lines.CloseStrip();
}

bool Trinket::HitTestPoint(glm::vec2 point)
{
    const glm::vec2 d = point - position;
    return std::sqrt(d.x * d.x + d.y * d.y) < Radius;
}

bool Trinket::HitTestRect(float minX, float maxX, float minY, float maxY)
{
    return CircleTouchesRect(minX, maxX, minY, maxY, position, Radius);
}

void Trinket::Rotate(glm::vec2 centre, float angle)
{
    position = RotatePoint(position, centre, angle);
}

void Trinket::Translate(glm::vec2 offset)
{
    position += offset;
}

void Trinket::DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle)
{
    lines.currentColour = PreviewColour;
    DrawStillStar(lines, RotatePoint(position, centre, angle));
}

void Trinket::DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset)
{
    lines.currentColour = PreviewColour;
    DrawStillStar(lines, position + offset);
}

Selectable* Trinket::Clone()
{
    return new Trinket(position);
}
