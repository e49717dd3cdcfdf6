#include "Level.h"

#include <cstring>

#include <box2d/box2d.h>

#include "ByteBlob.h"
#include "LogChannel.h"
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
    try
    {
        start.ReadFields(blob);

        WorldShape shape;
        shape.levelTime = &time;
        while (shape.Deserialise(blob))
            worldShapes.PushBack(shape);

        Trinket trinket;
        while (trinket.Deserialise(blob))
        {
            trinket.timer = 0.0f;
            trinkets.PushBack(trinket);
        }

        Waypoint waypoint;
        waypoint.index = -1;
        waypoint.previous = -1;
        waypoint.levelTime = &time;
        while (waypoint.Deserialise(blob))
            waypoints.PushBack(waypoint);

        Signpost signpost;
        while (signpost.Deserialise(blob))
            signposts.PushBack(signpost);
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

    uint64_t compiledPoints = 0;
    for (const WorldShape& read : worldShapes)
    {
        compiledPoints += read.CompiledPointCount();
        if (compiledPoints > MaxCompiledPoints)
            return Refuse("its world shapes are too large to compile (more than " + std::to_string(MaxCompiledPoints) +
                          " edge samples)");
    }
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

    uint64_t texels = 0;
    for (const WorldShape& shape : worldShapes)
        for (const ShapeSegment& segment : shape.segments)
        {
            uint64_t width = 0;
            uint64_t height = 0;
            segment.GetDataTextureSize(width, height);
            if (width > ShapeSegment::MaxDataTextureSide || height > ShapeSegment::MaxDataTextureSide)
                return Refuse("a magnetic edge is too long for its field (" + std::to_string(width) + " by " +
                              std::to_string(height) + " texels)");
            texels += width * height;
            if (texels > MaxDataTexels)
                return Refuse("its magnetic edges need more than " + std::to_string(MaxDataTexels) +
                              " field texels");
        }
    return true;
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
    // Fresh arrays rather than emptied ones: spare slots would otherwise keep the old shapes'
    // segments and their data textures alive.
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
    for (WorldShape& shape : worldShapes)
    {
        shape.CreateBody(*world);
        shape.BuildSurfaceStrips();
    }
    for (Trinket& trinket : trinkets)
        trinket.CreateBody(*world);
    for (Waypoint& waypoint : waypoints)
        waypoint.CreateBody(*world);
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
