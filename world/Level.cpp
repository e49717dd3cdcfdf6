#include "Level.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "LogChannel.h"
#include "OverlapBudget.h"
#include "PhysicsStep.h"

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
    DestroyPhysicsWorld();
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
    try
    {
        start.ReadFields(blob);

        WorldShape shape;
        shape.levelTime = &time;
        while (shape.Deserialise(blob))
        {
            // The points are charged before their edges are measured, which costs a little time
            // for each. A point that a physics chain follows costs twice: it makes two boxes in
            // the physics world's tree, one for each side.
            if (!affords(ShapeRecordCost + PointRecordCost * shape.points.count))
                return Refuse(tooLarge);
            const WorldShape::CompiledSize size = shape.MeasureCompiled();
            if (!affords(size.points + size.chainedPoints))
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
            if (!affords(SignpostRecordCost + signpost.text.size() / SignpostTextBytesPerCost))
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
    return true;
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

bool Level::ReadFromBlob(ByteBlob& blob)
{
    Clear();
    if (!Deserialise(blob))
        return false;
    for (WorldShape& shape : worldShapes)
        shape.Compile();
    AllotDataTextures();
    return true;
}

void Level::AllotDataTextures()
{
    uint64_t texels = 0;
    uint32_t leftOut = 0;
    uint64_t widest = 0;
    for (WorldShape& shape : worldShapes)
        for (ShapeSegment& segment : shape.segments)
        {
            segment.fieldLeftOut = false;
            uint64_t width = 0;
            uint64_t height = 0;
            segment.GetDataTextureSize(width, height);
            if (width == 0 || height == 0)
                continue;
            const bool tooWide = width > ShapeSegment::MaxDataTextureSide || height > ShapeSegment::MaxDataTextureSide;
            if (tooWide || width * height > MaxDataTexels - texels)
            {
                segment.fieldLeftOut = true;
                ++leftOut;
                widest = std::max(widest, std::max(width, height));
                continue;
            }
            texels += width * height;
        }
    if (leftOut == 0)
        return;
    ErrorLog << LogLocation(__FILE__, 240) << "Level leaves out the magnet fields of " << leftOut
             << " edges (the largest " << widest << " texels across): a level builds at most " << MaxDataTexels
             << " field texels, and no field more than " << ShapeSegment::MaxDataTextureSide
             << " across. Those edges still pull and push.";
    ErrorLog.EndMessage();
}

void Level::BuildDataTextures()
{
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
    ErrorLog << LogLocation(__FILE__, 250) << "Level leaves " << budget.LeftOut()
             << " objects out of its physics world: their shapes overlap each other more than "
             << MaxStaticOverlaps << " times. They are drawn but nothing touches them.";
    ErrorLog.EndMessage();
}

void Level::DestroyPhysicsWorld()
{
    if (world == nullptr)
        return;
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
    ErrorLog << LogLocation(__FILE__, 220) << "Level could not be read: " << reason
             << ". The level is left empty.";
    ErrorLog.EndMessage();
    Clear();
    return false;
}

// Level play comes with the player: a level can be started and stepped, but nothing moves yet.
void Level::Start(int32_t, uint32_t) {}
bool Level::Update(float, GLFWwindow*) { return false; }
void Level::Draw(LineRenderer&, const float (&)[4], bool) {}
void Level::EndGame() {}
