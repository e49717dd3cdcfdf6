#include "Level.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "Camera.h"
#include "ContactCallback.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "OverlapBudget.h"
#include "PhysicsStep.h"
#include "PlayInput.h"
#include "PolylineBoxes.h"
#include "Utilities.h"

namespace
{
/// True when the next u32 at the cursor is `tag`; nothing is consumed.
bool NextTagIs(const ByteBlob& blob, uint32_t tag)
{
    if (!blob.readingMode || blob.BytesLeft() < sizeof(uint32_t))
        return false;
    uint32_t found = 0;
    std::memcpy(&found, blob.data + blob.readCursor, sizeof(found));
    return found == tag;
}

// Read after `WorldShape::RepairUnusedHandles`, so what lies outside is something an edge uses.
bool ShapeIsInsideWorld(const WorldShape& shape)
{
    for (const ShapePoint& point : shape.points)
        if (!point.IsInsideWorld())
            return false;
    return true;
}
} // namespace

Level::Level(Camera* sharedCamera) : camera(sharedCamera) {}

Level::~Level()
{
    // The bodies point into the arrays, so they go first.
    EndGame();
}

void Level::Serialise(ByteBlob& blob)
{
    InfoLog << "Writing level to blob... writing " << worldShapes.count << " world shapes.";
    InfoLog.EndMessage();
    blob.WriteU32(TypeId);
    start.WriteFields(blob);
    for (WorldShape& shape : worldShapes)
        shape.Serialise(blob);
    for (Trinket& trinket : trinkets)
        trinket.Serialise(blob);
    for (Waypoint& waypoint : waypoints)
        waypoint.Serialise(blob);
    for (Signpost& signpost : signposts)
        signpost.Serialise(blob);
}

bool Level::Deserialise(ByteBlob& blob)
{
    if (!blob.CheckType(TypeId))
        return false;
    Clear();
    // Charged as each record is read, so that a file too large to hold is refused at the record
    // that goes over rather than after everything it asks for has been made.
    uint64_t cost = 0;
    auto affords = [&cost](uint64_t units) {
        cost += units;
        return cost <= MaxLoadCost;
    };
    const std::string tooLarge =
        "it is too large to load (its records and edges cost more than " + std::to_string(MaxLoadCost) + ")";
    uint32_t repairedHandles = 0;
    try
    {
        start.ReadFields(blob);

        WorldShape shape;
        shape.levelTime = &time;
        while (shape.Deserialise(blob))
        {
            repairedHandles += shape.RepairUnusedHandles();
            // Measuring the edges takes a little time for each, so the points alone are checked
            // first.
            if (cost + ShapeLoadCost(shape.points.count, {}) > MaxLoadCost ||
                !affords(ShapeLoadCost(shape.points.count, shape.MeasureCompiled())))
                return Refuse(tooLarge);
            // Moved, not copied: the next shape is read into arrays that start from nothing, so
            // a shape without points holds no blocks at all.
            shape.points.Reserve(shape.points.count);
            worldShapes.PushBack(std::move(shape));
        }

        Trinket trinket;
        while (trinket.Deserialise(blob))
        {
            if (!affords(TrinketRecordCost))
                return Refuse(tooLarge);
            trinket.timer = 0.0f;
            trinkets.PushBack(trinket);
        }

        Waypoint waypoint;
        waypoint.index = -1;
        waypoint.previous = -1;
        waypoint.levelTime = &time;
        while (waypoint.Deserialise(blob))
        {
            if (!affords(WaypointRecordCost))
                return Refuse(tooLarge);
            waypoints.PushBack(waypoint);
        }

        Signpost signpost;
        while (signpost.Deserialise(blob))
        {
            if (!affords(SignpostLoadCost(signpost)))
                return Refuse(tooLarge);
            signposts.PushBack(std::move(signpost));
        }
    }
    catch (const ByteBlobError& error)
    {
        return Refuse(std::string("a record is cut short (") + error.what() + ")");
    }

    // A signpost refuses a record whose text is not a string record, and has said so; the file
    // is damaged there, so the level is not kept half read.
    if (NextTagIs(blob, Signpost::TypeId))
    {
        Clear();
        return false;
    }

    if (!start.IsSane())
        return Refuse("the level start lies outside the world");
    for (const WorldShape& read : worldShapes)
        if (!ShapeIsInsideWorld(read))
            return Refuse("a world shape has a point outside the world");
    for (const Trinket& read : trinkets)
        if (!read.IsSane())
            return Refuse("a trinket lies outside the world");
    for (const Waypoint& read : waypoints)
        if (!read.IsSane())
            return Refuse("a waypoint lies outside the world");
    for (const Signpost& read : signposts)
        if (!read.IsSane())
            return Refuse("a signpost lies outside the world");
    if (repairedHandles > 0)
    {
        WarningLog << LogLocation(__FILE__, 230) << "Level moved " << repairedHandles
                   << " handles of straight edges that lay outside the world back beside their points; no curve "
                      "used them.";
        WarningLog.EndMessage();
    }
    return true;
}

uint64_t Level::ShapeLoadCost(uint32_t pointCount, const WorldShape::CompiledSize& size)
{
    // A point that a physics chain follows costs twice: it makes two boxes in the physics
    // world's tree, one for each side.
    return ShapeRecordCost + PointRecordCost * pointCount + size.points + size.chainedPoints;
}

uint64_t Level::SignpostLoadCost(const Signpost& signpost)
{
    return SignpostRecordCost + signpost.text.size() / SignpostTextBytesPerCost;
}

uint64_t Level::LoadCost() const
{
    uint64_t cost = 0;
    for (const WorldShape& shape : worldShapes)
        cost += ShapeLoadCost(shape.points.count, shape.CountCompiled());
    cost += static_cast<uint64_t>(trinkets.count) * TrinketRecordCost;
    cost += static_cast<uint64_t>(waypoints.count) * WaypointRecordCost;
    for (const Signpost& signpost : signposts)
        cost += SignpostLoadCost(signpost);
    return cost;
}

bool Level::LoadFromFile(const std::string& path)
{
    const bool read = ReadFromFile(path);
    BuildDataTextures();
    return read;
}

bool Level::ReadFromFile(const std::string& path)
{
    std::error_code error;
    const uintmax_t bytes = std::filesystem::file_size(path, error);
    if (!error && bytes > MaxFileBytes)
    {
        Clear();
        return Refuse("the file holds " + std::to_string(bytes) + " bytes, more than any level (" +
                      std::to_string(MaxFileBytes) + ")");
    }
    ByteBlob blob;
    // A file that cannot be opened or is no byte blob is logged here and leaves the blob in
    // write mode, whose tag check then fails (logged too): the level stays empty.
    blob.ReadFromFile(path);
    return ReadFromBlob(blob);
}

bool Level::ReadSharedFile(const std::string& path, std::string& why)
{
    Clear();
    std::string bytes;
    uint64_t size = 0;
    switch (ReadRegularFile(path, MaxFileBytes, bytes, &size))
    {
    case FileRead::Read:
        break;
    case FileRead::Missing:
        why = "this machine has no such level file";
        return false;
    case FileRead::NotRegular:
        why = "it is no file on this machine";
        return false;
    case FileRead::TooLarge:
        why = "the file holds " + std::to_string(size) + " bytes, more than any level";
        return false;
    case FileRead::Unreadable:
        why = "the file cannot be read";
        return false;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto count = static_cast<uint32_t>(bytes.size());
    ByteBlob blob;
    if (!ByteBlob::HasHeader(data, count) || !blob.ReadFromMemory(data, count) || !ReadFromBlob(blob))
    {
        why = "the file is not a level this game can read";
        return false;
    }
    return true;
}

bool Level::ReadFromBlob(ByteBlob& blob)
{
    Clear();
    if (!Deserialise(blob))
        return false;
    for (WorldShape& shape : worldShapes)
        shape.Compile();
    return true;
}

uint64_t Level::AllotDataTextures()
{
    // Enough to find the edges in the editor; the count says how many more there are.
    constexpr uint32_t NamedEdges = 4;
    uint64_t texels = 0;
    uint32_t leftOut = 0;
    uint64_t widest = 0;
    std::string named;
    for (uint32_t s = 0; s < worldShapes.count; ++s)
        for (uint32_t e = 0; e < worldShapes[s].segments.count; ++e)
        {
            ShapeSegment& segment = worldShapes[s].segments[e];
            segment.fieldLeftOut = false;
            uint64_t width = 0;
            uint64_t height = 0;
            segment.GetDataTextureSize(width, height);
            if (width == 0 || height == 0)
                continue;
            const bool tooWide = width > ShapeSegment::MaxDataTextureSide || height > ShapeSegment::MaxDataTextureSide;
            if (!tooWide && width * height <= MaxDataTexels - texels)
            {
                texels += width * height;
                continue;
            }
            segment.fieldLeftOut = true;
            if (leftOut < NamedEdges)
                named += (leftOut == 0 ? "" : ", ") + std::string("shape ") + std::to_string(s) + " edge " +
                         std::to_string(e);
            ++leftOut;
            widest = std::max(widest, std::max(width, height));
        }
    if (leftOut == 0)
        return texels;
    WarningLog << LogLocation(__FILE__, 240) << "Level leaves out the magnet fields of " << leftOut << " edges ("
               << named << (leftOut > NamedEdges ? ", and " + std::to_string(leftOut - NamedEdges) + " more" : "")
               << ", counting from 0; the largest " << widest << " texels across): a level builds at most "
               << MaxDataTexels << " field texels, taking the fields in shape and edge order while they fit, and no "
               << "field more than " << ShapeSegment::MaxDataTextureSide << " across. Those edges still pull and push.";
    WarningLog.EndMessage();
    return texels;
}

void Level::BuildDataTextures()
{
    // Decided afresh at every build: an edit recompiles its shape, whose new segments know
    // nothing of the last allotment.
    AllotDataTextures();
    for (WorldShape& shape : worldShapes)
        for (ShapeSegment& segment : shape.segments)
            segment.BuildDataTexture();
}

void Level::Clear()
{
    DestroyPhysicsWorld();
    // Fresh arrays rather than emptied ones, so that a large level gives its blocks back.
    worldShapes = DynArray<WorldShape>();
    trinkets = DynArray<Trinket>();
    waypoints = DynArray<Waypoint>();
    signposts = DynArray<Signpost>();
    start = LevelStart();
    time = 0.0f;
}

void Level::CreatePhysicsWorld()
{
    DestroyPhysicsWorld();
    world = new b2World(PhysicsStep::Gravity());
    CreateObjectBodies();
}

void Level::CreateObjectBodies()
{
    OverlapBudget budget(*world, MaxStaticOverlaps);
    for (WorldShape& shape : worldShapes)
    {
        budget.Offer([&] { return shape.CreateBody(*world); });
        shape.BuildSurfaceStrips();
    }
    for (Trinket& trinket : trinkets)
        budget.Offer([&] { return trinket.CreateBody(*world); });
    for (Waypoint& waypoint : waypoints)
        budget.Offer([&] { return waypoint.CreateBody(*world); });
    if (budget.LeftOut() == 0)
        return;
    WarningLog << LogLocation(__FILE__, 250) << "Level leaves " << budget.LeftOut()
               << " objects out of its physics world: their shapes overlap each other more than "
               << MaxStaticOverlaps << " times. They are drawn but nothing touches them.";
    WarningLog.EndMessage();
}

void Level::DestroyPhysicsWorld()
{
    // The players' bodies go with the world.
    players.Clear();
    localPlayer = nullptr;
    delete world;
    world = nullptr;
    // The listener was installed in the world, so it outlives it by no step.
    delete contactListener;
    contactListener = nullptr;
    for (WorldShape& shape : worldShapes)
        shape.strips.Clear();
}

bool Level::Refuse(const std::string& reason)
{
    WarningLog << LogLocation(__FILE__, 220) << "Level could not be read: " << reason
               << ". The level is left empty.";
    WarningLog.EndMessage();
    Clear();
    return false;
}

bool Level::Start(int32_t playerCount, uint32_t localIndex)
{
    EndGame();
    if (playerCount < 1 || playerCount > MaxPlayers || localIndex >= static_cast<uint32_t>(playerCount))
    {
        WarningLog << LogLocation(__FILE__, 260) << "Cannot start a game of " << playerCount << " player(s) as player "
                   << localIndex << "; the level was not started.";
        WarningLog.EndMessage();
        return false;
    }
    InfoLog << "Starting game with " << playerCount << " player(s). You are player " << localIndex;
    InfoLog.EndMessage();

    world = new b2World(PhysicsStep::Gravity());
    // Every player is in place before any body points at it.
    const auto count = static_cast<uint32_t>(playerCount);
    if (count > players.capacity)
        players.Reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        players.PushBack(Player());
    localPlayer = &players[localIndex];
    localPlayer->isLocal = true;
    for (Player& player : players)
        player.CreateBody(start.position, 0.0f, *world);

    CreateObjectBodies();
    contactListener = new ContactCallback();
    world->SetContactListener(contactListener);

    // The gates form a ring in array order; players begin having passed gate 0.
    const auto gates = static_cast<int32_t>(waypoints.count);
    for (int32_t i = 0; i < gates; ++i)
    {
        waypoints[static_cast<uint32_t>(i)].index = i;
        waypoints[static_cast<uint32_t>(i)].previous = i == 0 ? gates - 1 : i - 1;
    }
    return true;
}

bool Level::Update(float dt, GLFWwindow* window)
{
    const bool steering = localPlayer != nullptr && !localPlayer->departed;
    return Update(dt, PlayInput::Read(steering ? &localPlayer->controls : nullptr, window));
}

bool Level::Update(float dt, const PlayInput& input)
{
    if (world == nullptr)
        return input.leave;
    time += dt;
    Player* local = localPlayer;
    const bool localMoves = local != nullptr && local->body != nullptr;
    const b2Vec2 before = localMoves ? local->body->GetPosition() : b2Vec2(0.0f, 0.0f);
    PhysicsStep::Advance(*world, dt);
    if (localMoves)
        local->distanceTravelled += (local->body->GetPosition() - before).Length();

    if (local != nullptr && !local->departed)
    {
        local->rotateInput = (input.rotateRight ? 1.0f : 0.0f) - (input.rotateLeft ? 1.0f : 0.0f);
        local->SetBrake(input.brake);
        local->fangHeld = input.fang;
        local->SetJump(input.jump);
    }

    if (input.respawn && local != nullptr && local->body != nullptr)
    {
        if (!respawnHeld)
        {
            InfoLog << "The local player respawned at (" << local->respawnPosition.x << ", " << local->respawnPosition.y
                    << ").";
            InfoLog.EndMessage();
        }
        Respawn(*local);
    }
    respawnHeld = input.respawn;

    if (camera != nullptr && local != nullptr && local->body != nullptr)
    {
        const b2Vec2 p = local->body->GetPosition();
        const b2Vec2 v = local->body->GetLinearVelocity();
        const float follow = CameraFollowRate * dt;
        camera->centreX += (p.x + v.x * CameraLookAhead * dt - camera->centreX) * follow;
        camera->centreY += (p.y + v.y * CameraLookAhead * dt - camera->centreY) * follow;
        const float target = std::max(0.0f, v.Length() - CameraWideningSpeed) * CameraHeightPerSpeed + CameraBaseHeight;
        camera->viewHeight += (target - camera->viewHeight) * follow;
    }

    for (Player& player : players)
        player.UpdatePhysics(dt, *this);
    for (Trinket& trinket : trinkets)
        trinket.timer -= dt;
    return input.leave;
}

void Level::Respawn(Player& player)
{
    player.body->SetTransform(b2Vec2(player.respawnPosition.x, player.respawnPosition.y), player.respawnAngle);
    player.body->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
    player.body->SetAngularVelocity(0.0f);
    player.trailIndex = 0;
    player.trailWrites = 0;
    if (camera != nullptr)
    {
        camera->centreX = player.body->GetPosition().x;
        camera->centreY = player.body->GetPosition().y;
        camera->viewHeight = CameraBaseHeight;
    }
    for (Trinket& trinket : trinkets)
        trinket.timer = 0.0f;
}

void Level::Draw(LineRenderer& lines, const float (&view)[4], bool drawSignposts)
{
    for (WorldShape& shape : worldShapes)
    {
        if (!PolylineBoxes::OverlapsView({shape.minX, shape.maxX, shape.minY, shape.maxY}, view))
            continue;
        // Strips exist only in play; the editor sees single edges with their selection colours.
        if (shape.strips.count > 0)
        {
            for (const SurfaceStrip& strip : shape.strips)
                strip.Draw(lines, view);
        }
        else
        {
            for (const ShapeSegment& segment : shape.segments)
                segment.Draw(lines, shape.selected, view);
        }
    }

    for (Trinket& trinket : trinkets)
        if (trinket.HitTestRect(view[0], view[1], view[2], view[3]))
            trinket.Draw(lines);

    for (Player& player : players)
        player.Draw(lines);

    GateProgress progress;
    if (localPlayer != nullptr)
        progress = {localPlayer->lastWaypoint, localPlayer->timeSinceWaypoint};
    // A gate outside the view draws nothing, and a long one only the dashes in it.
    for (Waypoint& waypoint : waypoints)
        waypoint.Draw(lines, localPlayer != nullptr ? &progress : nullptr, view);

    if (!drawSignposts)
        return;
    for (const Signpost& signpost : signposts)
    {
        const float r = Signpost::MarkerRadius;
        if (PolylineBoxes::OverlapsView(
                {signpost.position.x - r, signpost.position.x + r, signpost.position.y - r, signpost.position.y + r},
                view))
        {
            lines.currentColour = signpost.selected ? SelectedColour : Signpost::MarkerColour;
            signpost.DrawMarker(lines, view);
        }
    }
}

void Level::EndGame()
{
    if (localPlayer != nullptr)
    {
        InfoLog << "Level ended; the local player travelled " << localPlayer->distanceTravelled << " units.";
        InfoLog.EndMessage();
    }
    DestroyPhysicsWorld();
    for (Trinket& trinket : trinkets)
        trinket.timer = 0.0f;
}
