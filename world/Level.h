#pragma once

#include <cstdint>
#include <string>

#include "DynArray.h"
#include "LevelStart.h"
#include "Player.h"
#include "Serialisable.h"
#include "Signpost.h"
#include "Trinket.h"
#include "Waypoint.h"
#include "WorldShape.h"

class b2ContactListener;
class b2World;
class ByteBlob;
class Camera;
class LineRenderer;
struct GLFWwindow;
struct PlayInput;

/// The whole content of one level in memory: its start, world shapes, trinkets, waypoints and
/// signposts as a level file holds them, plus the run-time parts of a game in progress (the
/// physics world and its listener, the play clock). It is the only record in a level file.
///
/// A level owns every object in its arrays. Shapes and waypoints point at its `time`, and the
/// physics fixtures point into its arrays, so a level never moves or copies: it is made with
/// `new` or as a local and stays where it is. Main thread only.
///
/// Loading comes in two steps, so that everything that can go wrong with a file is found without
/// a GPU: `ReadFromFile` / `ReadFromBlob` read, check and compile the level (no GL), and
/// `BuildDataTextures` uploads the magnet fields (GL). `LoadFromFile` does both and is what the
/// play screen and the editor call with the window's context current.
///
/// What a level file may hold. Level files come from anywhere, so reading and starting one is
/// bounded in time and memory whatever it holds (a few hundred megabytes and a couple of seconds
/// at the very worst), and the rules below decide what happens to a file that asks for more:
/// - A damaged file is refused: a record cut short, a coordinate that is not finite or lies
///   beyond `MaxWorldCoordinate`, a signpost whose text is not a string record. So is a file
///   that could not be held at all: one larger than `MaxFileBytes`, or one whose records cost
///   more than `MaxLoadCost` (see there; counted as they are read, so reading stops at the
///   record that goes over). A refused file leaves the level empty and usable, with one line
///   in `WarningLog`. Only coordinates that the game uses count: a handle of a straight edge,
///   which shapes nothing, is moved when it lies beyond the world instead (see
///   `WorldShape::RepairUnusedHandles`), with one line in `WarningLog` for all of them.
/// - A level over one of the budgets below still loads; what does not fit is left out, with one
///   line in `WarningLog` for each kind: magnet fields beyond `MaxDataTexels` or wider or taller
///   than `ShapeSegment::MaxDataTextureSide` are not built (the edges still pull and push; the
///   magnetism channel just does not show them; see `AllotDataTextures`), and objects whose
///   physics would overlap beyond `MaxStaticOverlaps` get no body (see `CreatePhysicsWorld`).
///   Both budgets are applied where the fields and bodies are made, so a level that the editor
///   has changed is held to them as a loaded one is.
/// - Drawing adds only what the view shows (`ShapeSegment::Draw`, `SurfaceStrip::Draw`,
///   `Waypoint::Draw`, `WorldShape::DrawEditor`, `Signpost::DrawMarker`), so a frame costs what
///   is on screen, however long the level's edges.
/// - Records after the first one out of order, and bytes after the last signpost, are ignored;
///   the level still loads.
class Level final : public Serialisable
{
public:
    static constexpr uint32_t TypeId = 4;

    /// The largest level file that is read at all, in bytes. Every level within `MaxLoadCost`
    /// fits in a few megabytes, so a larger file either holds too much to load or is mostly bytes
    /// that are no record; it is refused before anything is read.
    static constexpr uint64_t MaxFileBytes = 16u * 1024u * 1024u;

    /// What the records of one level may cost, counted as they are read. A unit is about what
    /// one compiled point of an edge costs once its shape is compiled, filled, drawn and given
    /// its two-sided physics chains: a few hundred bytes and a few microseconds to read and
    /// start. Each record costs its fixed part below, each shape edge as many units as the
    /// points it compiles to (twice as many when its physics chain follows them: a curved or
    /// Jagged edge), and a signpost one unit more for every `SignpostTextBytesPerCost` bytes of
    /// its text. Some records cost more than their bytes: the physics library visits every body
    /// on every step, and a frame that shows the whole level draws every gate's posts and rings
    /// (some two hundred lines), every signpost's marker and every shape point's handles.
    /// 250,000 units hold some 12,000 to 25,000 world units of edges, 30,000 trinkets or
    /// 7,000 gates.
    static constexpr uint64_t MaxLoadCost = 250'000;
    static constexpr uint64_t ShapeRecordCost = 8;
    /// A shape point with its edge, before the points the edge compiles to.
    static constexpr uint64_t PointRecordCost = 4;
    static constexpr uint64_t TrinketRecordCost = 8;
    static constexpr uint64_t WaypointRecordCost = 32;
    static constexpr uint64_t SignpostRecordCost = 8;
    static constexpr uint64_t SignpostTextBytesPerCost = 16;
    /// What a world shape of `pointCount` points whose edges compile to `size` costs towards
    /// `MaxLoadCost`.
    static uint64_t ShapeLoadCost(uint32_t pointCount, const WorldShape::CompiledSize& size);
    /// What a signpost costs towards `MaxLoadCost`, its text included.
    static uint64_t SignpostLoadCost(const Signpost& signpost);

    /// The most magnet-field texels that a level builds, over all its magnetic edges, however it
    /// came by them (loaded, edited, or both): 64 megabytes of half-float texels on the GPU, some
    /// three hundred unit-long magnet edges or thirty ten-unit ones. The fields of the edges
    /// beyond it are left out (`AllotDataTextures`). No single field may be larger either.
    static constexpr uint64_t MaxDataTexels = ShapeSegment::MaxDataTextureTexels;
    /// The most players a game can have: far more than a full lobby (a host and its 16 peers), so
    /// only a damaged start asks for more.
    static constexpr int32_t MaxPlayers = 64;

    /// The camera in play: it looks ahead along the local player's velocity by this many seconds
    /// of motion, closes on that point at `CameraFollowRate` per second, and widens its view from
    /// `CameraBaseHeight` by `CameraHeightPerSpeed` for every unit of speed above
    /// `CameraWideningSpeed`.
    static constexpr float CameraLookAhead = 15.0f;
    static constexpr float CameraFollowRate = 5.0f;
    static constexpr float CameraBaseHeight = 8.0f;
    static constexpr float CameraHeightPerSpeed = 1.5f;
    static constexpr float CameraWideningSpeed = 5.0f;

    /// How many overlaps of fixture boxes the static bodies of a level may make in its physics
    /// world (see `OverlapBudget`): about twice what the largest level within `MaxLoadCost`
    /// needs when its edges do not lie over each other (a chain's boxes overlap some fifteen
    /// others), and well under a second to start.
    static constexpr uint64_t MaxStaticOverlaps = 8'000'000;

    /// Where the players appear.
    LevelStart start;
    /// The closed outlines of the world, held by value.
    DynArray<WorldShape> worldShapes;
    /// The players of a game in progress; empty outside play.
    DynArray<Player> players;
    DynArray<Trinket> trinkets;
    /// In file order, which is the order of the checkpoint ring.
    DynArray<Waypoint> waypoints;
    DynArray<Signpost> signposts;
    /// The player steered on this machine, an element of the players; null outside play.
    Player* localPlayer = nullptr;
    /// The physics world of a game in progress, owned; null outside play.
    b2World* world = nullptr;
    /// Owned and installed in `world`; null outside play.
    b2ContactListener* contactListener = nullptr;
    /// Seconds of play; shapes, segments and waypoints point at it for their animations.
    float time = 0.0f;
    /// The game base's camera, shared, not owned.
    Camera* camera = nullptr;

    /// An empty level: no objects, the start at the origin, the clock at 0.
    explicit Level(Camera* sharedCamera);
    /// Destroys the physics world, then every object.
    ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
    Level(Level&&) = delete;
    Level& operator=(Level&&) = delete;

    uint32_t GetTypeId() override { return TypeId; }
    /// Appends the level record: tag 4, the start's position and reserved value, then the records
    /// of every world shape, trinket, waypoint and signpost, each kind in array order.
    void Serialise(ByteBlob& blob) override;
    /// Replaces the level's objects with those of the record at the cursor. Each list of objects
    /// ends where the next tag is not its own, so the lists are read only in the order shapes,
    /// trinkets, waypoints, signposts, and a record out of that order ends the reading (the load
    /// still succeeds; what follows is not read). False, with the level untouched and nothing
    /// read or logged, when the next u32 is not 4 (or the blob is in write mode, which the blob
    /// logs). False, with the level left empty and one line in `WarningLog`, when the record is
    /// damaged (cut short, a coordinate that the game uses not finite or beyond
    /// `MaxWorldCoordinate`) or costs more than `MaxLoadCost`. Straight edges' handles beyond the
    /// world are moved, said in one line. Does not compile.
    bool Deserialise(ByteBlob& blob) override;

    /// `ReadFromFile`, then `BuildDataTextures`: the level as the game plays it. Needs a current
    /// GL context. A file that cannot be used leaves the level empty (see `ReadFromBlob`).
    bool LoadFromFile(const std::string& path);
    /// Reads the level file at `path` into this level and compiles it, without GL. A file larger
    /// than `MaxFileBytes` is refused unread. The byte blob logs a file that cannot be opened or
    /// is no byte blob; see `ReadFromBlob` for the rest.
    bool ReadFromFile(const std::string& path);
    /// `ReadFromFile` for a level that another machine named (the host's start of a shared
    /// level): this machine may lack the file, or hold something else under that name. Nothing
    /// here reaches `ErrorLog`, whose lines wait for a key: only a regular file of at most
    /// `MaxFileBytes` is read, a file without a blob's header is not handed to the blob, and a
    /// damaged level is refused on `WarningLog` as `ReadFromBlob` does. False, with the level
    /// empty and `why` saying what is wrong in a few words, when there is no level to play.
    bool ReadSharedFile(const std::string& path, std::string& why);
    /// Empties the level, then `Deserialise`s the blob and compiles every shape, without GL. True
    /// when the level was read; false when the blob holds no level or one that is damaged or too
    /// large: then the level is left empty and usable, and the fault is logged once.
    bool ReadFromBlob(ByteBlob& blob);
    /// Decides, without GL, which magnet fields `BuildDataTextures` builds, and answers their
    /// texels. The fields are taken in shape order and, within a shape, edge order; each one is
    /// kept when it is no wider or taller than `ShapeSegment::MaxDataTextureSide` and fits in what
    /// the fields kept before it leave of `MaxDataTexels` (so a small field after a large one
    /// left out may still be kept). Every other is marked `ShapeSegment::fieldLeftOut`, and one
    /// line in `WarningLog` counts them and names the first few by shape and edge. The shapes
    /// must be compiled.
    uint64_t AllotDataTextures();
    /// Builds the data texture of every magnetic segment whose field `AllotDataTextures` keeps,
    /// deleting the others'. Every path that builds fields (loading a file, the editor's load and
    /// its play-test after edits) comes through here, so none builds more than `MaxDataTexels`.
    /// Needs a current GL context.
    void BuildDataTextures();

    /// Destroys any physics world and every object, and puts the start back at the origin and
    /// the clock at 0: the level as it was made.
    void Clear();

    /// Makes the physics world of the level's objects without a game: gravity (0, -5); a static
    /// body for every world shape, which then builds its surface strips; the trinkets' sensors and
    /// the waypoints' gates. A world that exists already is destroyed first. `Start` does this and
    /// adds the players and the contact rules. The level's arrays must not change size while the
    /// world exists. The bodies are made in file order while their overlaps fit
    /// `MaxStaticOverlaps`; from the first that does not, the rest get none (they are still
    /// drawn), said in one line.
    void CreatePhysicsWorld();
    /// Destroys the players, the physics world with all its bodies, and the contact listener, and
    /// drops the shapes' surface strips: the level is back in its edit-time state.
    void DestroyPhysicsWorld();

    /// Turns the loaded level into a running game of `playerCount` players, all at the level
    /// start and upright, player `localIndex` steered on this machine: a physics world with the
    /// players' bodies, the world objects' bodies and the contact rules, and the gates numbered
    /// into a ring in array order. A game in progress is ended first, so starting twice is a
    /// restart. A count outside 1 to `MaxPlayers`, or a local index not below the count (a stale
    /// number from a peer), is refused with one line in `WarningLog`: the level is left unstarted
    /// and the answer is false.
    bool Start(int32_t playerCount, uint32_t localIndex);
    /// One frame of play, `dt` seconds of play (the frame step times `PhysicsStep::TimeScale`),
    /// with the local player's controls and the level's keys read from `window` (only controllers
    /// when null). True while Escape is down.
    bool Update(float dt, GLFWwindow* window);
    /// One frame of play with `input` as what is held: steps the world, applies the local
    /// player's controls, respawns it while R is held, moves the camera after it and updates
    /// every player. Answers whether Escape is held. A level that is not in play only answers.
    bool Update(float dt, const PlayInput& input);
    /// Puts the level's lines into `lines`: the shapes that meet `view` (minX, maxX, minY, maxY),
    /// as surface strips in play and as segments in the editor, the shown trinkets, the players,
    /// the gates and, when `drawSignposts`, the signpost markers. Only what can show in the view
    /// is drawn, apart from the players.
    void Draw(LineRenderer& lines, const float (&view)[4], bool drawSignposts);
    /// Ends a game in progress: players, physics world and listener go, trinkets come back, and
    /// `InfoLog` is told how far the local player travelled. The level is left as it was loaded
    /// and can be drawn, edited or started again.
    void EndGame();

    /// What a file written from this level costs to read, towards `MaxLoadCost`: the loader's
    /// count over every record, from the shapes as they are compiled now. Cheap: it reads counts.
    uint64_t LoadCost() const;

private:
    /// The bodies of the world shapes (with their surface strips), trinkets and waypoints, within
    /// `MaxStaticOverlaps`.
    void CreateObjectBodies();
    /// Puts the local player back at its checkpoint at rest, its trails and the camera with it,
    /// and brings every trinket back.
    void Respawn(Player& player);
    /// R was held in the previous frame, so a respawn held down is told once.
    bool respawnHeld = false;

    /// Logs why the level could not be read, once, and empties it. Always false.
    bool Refuse(const std::string& reason);
};
