#pragma once

#include <cstdint>
#include <map>
#include <string>

#include <enet/enet.h>

#include "ClientResponseAction.h"
#include "DynArray.h"
#include "LogChannel.h"
#include "LogRateLimit.h"
#include "PacketRecords.h"

class Level;
class Player;

/// What this machine is in a multiplayer game.
enum class NetworkRole : uint32_t
{
    None = 0,
    Server = 1, ///< hosts the lobby; player 0
    Client = 2, ///< joined a host's lobby; players 1 and up
};

/// The page of the lobby window; the window and the network events move it.
enum class LobbyState : uint32_t
{
    ChooseRole = 0,  ///< the player names himself and picks hosting or joining
    SetUpServer = 1, ///< names the lobby and creates it
    SetUpJoin = 2,   ///< enters the server's address and joins
    Hosting = 3,     ///< the host's page
    Connecting = 4,  ///< waiting for the server's answer
    Joined = 5,      ///< the client's page
};

/// What the server knows of one connected client (and a client of its server).
struct PeerInfo
{
    std::string name = "Anonymous"; ///< cleaned; "Anonymous" until the join record arrives
    int32_t playerNumber = -1;      ///< -1 until the join record arrives
    /// False once the connection was lost during a level: the entry keeps the number taken until
    /// the level ends, and goes when the lobby is back.
    bool connected = true;
    /// When the connection was made, in seconds of `LogRateLimit::Now`; a server gives a peer
    /// `NetworkManager::joinDeadline` from then to send its join record.
    double connectedAt = 0.0;
};

/// Multiplayer over ENet: one machine hosts a lobby (the server, player 0) and up to 16 others
/// join it (players 1 and up). It keeps the peers and their numbers and the lobby's message list,
/// tells the game when the host starts or ends a level, and while a level runs carries every
/// machine's own player state to the others, every third frame, with the host relaying. Every
/// machine loads the level from its own files; only player states travel.
///
/// Whatever a peer sends, each record is checked before use (its length, its texts, its player
/// number, its sender) and a record that fails is dropped with one rate-limited line: on
/// `ErrorLog` for a record of a type that the role does not take, a record while this machine has
/// no role, a connection outside the lobby's pages and a start and an end of a level in one frame;
/// on `WarningLog` for the rest. No line that a peer causes waits for a key.
///
/// The game holds one by value and calls `Update` first in every frame; the network library must
/// be initialised (`enet_initialize`) for as long as a manager has a host. Main thread only. The
/// manager does not own `level`.
class NetworkManager
{
public:
    /// The UDP port of the game.
    static constexpr uint16_t DefaultPort = 8096;
    /// The environment setting that gives the game another port than `DefaultPort`, so that a
    /// test can host and join without meeting any other game on the machine.
    static constexpr const char* PortSetting = "LEDROW_PORT";
    /// Clients one host takes; players are numbered 0 (the host) to this.
    static constexpr int32_t MaxClients = 16;
    /// Frames between two state records; never changed.
    static constexpr int32_t StateSendInterval = 3;
    /// Lobby lines kept; beyond this the oldest go, so that a chat flood cannot grow the list.
    static constexpr uint32_t MaxMessages = 512;
    /// Seconds a connected peer has to send its join record before the host drops it. The game's
    /// own client sends it on its connect event; this leaves it ample time to arrive over a link
    /// that loses a few datagrams, while a connection that never joins frees its slot soon.
    static constexpr double JoinDeadlineSeconds = 5.0;

    char serverAddressEntry[20] = {}; ///< the lobby's "ipEntry" field (at most 19 characters)
    char playerNameEntry[64] = {};    ///< "nameEntry" (at most 63)
    char lobbyNameEntry[64] = {};     ///< "lobbyName" (at most 63)
    char messageEntry[256] = {};      ///< "messageInput" (at most 255)
    LobbyState lobbyState = LobbyState::ChooseRole;
    NetworkRole role = NetworkRole::None;
    /// Server: any address on `port`; client: the server's address and `port`.
    ENetAddress address{};
    /// The ENet host; no network activity while null. Owned.
    ENetHost* host = nullptr;
    /// The level in play, set and cleared by the game's screens; this machine is in a game while
    /// it is non-null. Not owned.
    Level* level = nullptr;
    /// The first line of "externalIP.txt" (written by `FetchPublicAddress`), cleaned, read when hosting starts.
    std::string publicAddress;
    /// Server: one entry per connected client; client: the server's entry. Ordered by handle.
    std::map<ENetPeer*, PeerInfo> peers;
    std::string ownName = "Anonymous";
    /// Server 0; client: from the welcome and renumber records; -1 before.
    int32_t ownPlayerNumber = -1;
    /// The lobby's lines, oldest first, at most `MaxMessages`; each is also logged to `InfoLog`
    /// after "Lobby: ".
    DynArray<std::string> messages;
    /// Server: the lobby entry; client: from the welcome record.
    std::string lobbyName;
    int32_t stateSendInterval = StateSendInterval;
    /// The port that `StartServer` binds and `Join` connects to. The game keeps `DefaultPort`;
    /// tests give others (0 binds any free port).
    uint16_t port = DefaultPort;
    /// `Update` calls made while a host existed.
    int32_t frameCounter = 0;
    /// Seconds that a server gives a connected peer to send its join record; `JoinDeadlineSeconds`
    /// in the game, shorter in tests.
    double joinDeadline = JoinDeadlineSeconds;
    /// Why the last `StartServer` could not open its port, as the lobby's set-up page shows it
    /// under "Create server!"; empty after a start that worked and once that page is left.
    std::string serverFailure;
    /// How many lines about what peers sent reach the log: 10 in any 5 seconds.
    LogRateLimit dropLog{10, 5.0};
    /// How many lobby lines are copied to `InfoLog`: 30 in any 10 seconds, which no conversation
    /// reaches but which keeps a peer's chat flood out of the log file.
    LogRateLimit lobbyLog{30, 10.0};
    /// How many of the lines "A new client connected!" and "Someone disconnected!" reach
    /// `InfoLog`: as many in any minute as a lobby has clients, so that a lobby filling up at
    /// once is logged whole, while a peer that connects and drops again and again writes a few
    /// hundred bytes a minute. Apart from `dropLog`, so that neither kind of line can crowd out
    /// the other.
    LogRateLimit connectionLog{MaxClients, 60.0, "connections and disconnections"};

    /// The port that `setting` (the value of `PortSetting`, null when it is not set) names: a
    /// whole number from 1 to 65535 in decimal. Anything else gives `DefaultPort`, with one line
    /// on `WarningLog` unless the setting is absent or empty.
    static uint16_t PortFromSetting(const char* setting);

    NetworkManager() = default;
    /// Closes a hosted server or leaves a joined game, then destroys the host.
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    /// What the destructor does, for an owner that must be done with the network library before
    /// it deinitialises it: closes a hosted server or leaves a joined game, then destroys the
    /// host. The manager can host or join again afterwards.
    void Shutdown();

    /// Once per frame, before anything else of the frame: sends this machine's player state every
    /// `stateSendInterval` frames while a level runs, then handles every network event that is
    /// ready, without waiting. Returns the frame's start or end of a level, if any.
    ClientResponseAction Update();

    /// Becomes the server on `port` with `playerNameEntry` and `lobbyNameEntry`, and reads the
    /// public address. A failure is logged, with the port and the system's reason on
    /// `WarningLog` and in `serverFailure`, and changes nothing else.
    void StartServer();
    /// Stops being the server: every client is told at once, then the host goes.
    void CloseServer();
    /// Starts a connection to `addressText` (a dotted IPv4 address or a host name) on `port`.
    /// The role becomes `Client` when the connection is made (`Update`); until then the attempt
    /// has the library's own time-out, half a minute where nobody answers. False, with a log
    /// line, when no connection attempt could be started.
    bool Join(const std::string& addressText);
    /// Stops being a client.
    void Leave();
    /// One chat line (cut to 255 characters): a server shows it and sends it to everybody, a
    /// client sends it to the server, which sends it back.
    void SendChat(const std::string& text);
    /// The number of players of a level this machine starts as host: the clients plus 1.
    int32_t GetPlayerCount();

    /// Handles one received record of `length` bytes from `from`; `data` need not be aligned.
    /// Called by `Update` only (and by tests and the fuzz target).
    ClientResponseAction HandlePacket(const uint8_t* data, size_t length, ENetPeer* from);

    /// Appends name + " has left the server." to the lobby's lines.
    void AddLeftMessage(const std::string& name);
    /// Appends name + ": " + text to the lobby's lines.
    void AddChatMessage(const std::string& name, const std::string& text);
    /// Closes the gap that `departedNumber` left in the lobby: every later client moves down by
    /// one and is told its new number.
    void ReshufflePlayers(int32_t departedNumber);

    /// Host only: tells every client to start `levelName` with `GetPlayerCount` players, before
    /// the host loads it. False, with a line in the lobby, when the name cannot travel (see
    /// `IsShareableLevelName`); nothing is sent then.
    bool AnnounceLevelStart(const std::string& levelName);
    /// Client: the host started `levelName`, which this machine cannot play (`why` says why, in a
    /// few words): one line in the lobby, which also goes to `WarningLog` like a dropped record
    /// (a host can name any file, and as often as it likes), and this machine stays in the lobby,
    /// still connected, for the next level.
    void MissSharedLevel(const std::string& levelName, const std::string& why);
    /// Host only: tells every client that the level is over.
    void AnnounceLevelEnd();
    /// Client only: tells the server that this player left its level.
    void AnnounceDeparture();
    /// The level-select screen's "Back": closes a hosted server, leaves a joined game or drops a
    /// connection attempt still under way, and turns the lobby back to its first page.
    void LeaveLobby();
    /// Whether a level button may be used on the level-select screen: not by a client, and while
    /// hosting not for a level whose name cannot travel.
    bool CanChooseLevel(const std::string& levelName) const;

    /// The lobby window: one page per `lobbyState`. Needs a user-interface frame; main thread.
    void DrawLobby();
    /// The lobby's lines in a scrolling region; drawn by `DrawLobby` on the host's and the
    /// client's pages.
    void DrawMessageArea();

    /// Queues a copy of `record` to the server (the first peer of `peers`) on channel 0.
    template <typename Record>
    void SendPacketToServer(const Record& record)
    {
        if (role != NetworkRole::Client)
        {
            ErrorLog << LogLocation(__FILE__, 107) << "Attempted to send packet to server on non-client machine.";
            ErrorLog.EndMessage();
        }
        if (!peers.empty())
            SendBytes(peers.begin()->first, &record, sizeof(Record), Record::Flags);
    }

    /// Queues a copy of `record` to `peer` on channel 0.
    template <typename Record>
    void SendPacketToClient(ENetPeer* peer, const Record& record)
    {
        if (role != NetworkRole::Server)
        {
            ErrorLog << LogLocation(__FILE__, 123) << "Attempted to send packet to client on non-server machine.";
            ErrorLog.EndMessage();
        }
        SendBytes(peer, &record, sizeof(Record), Record::Flags);
    }

    /// Queues a copy of `record` to every connected peer of the host on channel 0.
    template <typename Record>
    void BroadcastPacket(const Record& record)
    {
        if (role != NetworkRole::Server)
        {
            ErrorLog << LogLocation(__FILE__, 136) << "Attempted to broadcast packet on non-server machine.";
            ErrorLog.EndMessage();
        }
        BroadcastBytes(&record, sizeof(Record), Record::Flags);
    }

private:
    void SendBytes(ENetPeer* peer, const void* bytes, size_t size, enet_uint32 flags);
    void BroadcastBytes(const void* bytes, size_t size, enet_uint32 flags);
    /// Destroys the host, after sending what it has queued, and forgets its peers.
    void DropHost();
    /// Caps what one peer may make this host buffer.
    void LimitHost();
    /// `publicAddress` := the first line of `PublicAddressFile`, when the file can be read.
    void ReadPublicAddress();
    /// The chat field and its "Send message" button.
    void DrawChatEntry();

    void SendOwnState();
    /// Server: disconnects every connected peer that has not sent its join record within
    /// `joinDeadline`, which frees its slot at once.
    void DropPeersThatNeverJoined();
    void HandleConnect(ENetPeer* peer);
    void HandleDisconnect(ENetPeer* peer);
    ClientResponseAction HandleServerPacket(uint32_t type, const uint8_t* data, size_t length, ENetPeer* from);
    ClientResponseAction HandleClientPacket(uint32_t type, const uint8_t* data, size_t length);
    /// Reads one record for its handler; a record that cannot be used is logged and false.
    template <typename Record>
    bool Read(const uint8_t* data, size_t length, Record& record);

    /// The player numbered `number` of the level in play that a peer may drive: in the level,
    /// not this machine's own, not departed, with a body. Null otherwise.
    Player* RemotePlayer(int64_t number);
    void ApplyState(Player& player, const PlayerNetState& state);
    /// Marks player `number` departed and removes its body, if it is a remote player in play.
    void DepartPlayer(int64_t number);
    /// Tells every client that the player of `info` left, by name and number.
    void BroadcastLeft(const PeerInfo& info);
    /// The smallest client number that no other peer holds.
    int32_t FreePlayerNumber(ENetPeer* except) const;
    /// Back in the lobby after a level: forgets peers lost during it and closes the gaps in the
    /// numbering that departures left.
    void TidyLobby();
    void AddMessage(std::string line);
    /// Writes one line about something a peer sent or did to `channel`, after the location prefix
    /// of `line`, unless too many went out lately; it never waits for a key.
    void LogDrop(LogChannel& channel, int line, const std::string& text);
    /// Whether the level in play has a player `number`; when not, the record (`what`, as in "a
    /// state from player") is logged as dropped.
    bool InLevel(int64_t number, const std::string& what);
    /// Whether `state` of player `number` is usable; when not, the record is logged as dropped.
    bool UsableState(const PlayerNetState& state, int64_t number, const std::string& what);
    /// Whether `number` can be a client's number in a lobby; when not, the record is logged as
    /// dropped.
    bool ClientNumber(uint32_t number, const std::string& what);
};
