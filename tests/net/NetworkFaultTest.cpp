// Faults of the network between processes on loopback: a client killed during a level, a host
// killed during a level, a connection attempt whose first datagrams are lost, and one that nobody
// answers. The killed side is a child process of the test that plays its part until SIGKILL ends
// it without a word to its peers.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "HandshakeGuard.h"
#include "LogWatch.h"
#include "LoopbackLobby.h"

using namespace net_testing;

namespace
{
/// Longest that a child plays before it ends by itself, should the test not kill it.
constexpr double ChildLifeSeconds = 60.0;
/// A frame of the network that takes this long has blocked on something: it would freeze the
/// game. Nothing here measures speed; the figure only tells a stall from a slow machine.
constexpr double StallSeconds = 0.5;

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Runs `part` in a child process that ends when it returns or after `ChildLifeSeconds`.
template <typename Part>
pid_t Spawn(Part part)
{
    const pid_t child = fork();
    if (child == 0)
    {
        part();
        _exit(0);
    }
    return child;
}

void Kill(pid_t child)
{
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

/// A frame loop for a child's one manager: starts the level that the host announces (or that
/// `startAsHost` starts) and keeps its own player braking, so that its states can be recognised.
void PlayInChild(NetworkManager& manager, bool startAsHost, size_t clientsBeforeStart)
{
    Camera camera;
    Level level(&camera);
    const auto start = std::chrono::steady_clock::now();
    while (SecondsSince(start) < ChildLifeSeconds)
    {
        const ClientResponseAction action = manager.Update();
        if (startAsHost && manager.level == nullptr && manager.peers.size() == clientsBeforeStart)
        {
            bool allJoined = true;
            for (const auto& [peer, info] : manager.peers)
                allJoined = allJoined && info.playerNumber > 0;
            if (allJoined && manager.AnnounceLevelStart("Cave.lrl"))
            {
                StartLevel(level, manager.GetPlayerCount(), 0);
                manager.level = &level;
            }
        }
        if (action.type == ClientResponseType::StartGame && manager.level == nullptr)
        {
            StartLevel(level, action.playerCount, static_cast<uint32_t>(manager.ownPlayerNumber));
            manager.level = &level;
        }
        if (manager.level != nullptr)
            level.localPlayer->brakeHeld = true;
        usleep(1000);
    }
}

/// Handshake datagrams that the host loses before it hears a client's attempt: every resend of
/// the connect until the attempt has been going for a few seconds.
constexpr int LostHandshakeDatagrams = 3;
int lostDatagrams = 0;

/// In place of the host's own guard, which then sees whatever is not lost.
int LoseFirstDatagrams(ENetHost* host, ENetEvent* event)
{
    if (lostDatagrams >= LostHandshakeDatagrams)
        return HandshakeGuard::Intercept(host, event);
    ++lostDatagrams;
    return 1; // taken: the host never sees it
}

class NetworkFaults : public LoopbackLobby
{
protected:
    double slowestFrame = 0.0;

    /// `Pump`, keeping the slowest frame of any manager.
    bool PumpTimed(const std::function<bool()>& done, double seconds)
    {
        return Pump(
            [&] {
                const auto start = std::chrono::steady_clock::now();
                Frame();
                slowestFrame = std::max(slowestFrame, SecondsSince(start));
                return done();
            },
            seconds);
    }
};
} // namespace

TEST_F(NetworkFaults, AKilledClientLeavesTheOthersPlaying)
{
    Host();
    const uint16_t port = server.host->address.port;
    const pid_t ada = Spawn([port] {
        NetworkManager client;
        CopyText(client.playerNameEntry, "Ada");
        client.port = port;
        client.Join("127.0.0.1");
        client.lobbyState = LobbyState::Connecting;
        PlayInChild(client, false, 0);
    });
    ASSERT_TRUE(Pump([&] { return !server.peers.empty() && server.peers.begin()->second.playerNumber == 1; }));
    NetworkManager& bo = Join("Bo");
    ASSERT_EQ(bo.ownPlayerNumber, 2);

    Level hostLevel(&camera), boLevel(&camera);
    ASSERT_TRUE(server.AnnounceLevelStart("Cave.lrl"));
    StartLevel(hostLevel, server.GetPlayerCount(), 0);
    server.level = &hostLevel;
    ASSERT_TRUE(Pump([&] { return ActionsOf(bo, ClientResponseType::StartGame) == 1; }));
    StartLevel(boLevel, actions[&bo].back().playerCount, 2);
    bo.level = &boLevel;
    // Ada plays: her braking reaches the host and, through it, Bo.
    ASSERT_TRUE(Pump([&] { return hostLevel.players[1].brakeHeld && boLevel.players[1].brakeHeld; }));

    LogWatch info(InfoLog);
    Kill(ada);
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpTimed([&] { return hostLevel.players[1].departed && boLevel.players[1].departed; }, 30.0));
    const double noticed = SecondsSince(killed);
    EXPECT_TRUE(info.Saw("A player has quit the game."));
    EXPECT_TRUE(info.Saw("Client received word that 1 departed."));
    EXPECT_EQ(Lines(bo).back(), "Ada has left the server.");
    EXPECT_GT(noticed, 0.4) << "given up before the time-out";
    EXPECT_LT(noticed, 15.0) << "the time-out is set to about two seconds";

    // Bo and the host play on together.
    boLevel.players[2].rotateInput = 1.0f;
    hostLevel.players[0].fangHeld = true;
    ASSERT_TRUE(PumpTimed([&] { return hostLevel.players[2].rotateInput == 1.0f && boLevel.players[0].fangHeld; }, 5.0));
    EXPECT_EQ(bo.role, NetworkRole::Client);
    EXPECT_EQ(bo.ownPlayerNumber, 2);
    EXPECT_LT(slowestFrame, StallSeconds);
}

TEST_F(NetworkFaults, AKilledHostLeavesEachClientPlayingOnAlone)
{
    int portPipe[2];
    ASSERT_EQ(pipe(portPipe), 0);
    const pid_t host = Spawn([&] {
        NetworkManager hosting;
        CopyText(hosting.playerNameEntry, "Hana");
        hosting.port = 0;
        hosting.StartServer();
        hosting.lobbyState = LobbyState::Hosting;
        const uint16_t port = hosting.host != nullptr ? hosting.host->address.port : 0;
        if (write(portPipe[1], &port, sizeof(port)) != sizeof(port))
            return;
        PlayInChild(hosting, true, 2);
    });
    uint16_t port = 0;
    ASSERT_EQ(read(portPipe[0], &port, sizeof(port)), static_cast<ssize_t>(sizeof(port)));
    close(portPipe[0]);
    close(portPipe[1]);
    ASSERT_NE(port, 0);

    // Two clients of a host in another process.
    NetworkManager ada, bo;
    Level adaLevel(&camera), boLevel(&camera);
    struct Seat
    {
        NetworkManager& manager;
        Level& level;
        const char* name;
    };
    Seat seats[] = {{ada, adaLevel, "Ada"}, {bo, boLevel, "Bo"}};
    // The host starts the level as soon as the second client has joined, so its start can come in
    // the very frame of that client's welcome: every frame of the clients acts on it.
    const auto frame = [&] {
        for (Seat& seat : seats)
        {
            const ClientResponseAction action = seat.manager.Update();
            if (action.type == ClientResponseType::StartGame)
            {
                StartLevel(seat.level, action.playerCount, static_cast<uint32_t>(seat.manager.ownPlayerNumber));
                seat.manager.level = &seat.level;
            }
        }
    };
    for (Seat& seat : seats)
    {
        CopyText(seat.manager.playerNameEntry, seat.name);
        seat.manager.port = port;
        ASSERT_TRUE(seat.manager.Join("127.0.0.1"));
        seat.manager.lobbyState = LobbyState::Connecting;
        ASSERT_TRUE(Pump([&] {
            frame();
            return seat.manager.ownPlayerNumber > 0;
        }));
    }
    ASSERT_TRUE(Pump([&] {
        frame();
        return ada.level != nullptr && bo.level != nullptr && adaLevel.players[0].brakeHeld && boLevel.players[0].brakeHeld;
    }));

    LogWatch info(InfoLog);
    Kill(host);
    ASSERT_TRUE(PumpTimed(
        [&] {
            ada.Update();
            bo.Update();
            return ada.role == NetworkRole::None && bo.role == NetworkRole::None;
        },
        30.0));
    size_t disconnectedLines = 0;
    for (const std::string& line : info.Lines())
        disconnectedLines += line == "You've been disconnected from the game." ? 1 : 0;
    EXPECT_EQ(disconnectedLines, 2u);
    for (Seat& seat : seats)
    {
        EXPECT_EQ(seat.manager.lobbyState, LobbyState::SetUpJoin) << seat.name;
        // The level goes on here: still in play, the own player still there to steer.
        EXPECT_EQ(seat.manager.level, &seat.level) << seat.name;
        ASSERT_NE(seat.level.localPlayer, nullptr) << seat.name;
        EXPECT_NE(seat.level.localPlayer->body, nullptr) << seat.name;
        EXPECT_FALSE(seat.level.localPlayer->departed) << seat.name;
        // Leaving that level later tells nobody and logs no fault.
        LogWatch errors(ErrorLog);
        seat.manager.AnnounceDeparture();
        seat.manager.Update();
        EXPECT_TRUE(errors.Lines().empty()) << seat.name;
    }
    EXPECT_LT(slowestFrame, StallSeconds);
}

TEST_F(NetworkFaults, AnAttemptThatNobodyAnswersFailsBackToTheJoinPage)
{
    // A port that was free a moment ago, and stays so.
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    ENetHost* probe = enet_host_create(&address, 1, 1, 0, 0);
    ASSERT_NE(probe, nullptr);
    const uint16_t silentPort = probe->address.port;
    enet_host_destroy(probe);

    NetworkManager& client = *clients.emplace_back(std::make_unique<NetworkManager>());
    CopyText(client.playerNameEntry, "Ada");
    client.port = silentPort;
    ASSERT_TRUE(client.Join("127.0.0.1"));
    client.lobbyState = LobbyState::Connecting;

    LogWatch info(InfoLog);
    ASSERT_TRUE(PumpTimed([&] { return client.lobbyState == LobbyState::SetUpJoin; }, 40.0));
    EXPECT_TRUE(info.Saw("Attempt to connect to server failed!"));
    EXPECT_EQ(client.role, NetworkRole::None);
    EXPECT_LT(slowestFrame, StallSeconds);
}

TEST_F(NetworkFaults, AnAttemptWhoseFirstHandshakeDatagramsAreLostStillJoins)
{
    Host();
    lostDatagrams = 0;
    server.host->intercept = LoseFirstDatagrams;

    NetworkManager& ada = *clients.emplace_back(std::make_unique<NetworkManager>());
    CopyText(ada.playerNameEntry, "Ada");
    ada.port = server.host->address.port;
    ASSERT_TRUE(ada.Join("127.0.0.1"));
    ada.lobbyState = LobbyState::Connecting;
    const ENetPeer& attempt = ada.host->peers[0];
    EXPECT_EQ(attempt.timeoutLimit, static_cast<enet_uint32>(ENET_PEER_TIMEOUT_LIMIT));
    EXPECT_EQ(attempt.timeoutMaximum, static_cast<enet_uint32>(ENET_PEER_TIMEOUT_MAXIMUM));

    ASSERT_TRUE(PumpTimed([&] { return ada.ownPlayerNumber == 1 || ada.lobbyState == LobbyState::SetUpJoin; }, 40.0));
    EXPECT_EQ(lostDatagrams, LostHandshakeDatagrams);
    EXPECT_EQ(ada.lobbyState, LobbyState::Joined);
    EXPECT_EQ(ada.role, NetworkRole::Client);
    // Once connected, each side gives its peer up after about two seconds of silence.
    for (const ENetPeer* peer : {ServerPeer(ada), PeerOf(ada)})
    {
        ASSERT_NE(peer, nullptr);
        EXPECT_EQ(peer->timeoutLimit, 3u);
        EXPECT_EQ(peer->timeoutMinimum, 500u);
        EXPECT_EQ(peer->timeoutMaximum, 2000u);
    }
    EXPECT_LT(slowestFrame, StallSeconds);
}
