#pragma once

#include <cstdint>

#include <glm/vec2.hpp>

#include "PhysicsLink.h"
#include "Selectable.h"
#include "Serialisable.h"

class b2Body;
class b2World;
class ByteBlob;
class LineRenderer;

/// What a waypoint's drawing needs to know of the local player: the index of the last gate it
/// passed and the seconds since then (FLT_MAX before it has passed any).
struct GateProgress
{
    int32_t lastWaypoint = 0;
    float timeSinceWaypoint = 3.4028235e38f;
};

/// A checkpoint gate: two solid posts, end A and end B, with a sensor line between them, and the
/// point where a player who passed it respawns. The level's waypoints form a ring in array order.
/// Held by value in the level's array; its body's fixtures point back at it, so it must not move
/// in memory while the physics world exists.
class Waypoint final : public PhysicsLink, public Selectable, public Serialisable
{
public:
    static constexpr uint32_t TypeId = 7;
    /// Radius of each post, world units.
    static constexpr float PostRadius = 0.15f;
    /// Radius of the respawn point's pick circle and marker, world units.
    static constexpr float RespawnRadius = 0.2f;
    /// Radius of the inner rings drawn inside the posts in play.
    static constexpr float InnerPostRadius = 0.1125f;
    /// Seconds over which a gate's colours settle after the player passes a gate.
    static constexpr float FlashTime = 0.3f;

    /// First post, world units; the body's origin.
    glm::vec2 endA{0.0f, 0.0f};
    /// Second post, world units.
    glm::vec2 endB{0.0f, 0.0f};
    /// Where a player who passed this gate respawns, world units.
    glm::vec2 respawnPoint{0.0f, 0.0f};
    /// Place in the ring; -1 until the level starts.
    int32_t index = -1;
    /// Index of the gate to pass before this one; -1 until the level starts.
    int32_t previous = -1;
    /// The owning level's running time in seconds, not owned; null reads as 0.
    const float* levelTime = nullptr;

    Waypoint() = default;
    Waypoint(glm::vec2 a, glm::vec2 b, glm::vec2 respawn, const float* time = nullptr)
        : endA(a), endB(b), respawnPoint(respawn), levelTime(time)
    {
    }

    uint32_t GetLinkType() override { return LinkWaypoint; }

    uint32_t GetTypeId() override { return TypeId; }
    /// Writes the 28-byte record: tag 7, end A, end B, respawn point.
    void Serialise(ByteBlob& blob) override;
    /// Reads end A, end B and the respawn point; index, previous and the time pointer are left
    /// for the level reader. A record cut short raises `ByteBlobError` with the waypoint and the
    /// blob's cursor unchanged.
    bool Deserialise(ByteBlob& blob) override;
    /// False when any of the three points is not finite or lies beyond `MaxWorldCoordinate`;
    /// the level loader refuses such a record.
    bool IsSane() const;

    /// Makes the static body at end A in `world`, which owns it: two solid post circles and the
    /// sensor gate edge between them, each pointing back at this waypoint's `PhysicsLink`. A gate
    /// too short to have a direction gets its posts but no gate edge; a waypoint that is not
    /// `IsSane` is logged and gets no body (null).
    b2Body* CreateBody(b2World& world);
    /// Draws the gate for the editor (`localPlayer` null) or in play from the local player's
    /// progress round the ring: the next gate to pass, the gate just passed, or any other. Only
    /// what `view` (min x, max x, min y, max y) shows is added: nothing for a gate wholly outside
    /// it, and of a long gate's dashes only those in it.
    void Draw(LineRenderer& lines, const GateProgress* localPlayer, const float (&view)[4]);

    uint32_t GetSelectableType() override { return SelectableWaypoint; }
    bool HitTestPoint(glm::vec2 point) override;
    bool HitTestRect(float minX, float maxX, float minY, float maxY) override;
    void Rotate(glm::vec2 centre, float angle) override;
    void Translate(glm::vec2 offset) override;
    /// The midpoint of the two posts.
    glm::vec2 GetPosition() override;
    void DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle) override;
    void DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset) override;
    /// A new heap copy of every field, the selected flag, index, previous and time pointer
    /// included; the caller deletes it.
    Selectable* Clone() override;

private:
    static void DrawOutline(LineRenderer& lines, glm::vec2 a, glm::vec2 b, glm::vec2 respawn);
};
