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

/// A collectable star: shown while `timer` <= 0, hidden once a player has touched it. Held by
/// value in the level's array; its sensor body (if any) lives in the level's physics world and
/// points back at it, so it must not move in memory while the world exists.
class Trinket final : public PhysicsLink, public Serialisable, public Selectable
{
public:
    static constexpr uint32_t TypeId = 5;
    /// Radius of the pick circle, the view test and the sensor, world units.
    static constexpr float Radius = 0.1f;
    /// The star's inner and outer point radii, world units.
    static constexpr float InnerRadius = 0.04f;
    static constexpr float OuterRadius = 0.1f;
    /// Radians of spin per second of falling timer.
    static constexpr float SpinRate = 3.0f;
    static constexpr glm::vec3 Colour{1.0f, 1.0f, 0.4f};

    /// Seconds: 0 when placed or reset, falling while shown (it drives the spin), FLT_MAX once
    /// collected.
    float timer = 0.0f;
    /// Centre, world units.
    glm::vec2 position{0.0f, 0.0f};

    Trinket() = default;
    explicit Trinket(glm::vec2 at) : position(at) {}

    uint32_t GetLinkType() override { return LinkTrinket; }

    uint32_t GetTypeId() override { return TypeId; }
    /// Writes the 12-byte record: tag 5, position x, position y.
    void Serialise(ByteBlob& blob) override;
    /// Reads the position; the timer and the selected flag are left alone. A record cut short
    /// raises `ByteBlobError` with the trinket and the blob's cursor unchanged.
    bool Deserialise(ByteBlob& blob) override;
    /// False when the position is not finite or lies beyond `MaxWorldCoordinate`; the level
    /// loader refuses such a record.
    bool IsSane() const;

    /// Makes the static sensor body at the position in `world`, which owns it; the fixture's user
    /// data is this trinket's `PhysicsLink`. A trinket that is not `IsSane` is logged and gets no
    /// body (null).
    b2Body* CreateBody(b2World& world);
    /// The spinning star, only while shown; in the selection colour when selected.
    void Draw(LineRenderer& lines);
    /// True while the trinket is shown (timer <= 0).
    bool IsShown() const { return timer <= 0.0f; }

    uint32_t GetSelectableType() override { return SelectableTrinket; }
    bool HitTestPoint(glm::vec2 point) override;
    bool HitTestRect(float minX, float maxX, float minY, float maxY) override;
    void Rotate(glm::vec2 centre, float angle) override;
    void Translate(glm::vec2 offset) override;
    glm::vec2 GetPosition() override { return position; }
    void DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle) override;
    void DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset) override;
    /// A new heap trinket at the same position, not selected, timer 0; the caller deletes it.
    Selectable* Clone() override;

private:
    static void DrawStillStar(LineRenderer& lines, glm::vec2 centre);
};
