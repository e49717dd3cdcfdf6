// What a peer may send that breaks the protocol's limits, sent as raw packets over loopback: each
// record is dropped with one line in the log that never waits for a key, and nothing it carries
// reaches the lobby or the level.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ConnectRequest.h"
#include "HandshakeGuard.h"
#include "LogWatch.h"
#include "LoopbackLobby.h"
#include "TypedKeyOnTerminal.h"

using namespace net_testing;

namespace
{
std::vector<uint8_t> Raw(std::initializer_list<uint8_t> bytes)
{
    return bytes;
}

/// A record of `type` that is `size` bytes long, every byte after the type `fill`.
std::vector<uint8_t> Typed(uint32_t type, size_t size, uint8_t fill = 0)
{
    std::vector<uint8_t> bytes(std::max<size_t>(size, 4), fill);
    std::memcpy(bytes.data(), &type, sizeof(type));
    bytes.resize(size);
    return bytes;
}

template <typename Record>
std::vector<uint8_t> Cut(const Record& record, size_t size)
{
    std::vector<uint8_t> bytes = BytesOf(record);
    bytes.resize(size);
    return bytes;
}

JoinPacket JoinAs(const std::string& name)
{
    JoinPacket record;
    CopyText(record.name, name);
    return record;
}

ChatToServerPacket ChatUnterminated()
{
    ChatToServerPacket record;
    std::memset(record.text, 'c', sizeof(record.text));
    return record;
}

PlayerNetState Moving()
{
    PlayerNetState state;
    state.positionX = 3.0f;
    state.velocityX = 1.0f;
    state.rotateInput = 1.0f;
    state.brakeHeld = 1;
    return state;
}

ClientStatePacket ClientState(PlayerNetState state)
{
    ClientStatePacket record;
    record.state = state;
    return record;
}

PlayerStatePacket PlayerState(uint32_t number, PlayerNetState state)
{
    PlayerStatePacket record;
    record.playerNumber = number;
    record.state = state;
    return record;
}

PlayerNetState NotANumber()
{
    PlayerNetState state = Moving();
    state.positionY = std::numeric_limits<float>::quiet_NaN();
    return state;
}

PlayerLeftPacket Left(const std::string& name, uint32_t number)
{
    PlayerLeftPacket record;
    CopyText(record.name, name);
    record.playerNumber = number;
    return record;
}

/// A host of the library's own that connects to the lobby on loopback and says nothing of the
/// game: from any address with two slots, or bound to `from` (a loopback address of its own, as
/// another machine) with `slots` of them.
class BareHost
{
public:
    int connects = 0;
    int disconnects = 0;

    explicit BareHost(uint16_t port, const char* from = nullptr, size_t slots = 2)
    {
        ENetAddress bound{};
        if (from != nullptr)
            enet_address_set_host(&bound, from);
        source = bound.host;
        host = enet_host_create(from != nullptr ? &bound : nullptr, slots, 2, 0, 0);
        enet_address_set_host(&lobby, "127.0.0.1");
        lobby.port = port;
    }
    ~BareHost()
    {
        if (host != nullptr)
            enet_host_destroy(host);
    }
    BareHost(const BareHost&) = delete;
    BareHost& operator=(const BareHost&) = delete;

    bool Ready() const { return host != nullptr; }
    /// The address it was bound to; 0 (any) when none was given.
    enet_uint32 Source() const { return source; }
    ENetPeer* Connect() { return enet_host_connect(host, &lobby, 2, 0); }
    /// Handles whatever has arrived, counting connections made and lost.
    void Service()
    {
        ENetEvent event;
        while (enet_host_service(host, &event, 0) > 0)
        {
            connects += event.type == ENET_EVENT_TYPE_CONNECT ? 1 : 0;
            disconnects += event.type == ENET_EVENT_TYPE_DISCONNECT ? 1 : 0;
            if (event.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(event.packet);
        }
    }
    /// Opens connections until `wanted` are open or under way, with at most `atOnce` attempts
    /// under way: reopens each one that the host dropped.
    void KeepOpen(size_t wanted, size_t atOnce)
    {
        size_t open = 0;
        size_t attempts = 0;
        for (size_t i = 0; i < host->peerCount; ++i)
        {
            open += host->peers[i].state != ENET_PEER_STATE_DISCONNECTED ? 1 : 0;
            attempts += host->peers[i].state == ENET_PEER_STATE_CONNECTING ? 1 : 0;
        }
        for (; open < wanted && attempts < atOnce; ++open, ++attempts)
            Connect();
    }

private:
    ENetHost* host = nullptr;
    ENetAddress lobby{};
    enet_uint32 source = 0;
};

/// The slots of `host` that peers from `address` hold, whatever their state.
size_t SlotsHeldFrom(const ENetHost& host, enet_uint32 address)
{
    size_t held = 0;
    for (size_t i = 0; i < host.peerCount; ++i)
        held += host.peers[i].state != ENET_PEER_STATE_DISCONNECTED && host.peers[i].address.host == address ? 1 : 0;
    return held;
}

size_t LinesStartingWith(const std::vector<std::string>& lines, const std::string& start)
{
    size_t count = 0;
    for (const std::string& line : lines)
        count += line.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

enum class Route
{
    AdaToServer,
    BoToServer,
    ServerToAda,
};

struct HostileCase
{
    const char* what;
    Route route;
    bool inLevel;
    std::vector<uint8_t> bytes;
    std::string logged; ///< in the one line logged; empty when the record is ignored without one
    LogChannel* channel; ///< where that line goes: the game's own errors stay errors, our drops are warnings
    uint8_t enetChannel = 0;
    bool addsLobbyLine = false;
};

class HostilePeers : public LoopbackLobby
{
protected:
    NetworkManager* ada = nullptr;
    NetworkManager* bo = nullptr;

    void SetUp() override
    {
        LoopbackLobby::SetUp();
        Host();
        ada = &Join("Ada");
        bo = &Join("Bo");
    }

    /// Everything that a dropped record must leave as it was.
    void ExpectLobbyUntouched(const char* what)
    {
        ASSERT_EQ(server.peers.size(), 2u) << what;
        for (const auto& [peer, info] : server.peers)
            EXPECT_TRUE((info.name == "Ada" && info.playerNumber == 1) || (info.name == "Bo" && info.playerNumber == 2))
                << what << ": " << info.name << " is player " << info.playerNumber;
        EXPECT_EQ(ada->ownPlayerNumber, 1) << what;
        EXPECT_EQ(bo->ownPlayerNumber, 2) << what;
        EXPECT_EQ(ada->lobbyName, "Den") << what;
        EXPECT_TRUE(actions[ada].empty() && actions[bo].empty()) << what << ": a start or end came through";
    }

    static void ExpectPlayersAtRest(const Level& level, const char* what)
    {
        for (uint32_t i = 0; i < level.players.count; ++i)
        {
            const Player& player = level.players[i];
            EXPECT_FALSE(player.departed) << what << ": player " << i;
            ASSERT_NE(player.body, nullptr) << what << ": player " << i;
            EXPECT_EQ(player.body->GetPosition().x, 0.0f) << what << ": player " << i << " moved";
            EXPECT_FALSE(player.brakeHeld) << what << ": player " << i;
        }
    }
};
} // namespace

TEST_F(HostilePeers, EveryRecordBreakingALimitIsDroppedWithOneLine)
{
    const std::vector<HostileCase> cases = {
        {"empty packet", Route::AdaToServer, false, {}, "[NetworkManager.cpp:602]Dropped an empty packet.", &WarningLog},
        {"three bytes", Route::AdaToServer, false, Raw({6, 0, 0}), "Dropped a packet of 3 bytes, too short for a record.", &WarningLog},
        {"unknown type", Route::AdaToServer, false, Typed(12, 72), "[NetworkManager.cpp:388]Received bad packet type for server.", &ErrorLog},
        {"largest type", Route::AdaToServer, false, Typed(0xFFFFFFFFu, 8), "Received bad packet type for server.", &ErrorLog},
        {"a record for clients", Route::AdaToServer, false, BytesOf(WelcomePacket{}), "Received bad packet type for server.", &ErrorLog},
        {"join cut short", Route::AdaToServer, false, Cut(JoinAs("Mallory"), 10), "Dropped a record of type 0: 10 bytes where 68 are needed.", &WarningLog},
        {"join without NUL", Route::AdaToServer, false, Typed(0, 68, 'm'), "Dropped a record of type 0: a text without its terminating NUL.", &WarningLog},
        {"second join", Route::AdaToServer, false, BytesOf(JoinAs("Mallory")), "Dropped a second join record from player 1.", &WarningLog},
        {"chat without NUL", Route::AdaToServer, false, BytesOf(ChatUnterminated()), "Dropped a record of type 5: a text without", &WarningLog},
        {"chat on channel 1", Route::AdaToServer, false, BytesOf(ChatToServerPacket{}), "Dropped a packet on channel 1", &WarningLog, 1},
        {"state cut short", Route::AdaToServer, true, Cut(ClientState(Moving()), 20), "Dropped a record of type 9: 20 bytes where 40 are needed.", &WarningLog},
        {"state not a number", Route::AdaToServer, true, BytesOf(ClientState(NotANumber())), "Dropped a state from player 1 with numbers outside the world.", &WarningLog},
        {"state of a player the level lacks", Route::BoToServer, true, BytesOf(ClientState(Moving())), "Dropped a state from player 2, who has no player in the level in play.", &WarningLog},
        {"a record for the server", Route::ServerToAda, false, BytesOf(JoinAs("x")), "[NetworkManager.cpp:467]Received bad packet type for client.", &ErrorLog},
        {"unknown type to a client", Route::ServerToAda, true, Typed(99, 44), "Received bad packet type for client.", &ErrorLog},
        {"welcome as player 0", Route::ServerToAda, false, BytesOf(WelcomePacket{}), "Dropped a welcome naming player 0", &WarningLog},
        {"renumber to -1", Route::ServerToAda, false, BytesOf(RenumberPacket{PacketRenumber, 0xFFFFFFFFu}), "Dropped a new number 4294967295", &WarningLog},
        {"renumber cut short", Route::ServerToAda, false, Raw({4, 0, 0, 0, 2}), "Dropped a record of type 4: 5 bytes where 8 are needed.", &WarningLog},
        {"start of a path", Route::ServerToAda, false, BytesOf(StartRecord("../../config.json", 2)), "which is no level file name", &WarningLog},
        {"start of a device", Route::ServerToAda, false, BytesOf(StartRecord("/dev/zero.lrl", 2)), "which is no level file name", &WarningLog},
        {"start for a crowd", Route::ServerToAda, false, BytesOf(StartRecord("Cave.lrl", 100000)), "with 100000 players, more than a lobby holds", &WarningLog},
        {"start without NUL", Route::ServerToAda, false, Typed(7, 72, 'L'), "Dropped a record of type 7: a text without", &WarningLog},
        {"chat name without NUL", Route::ServerToAda, false, Typed(6, 324, 'n'), "Dropped a record of type 6: a text without", &WarningLog},
        {"state of a player the level lacks", Route::ServerToAda, true, BytesOf(PlayerState(7, Moving())), "Dropped a state of player 7, who has no player in the level in play.", &WarningLog},
        {"state not a number", Route::ServerToAda, true, BytesOf(PlayerState(0, NotANumber())), "Dropped a state of player 0 with numbers outside the world.", &WarningLog},
        // Ignored without a line: nothing is wrong with them, they are just not for this machine.
        {"own state relayed back", Route::ServerToAda, true, BytesOf(PlayerState(1, Moving())), "", nullptr},
        {"own departure", Route::ServerToAda, true, BytesOf(Left("Ada", 1)), "", nullptr, 0, true},
        {"departure of a player who joined during the level", Route::ServerToAda, true, BytesOf(Left("Cy", 2)), "", nullptr, 0, true},
        {"state without a level", Route::AdaToServer, false, BytesOf(ClientState(Moving())), "", nullptr},
        {"departure without a level", Route::AdaToServer, false, BytesOf(DepartedPacket{}), "", nullptr},
    };

    for (NetworkManager* manager : {&server, ada, bo})
        manager->dropLog = LogRateLimit(1000, 1.0);
    Level hostLevel(&camera), adaLevel(&camera);
    StartLevel(hostLevel, 2, 0);
    StartLevel(adaLevel, 2, 1);
    // As under a console: a line that waited for a key would take one of these.
    const std::string keys = std::string(63, 'k') + "\n";
    TypedKeyOnTerminal console(keys);
    ASSERT_TRUE(console.Ready());

    for (const HostileCase& c : cases)
    {
        server.level = c.inLevel ? &hostLevel : nullptr;
        ada->level = c.inLevel ? &adaLevel : nullptr;
        const uint32_t serverLines = server.messages.count;
        const uint32_t adaLines = ada->messages.count;
        LogWatch errors(ErrorLog);
        LogWatch warnings(WarningLog);

        ENetPeer* to = c.route == Route::ServerToAda ? PeerOf(*ada) : ServerPeer(c.route == Route::BoToServer ? *bo : *ada);
        SendRaw(to, c.bytes, c.enetChannel);
        Settle(40);

        const std::vector<std::string> lines = c.channel == &ErrorLog ? errors.Lines() : warnings.Lines();
        const std::vector<std::string> others = c.channel == &ErrorLog ? warnings.Lines() : errors.Lines();
        EXPECT_TRUE(others.empty()) << c.what << ": " << (others.empty() ? "" : others.front());
        if (c.logged.empty())
        {
            EXPECT_TRUE(lines.empty()) << c.what << ": " << (lines.empty() ? "" : lines.front());
        }
        else
        {
            EXPECT_EQ(lines.size(), 1u) << c.what;
            if (!lines.empty())
            {
                EXPECT_NE(lines.front().find(c.logged), std::string::npos) << c.what << ": " << lines.front();
            }
        }
        ExpectLobbyUntouched(c.what);
        EXPECT_EQ(server.messages.count, serverLines) << c.what;
        EXPECT_EQ(ada->messages.count, adaLines + (c.addsLobbyLine ? 1u : 0u)) << c.what;
        ExpectPlayersAtRest(hostLevel, c.what);
        ExpectPlayersAtRest(adaLevel, c.what);
    }
    EXPECT_EQ(console.Unread(), keys) << "a line that a peer caused waited for a key";
}

TEST_F(HostilePeers, RecordsFromOutsideTheLobbyOrWithoutARoleAreDropped)
{
    // A handle that never connected: nothing of it is read, only its address is looked up.
    ENetPeer stranger{};
    LogWatch errors(ErrorLog);
    LogWatch warnings(WarningLog);
    const std::vector<uint8_t> chat = BytesOf(ChatToServerPacket{});
    server.HandlePacket(chat.data(), chat.size(), &stranger);
    EXPECT_TRUE(warnings.Saw("[NetworkManager.cpp:604]Dropped a record of type 5 from a peer that is not in this lobby."));
    EXPECT_EQ(server.messages.count, 2u);

    NetworkManager alone;
    alone.HandlePacket(chat.data(), chat.size(), &stranger);
    EXPECT_TRUE(errors.Saw("[NetworkManager.cpp:472]Received packet, not in multplayer?"));
}

TEST_F(HostilePeers, AFloodOfBadRecordsWritesAFewLinesAndTheLobbyGoesOn)
{
    LogWatch errors(ErrorLog);
    const std::vector<uint8_t> bad = Typed(12, 8);
    for (int i = 0; i < 5000; ++i)
        SendRaw(ServerPeer(*ada), bad, 0, 0);
    ada->SendChat("still here");
    ASSERT_TRUE(Pump([&] { return Holds(Lines(server), "Ada: still here"); }, 20.0));
    EXPECT_LE(errors.Lines().size(), 10u);
    EXPECT_GE(errors.Lines().size(), 1u);
}

// From a console, as under ./run.sh, a line that waits for a key would hold the host's frame until
// somebody pressed one, and its clients would lose their connections meanwhile.
TEST_F(HostilePeers, ABareConnectionHoldsUpNoFrameWhateverItSends)
{
    const std::string keys = std::string(7, 'k') + "\n";
    TypedKeyOnTerminal console(keys);
    ASSERT_TRUE(console.Ready());
    LogWatch errors(ErrorLog);
    LogWatch warnings(WarningLog);

    BareHost bare(server.host->address.port);
    ASSERT_TRUE(bare.Ready());

    // Three bytes from a connection that never joined: one warning, and nobody waits.
    ENetPeer* first = bare.Connect();
    ASSERT_TRUE(Pump([&] {
        bare.Service();
        return bare.connects == 1 && server.peers.size() == 3;
    }));
    SendRaw(first, Raw({6, 0, 0}));
    ASSERT_TRUE(Pump([&] {
        bare.Service();
        return warnings.Saw("[NetworkManager.cpp:602]Dropped a packet of 3 bytes, too short for a record.");
    }));

    // A connection while the host's lobby is on no page that takes one stays an error of the
    // game's own, but one that does not wait either.
    server.lobbyState = LobbyState::SetUpServer;
    bare.Connect();
    ASSERT_TRUE(Pump([&] {
        bare.Service();
        return errors.Saw("[NetworkManager.cpp:261]Connection created outside UI lobby - currently shouldn't happen.");
    }));
    server.lobbyState = LobbyState::Hosting;
    EXPECT_EQ(console.Unread(), keys) << "a line that the peer caused waited for a key";

    // The joined clients noticed nothing.
    ada->SendChat("still here");
    EXPECT_TRUE(Pump([&] {
        bare.Service();
        return Holds(Lines(*bo), "Ada: still here");
    }));
    EXPECT_EQ(ada->role, NetworkRole::Client);
}

// Left to the library, sixteen requests that nobody follows up hold every slot for its half a
// minute, and sent again they keep the lobby shut for good.
TEST_F(HostilePeers, ABurstOfForgedConnectionRequestsHoldsAFewSlotsForAFewSeconds)
{
    // The slots of the host that no client of the lobby holds.
    const auto strangersSlots = [&] {
        size_t held = 0;
        for (size_t i = 0; i < server.host->peerCount; ++i)
        {
            ENetPeer* slot = &server.host->peers[i];
            held += slot->state != ENET_PEER_STATE_DISCONNECTED && server.peers.count(slot) == 0 ? 1 : 0;
        }
        return held;
    };
    ASSERT_EQ(strangersSlots(), 0u);

    const int burst = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(burst, 0);
    sockaddr_in lobby{};
    lobby.sin_family = AF_INET;
    lobby.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    lobby.sin_port = htons(server.host->address.port);
    const enet_uint32 receivedBefore = server.host->totalReceivedPackets;
    for (enet_uint32 i = 0; i < NetworkManager::MaxClients; ++i)
    {
        const std::vector<uint8_t> request = ConnectRequest(0x5EED0000u + i);
        ASSERT_EQ(sendto(burst, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&lobby), sizeof(lobby)),
                  static_cast<ssize_t>(request.size()));
    }
    ASSERT_TRUE(Pump([&] { return server.host->totalReceivedPackets - receivedBefore >= NetworkManager::MaxClients; }));
    Frame();
    EXPECT_GT(strangersSlots(), 0u) << "the requests were not read as requests";
    EXPECT_LE(strangersSlots(), HandshakeGuard::MaxHandshakesPerAddress);

    // A player on the same machine joins in the one attempt that the library gives him, once the
    // burst's handshakes are given up.
    NetworkManager& cy = *clients.emplace_back(std::make_unique<NetworkManager>());
    CopyText(cy.playerNameEntry, "Cy");
    cy.port = server.host->address.port;
    ASSERT_TRUE(cy.Join("127.0.0.1"));
    cy.lobbyState = LobbyState::Connecting;
    ASSERT_TRUE(Pump([&] { return cy.ownPlayerNumber > 0 || cy.lobbyState == LobbyState::SetUpJoin; }, 60.0));
    EXPECT_EQ(cy.lobbyState, LobbyState::Joined);
    EXPECT_EQ(cy.ownPlayerNumber, 3);
    EXPECT_TRUE(Pump([&] { return strangersSlots() == 0; }, 30.0)) << strangersSlots() << " slots still held";
    EXPECT_EQ(ada->role, NetworkRole::Client);
    EXPECT_EQ(bo->role, NetworkRole::Client);
    close(burst);
}

TEST_F(HostilePeers, ConnectionsThatComeAndGoWriteAFewLinesAndTheLobbyGoesOn)
{
    constexpr int Cycles = 200;
    LogWatch info(InfoLog);
    BareHost bare(server.host->address.port);
    ASSERT_TRUE(bare.Ready());
    for (int cycle = 0; cycle < Cycles; ++cycle)
    {
        ENetPeer* peer = bare.Connect();
        ASSERT_NE(peer, nullptr);
        ASSERT_TRUE(Pump([&] {
            bare.Service();
            return bare.connects == cycle + 1 && server.peers.size() == 3;
        })) << "cycle " << cycle;
        enet_peer_disconnect(peer, 0);
        ASSERT_TRUE(Pump([&] {
            bare.Service();
            return bare.disconnects == cycle + 1 && server.peers.size() == 2;
        })) << "cycle " << cycle;
    }

    size_t lines = 0;
    for (const std::string& line : info.Lines())
        lines += line.rfind("A new client connected!", 0) == 0 || line.rfind("Someone disconnected!", 0) == 0 ? 1 : 0;
    EXPECT_GE(lines, 1u);
    // Of 400, no more than two lobbies filling up would write, should the cycles straddle the end
    // of a minute.
    EXPECT_LE(lines, 2u * NetworkManager::MaxClients);

    NetworkManager& cy = Join("Cy");
    EXPECT_EQ(cy.ownPlayerNumber, 3);
    EXPECT_TRUE(Holds(Lines(*ada), "Cy has joined the server."));
}

// Left alone, one machine holds every slot with connections that it keeps serviced but never
// joins, and neither the lobby nor any other player hears of them.
TEST_F(HostilePeers, SilentConnectionsFromOneAddressHoldAFewSlotsAndAPlayerStillJoins)
{
    server.joinDeadline = 0.5;
    // Lines for the crowd's first connections and a drop or two, far fewer than its comings and
    // goings.
    server.connectionLog = LogRateLimit(6, 600.0, "connections and disconnections");
    const uint32_t hostLines = server.messages.count;
    LogWatch info(InfoLog);
    LogWatch warnings(WarningLog);
    // One machine's stock client of the library, on an address of its own, that keeps every slot
    // it can open, four attempts at a time, and never says a word of the game.
    BareHost crowd(server.host->address.port, "127.0.0.3", NetworkManager::MaxClients);
    ASSERT_TRUE(crowd.Ready());
    size_t mostHeld = 0;
    const auto frame = [&] {
        crowd.Service();
        crowd.KeepOpen(NetworkManager::MaxClients, 4);
        mostHeld = std::max(mostHeld, SlotsHeldFrom(*server.host, crowd.Source()));
    };

    // The crowd fills what it may and is dropped again, more than once.
    ASSERT_TRUE(Pump([&] {
        frame();
        return crowd.disconnects >= 2 * static_cast<int>(HandshakeGuard::MaxHandshakesPerAddress);
    }, 30.0)) << crowd.disconnects << " drops";

    // A player from another address is welcomed meanwhile.
    NetworkManager& cy = *clients.emplace_back(std::make_unique<NetworkManager>());
    CopyText(cy.playerNameEntry, "Cy");
    cy.port = server.host->address.port;
    ASSERT_TRUE(cy.Join("127.0.0.1"));
    cy.lobbyState = LobbyState::Connecting;
    ASSERT_TRUE(Pump([&] {
        frame();
        return cy.ownPlayerNumber > 0 || cy.lobbyState == LobbyState::SetUpJoin;
    }));
    EXPECT_EQ(cy.ownPlayerNumber, 3);
    Settle();
    EXPECT_LE(mostHeld, HandshakeGuard::MaxHandshakesPerAddress);

    // Whoever had joined was never touched, and nothing of the crowd reached the lobby.
    EXPECT_EQ(ada->ownPlayerNumber, 1);
    EXPECT_EQ(bo->ownPlayerNumber, 2);
    EXPECT_EQ(ada->role, NetworkRole::Client);
    EXPECT_EQ(bo->role, NetworkRole::Client);
    std::vector<int32_t> numbers;
    for (const auto& [peer, entry] : server.peers)
        if (entry.playerNumber > 0)
            numbers.push_back(entry.playerNumber);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(server.messages.count, hostLines + 1);
    EXPECT_EQ(Lines(server).back(), "Cy has joined the server.");

    const std::vector<std::string> drops = warnings.Lines();
    EXPECT_GE(LinesStartingWith(drops, "[NetworkManager.cpp:615]Dropped a connection from 127.0.0.3 that sent no join record within 0.5 seconds."), 1u);
    EXPECT_LE(drops.size() + LinesStartingWith(info.Lines(), "A new client connected!") +
                  LinesStartingWith(info.Lines(), "Someone disconnected!"),
              6u);
}

TEST_F(HostilePeers, AJoinRecordWithinTheDeadlineKeepsTheConnectionInTheLobbyAndDuringALevel)
{
    server.joinDeadline = 2.0;
    for (const bool duringLevel : {false, true})
    {
        SCOPED_TRACE(duringLevel ? "during a level" : "in the lobby");
        if (duringLevel)
            PlayTogether();
        const uint32_t hostLines = server.messages.count;
        LogWatch warnings(WarningLog);
        BareHost joiner(server.host->address.port);
        BareHost silent(server.host->address.port);
        ASSERT_TRUE(joiner.Ready() && silent.Ready());

        // One sends its join record as the game's client does, on its connect event.
        ENetPeer* joining = joiner.Connect();
        ASSERT_TRUE(Pump([&] {
            joiner.Service();
            return joiner.connects == 1;
        }));
        SendRaw(joining, BytesOf(JoinAs("Dee")));
        ASSERT_TRUE(Pump([&] {
            joiner.Service();
            return server.messages.count > hostLines;
        }));
        EXPECT_EQ(Lines(server).back(), "Dee has joined the server.");

        // The other, connected later, never does; once the host drops it, the joiner's deadline
        // is long past.
        silent.Connect();
        ASSERT_TRUE(Pump([&] {
            joiner.Service();
            silent.Service();
            return silent.disconnects == 1;
        }));
        Settle();
        joiner.Service();
        EXPECT_EQ(joiner.disconnects, 0);
        EXPECT_EQ(silent.connects, 1);
        ASSERT_EQ(server.peers.size(), 3u);
        const auto dee = std::find_if(server.peers.begin(), server.peers.end(),
                                      [](const auto& entry) { return entry.second.name == "Dee"; });
        ASSERT_NE(dee, server.peers.end());
        EXPECT_EQ(dee->second.playerNumber, 3);
        EXPECT_EQ(server.messages.count, hostLines + 1) << "the silent connection was never announced";
        EXPECT_EQ(warnings.Lines().size(), 1u);
        EXPECT_TRUE(warnings.Saw("that sent no join record within 2 seconds."));

        if (!duringLevel)
        {
            // Dee leaves, and the next round starts from the lobby of Ada and Bo.
            enet_peer_disconnect(joining, 0);
            ASSERT_TRUE(Pump([&] {
                joiner.Service();
                return server.peers.size() == 2;
            }));
        }
    }
}

// Several players behind one router: more at once than one address may have under way, and a
// full lobby after them.
TEST_F(HostilePeers, ManyPlayersFromOneAddressJoiningAtOnceAllGetIn)
{
    std::vector<NetworkManager*> crowd;
    for (int i = 3; i <= NetworkManager::MaxClients; ++i)
    {
        NetworkManager& client = *clients.emplace_back(std::make_unique<NetworkManager>());
        CopyText(client.playerNameEntry, "P" + std::to_string(i));
        client.port = server.host->address.port;
        ASSERT_TRUE(client.Join("127.0.0.1"));
        client.lobbyState = LobbyState::Connecting;
        crowd.push_back(&client);
    }
    const auto welcomed = [&] {
        return std::all_of(crowd.begin(), crowd.end(), [](const NetworkManager* c) { return c->ownPlayerNumber > 0; });
    };
    ASSERT_TRUE(Pump(welcomed, 30.0));
    std::vector<int32_t> numbers;
    for (const NetworkManager* client : crowd)
        numbers.push_back(client->ownPlayerNumber);
    std::sort(numbers.begin(), numbers.end());
    std::vector<int32_t> expected(crowd.size());
    std::iota(expected.begin(), expected.end(), 3);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(server.GetPlayerCount(), NetworkManager::MaxClients + 1);
}
