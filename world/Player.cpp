#include "Player.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include <box2d/box2d.h>
#include <glm/geometric.hpp>

#include "FigureGeometry.h"
#include "Level.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "PolylineBoxes.h"
#include "ShapeSegment.h"
#include "WorldBounds.h"

namespace
{
/// Beyond this many distinct surfaces under one corner circle in one step, further ones are not
/// counted. A circle 0.1 across meets that many only where a damaged level piles edges up.
constexpr int MaxSurfacesPerCorner = 8;

/// The magnet pass skips a world shape whose box, grown by this, holds none of the corners: no
/// segment's influence box (its own box grown by just under 4.8) reaches beyond it.
constexpr float MagnetReach = 4.8f;

ControlScheme LoadControls()
{
    std::error_code error;
    const bool exists = std::filesystem::exists(Player::ControlsPath, error);
    if (error)
    {
        WarningLog << LogLocation(__FILE__, 30) << "Could not tell whether \"" << Player::ControlsPath
                   << "\" exists (" << error.message() << "); using the default controls.";
        WarningLog.EndMessage();
        return ControlScheme::MakeDefault();
    }
    if (exists)
        return ControlScheme::Load(Player::ControlsPath);
    ControlScheme defaults = ControlScheme::MakeDefault();
    defaults.Save(Player::ControlsPath);
    return defaults;
}

glm::vec2 Vec(const b2Vec2& v)
{
    return {v.x, v.y};
}

b2Vec2 B2(glm::vec2 v)
{
    return b2Vec2(v.x, v.y);
}

glm::vec2 Tangent(glm::vec2 normal)
{
    return {normal.y, -normal.x};
}
} // namespace

Player::Player() : controls(LoadControls()) {}
Player::~Player() = default;
Player::Player(Player&&) noexcept = default;
Player& Player::operator=(Player&&) noexcept = default;

void Player::CreateBody(glm::vec2 position, float angle, b2World& world)
{
    respawnPosition = position;
    respawnAngle = angle;
    for (DynArray<glm::vec2>& trail : trails)
        trail.Resize(TrailLength);
    trailColours.Resize(TrailLength);
    trailIndex = 0;

    b2BodyDef bodyDef;
    bodyDef.type = b2_dynamicBody;
    bodyDef.position = B2(position);
    bodyDef.angle = angle;
    bodyDef.linearDamping = 0.0f;
    bodyDef.angularDamping = 5.0f;
    bodyDef.gravityScale = 1.0f;
    bodyDef.awake = true;
    bodyDef.allowSleep = true;
    bodyDef.fixedRotation = false;
    bodyDef.bullet = false;
    body = world.CreateBody(&bodyDef);

    b2Vec2 corners[3];
    for (int i = 0; i < 3; ++i)
        corners[i].Set(FigureCornerRadius * std::cos(FigureCornerAngles[i]),
                       FigureCornerRadius * std::sin(FigureCornerAngles[i]));

    b2FixtureDef fixtureDef;
    fixtureDef.restitution = 0.0f;
    fixtureDef.isSensor = false;
    fixtureDef.filter.categoryBits = CollisionCategory::Player;
    fixtureDef.filter.maskBits = CollisionCategory::World;
    fixtureDef.userData.pointer = reinterpret_cast<uintptr_t>(static_cast<PhysicsLink*>(this));

    b2PolygonShape triangle;
    triangle.Set(corners, 3);
    fixtureDef.shape = &triangle;
    fixtureDef.friction = 0.5f;
    fixtureDef.density = 0.5f;
    body->CreateFixture(&fixtureDef);

    b2CircleShape circle;
    circle.m_radius = FigureCornerCircleRadius;
    fixtureDef.shape = &circle;
    fixtureDef.friction = 0.2f;
    fixtureDef.density = 1.0f;
    for (int i = 0; i < 3; ++i)
    {
        circle.m_p = corners[i];
        circleFixtures[i] = body->CreateFixture(&fixtureDef);
    }
}

template <typename Visit>
void Player::ForEachCornerContact(Visit&& visit) const
{
    if (body == nullptr)
        return;
    struct Touch
    {
        int corner;
        const void* surface;
        PhysicsLink* link;
        glm::vec2 away;
        glm::vec2 point;
        float facing; // how squarely the normal faces the figure's centre
    };
    Touch touches[3 * MaxSurfacesPerCorner];
    int touchCount = 0;
    int perCorner[3] = {0, 0, 0};
    const glm::vec2 centre = Vec(body->GetPosition());

    for (b2ContactEdge* edge = body->GetContactList(); edge != nullptr; edge = edge->next)
    {
        b2Contact* contact = edge->contact;
        if (!contact->IsTouching())
            continue;
        b2Fixture* a = contact->GetFixtureA();
        b2Fixture* b = contact->GetFixtureB();
        const bool ownIsA = a->GetBody() == body;
        b2Fixture* own = ownIsA ? a : b;
        b2Fixture* other = ownIsA ? b : a;
        if (other->IsSensor())
            continue;
        int corner = -1;
        for (int i = 0; i < 3; ++i)
            if (own == circleFixtures[i])
                corner = i;
        if (corner < 0)
            continue;
        PhysicsLink* otherLink = LinkOf(other);
        if (otherLink == nullptr)
            continue;

        b2WorldManifold manifold;
        contact->GetWorldManifold(&manifold);
        // The manifold's normal runs from fixture A to fixture B.
        const glm::vec2 away = ownIsA ? -Vec(manifold.normal) : Vec(manifold.normal);
        const glm::vec2 point = Vec(manifold.points[0]);
        const float facing = glm::dot(away, centre - point);

        // The two chains of one edge are one surface; any other solid fixture is its own. When
        // both chains of an edge touch a corner (its centre on the edge's line), their normals
        // are opposite: the one facing the figure's centre is the side the figure is on.
        const void* surface = otherLink->GetLinkType() == LinkShapeSegment ? static_cast<const void*>(otherLink)
                                                                           : static_cast<const void*>(other);
        Touch* same = nullptr;
        for (int k = 0; k < touchCount; ++k)
            if (touches[k].corner == corner && touches[k].surface == surface)
                same = &touches[k];
        if (same != nullptr)
        {
            if (facing > same->facing)
                *same = {corner, surface, otherLink, away, point, facing};
            continue;
        }
        if (perCorner[corner] == MaxSurfacesPerCorner)
            continue;
        ++perCorner[corner];
        touches[touchCount++] = {corner, surface, otherLink, away, point, facing};
    }
    for (int k = 0; k < touchCount; ++k)
        visit(touches[k].corner, touches[k].link, touches[k].away, touches[k].point);
}

void Player::SetJump(bool held)
{
    if (held == jumpHeld)
        return;
    jumpHeld = held;
    if (!held)
        return;
    flashTimer = 0.0f;
    // A remote player's jump is already in the state its machine sends.
    if (!isLocal || body == nullptr || departed)
        return;

    glm::vec2 normalSums[3] = {};
    glm::vec2 pointSums[3] = {};
    int counts[3] = {0, 0, 0};
    ForEachCornerContact([&](int corner, PhysicsLink*, glm::vec2 away, glm::vec2 point) {
        normalSums[corner] += away;
        pointSums[corner] += point;
        ++counts[corner];
    });
    int touching = 0;
    for (int count : counts)
        touching += count > 0;
    for (int i = 0; i < 3; ++i)
    {
        if (counts[i] == 0)
            continue;
        glm::vec2 normal = normalSums[i];
        const float length = glm::length(normal);
        if (length >= 1.1920929e-7f)
            normal /= length;
        const glm::vec2 point = pointSums[i] / static_cast<float>(counts[i]);
        body->ApplyLinearImpulse(B2(normal * (JumpImpulse / static_cast<float>(touching))), B2(point), true);
    }
}

void Player::SetBrake(bool held)
{
    if (held == brakeHeld)
        return;
    brakeHeld = held;
    if (body != nullptr)
        body->SetLinearDamping(held ? BrakeDamping : 0.0f);
}

void Player::GetCorners(glm::vec2 (&corners)[3]) const
{
    if (body == nullptr)
    {
        for (glm::vec2& corner : corners)
            corner = respawnPosition;
        return;
    }
    const glm::vec2 position = Vec(body->GetPosition());
    const float angle = body->GetAngle();
    for (int i = 0; i < 3; ++i)
        corners[i] = position + FigureCornerRadius * glm::vec2(std::cos(angle + FigureCornerAngles[i]),
                                                               std::sin(angle + FigureCornerAngles[i]));
}

void Player::UpdatePhysics(float dt, Level& level)
{
    if (departed || body == nullptr)
        return;
    timeSinceWaypoint += dt;
    bounceTimer += dt;
    flashTimer += dt;

    glm::vec2 corners[3];
    GetCorners(corners);

    // Braking eases the colour over a twelfth of a second whichever way it changes.
    const glm::vec3 target = brakeHeld ? brakeColour : normalColour;
    const float rate = 12.0f * glm::length(brakeColour - normalColour);
    const glm::vec3 towards = target - currentColour;
    const float distance = glm::length(towards);
    if (rate * dt >= distance)
        currentColour = target;
    else
        currentColour += towards / distance * rate * dt;
    const float flash = std::pow(0.1f, flashTimer);
    displayColour = (1.0f - 0.5f * flash) * currentColour + flash * flashColour;

    body->ApplyTorque(-RotateTorque * rotateInput, true);

    if (fangHeld)
    {
        glm::vec2 tangentSums[3] = {};
        glm::vec2 pointSums[3] = {};
        int counts[3] = {0, 0, 0};
        ForEachCornerContact([&](int corner, PhysicsLink* other, glm::vec2 away, glm::vec2 point) {
            if (other->GetLinkType() != LinkShapeSegment)
                return;
            const SurfaceType type = static_cast<ShapeSegment*>(other)->surfaceType;
            if (type != SurfaceType::ClockwiseAccelerator && type != SurfaceType::AnticlockwiseAccelerator)
                return;
            // Clockwise round the shape: along the top of a shape, towards +x.
            const float sense = type == SurfaceType::ClockwiseAccelerator ? 1.0f : -1.0f;
            tangentSums[corner] += sense * Tangent(away);
            pointSums[corner] += point;
            ++counts[corner];
        });
        int touching = 0;
        for (int count : counts)
            touching += count > 0;
        if (touching > 0)
        {
            // The push fades as the figure speeds up.
            const float speed = body->GetLinearVelocity().Length();
            const float strength = AcceleratorForce * std::pow(AcceleratorFade, speed) / static_cast<float>(touching);
            for (int i = 0; i < 3; ++i)
            {
                if (counts[i] == 0)
                    continue;
                const float c = static_cast<float>(counts[i]);
                body->ApplyForce(B2(tangentSums[i] / c * strength), B2(pointSums[i] / c), true);
            }
        }

        const PolylineBoxes::Box figure = PolylineBoxes::BoxAround(corners, 3);
        for (const WorldShape& shape : level.worldShapes)
        {
            // Most of a level is far from the figure; its shapes are passed over whole.
            if (!PolylineBoxes::Meets(
                    figure, PolylineBoxes::Grown({shape.minX, shape.maxX, shape.minY, shape.maxY}, MagnetReach)))
                continue;
            for (const ShapeSegment& segment : shape.segments)
            {
                if (!IsMagnetic(segment.surfaceType))
                    continue;
                for (const glm::vec2& corner : corners)
                {
                    const glm::vec2 force = segment.GetMagneticForce(corner);
                    if (force.x != 0.0f || force.y != 0.0f)
                        body->ApplyForce(B2(force), B2(corner), true);
                }
            }
        }
    }

    for (int i = 0; i < 3; ++i)
        trails[i][static_cast<uint32_t>(trailIndex)] = corners[i];
    trailColours[static_cast<uint32_t>(trailIndex)] = displayColour;
    trailIndex = (trailIndex + 1) % static_cast<int32_t>(TrailLength);
    ++trailWrites;
}

void Player::Draw(LineRenderer& lines)
{
    if (departed || body == nullptr)
        return;

    // Trails: faint at the newest sample, fading to nothing at the oldest.
    const int32_t ring = static_cast<int32_t>(TrailLength);
    const int32_t newest = static_cast<int32_t>(std::min(trailWrites, TrailLength)) - 1;
    for (int32_t k = newest; k >= 1; --k)
    {
        const auto i = static_cast<uint32_t>(((trailIndex - k) % ring + ring) % ring);
        const auto j = static_cast<uint32_t>(((trailIndex - k - 1) % ring + ring) % ring);
        const glm::vec3 fromColour = trailColours[j] * 0.25f * (1.0f - static_cast<float>(k) / 90.0f);
        const glm::vec3 toColour = trailColours[i] * 0.25f * (1.0f - static_cast<float>(k - 1) / 90.0f);
        for (const DynArray<glm::vec2>& trail : trails)
        {
            lines.positions.push_back(trail[j]);
            lines.positions.push_back(trail[i]);
            lines.colours.push_back(fromColour);
            lines.colours.push_back(toColour);
        }
    }

    // A short mark along each surface that a corner rests on.
    const glm::vec3 markColour{1.0f, 1.0f, 0.0f};
    lines.currentColour = markColour;
    ForEachCornerContact([&](int, PhysicsLink*, glm::vec2 away, glm::vec2 point) {
        const glm::vec2 along = 0.1f * Tangent(away);
        lines.AddLine(point - along, point + along, markColour);
    });

    glm::vec2 c[3];
    GetCorners(c);
    const glm::vec2 centre = Vec(body->GetPosition());

    const glm::vec3 spokes{0.5f, 0.5f, 0.5f};
    lines.currentColour = spokes;
    for (int i = 0; i < 3; ++i)
        lines.AddLine(centre, (c[i] + c[(i + 1) % 3]) * 0.5f, spokes);

    const float t = FigureCornerCircleRadius / glm::length(c[1] - c[0]);
    const glm::vec3 white{1.0f, 1.0f, 1.0f};
    lines.currentColour = white;
    for (int i = 0; i < 3; ++i)
    {
        const glm::vec2 d = c[(i + 1) % 3] - c[i];
        lines.AddLine(c[i] + t * d, c[i] + (1.0f - t) * d, white);
    }

    const glm::vec3 inner = displayColour * 0.5f;
    lines.currentColour = inner;
    for (int i = 0; i < 3; ++i)
        lines.AddLine(c[i], c[i] + t * (c[(i + 1) % 3] - c[i]), inner);
    for (int i = 0; i < 3; ++i)
        lines.AddLine(c[i], c[i] + t * (c[(i + 2) % 3] - c[i]), inner);

    lines.currentColour = displayColour;
    for (const glm::vec2& corner : c)
        lines.AddCircle(corner, FigureCornerCircleRadius, displayColour, 32);
}

bool Player::ApplyNetworkState(glm::vec2 position, glm::vec2 velocity, float angle, float angularVelocity)
{
    if (body == nullptr)
        return false;
    if (!IsSanePoint(position) || !std::isfinite(velocity.x) || !std::isfinite(velocity.y) || !std::isfinite(angle) ||
        !std::isfinite(angularVelocity))
        return false;
    if (body->GetType() != b2_staticBody)
    {
        // Both wake the body when they set a motion.
        body->SetLinearVelocity(B2(velocity));
        body->SetAngularVelocity(angularVelocity);
    }
    body->SetTransform(B2(position), angle);
    return true;
}
