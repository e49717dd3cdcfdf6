// A host and several clients in one process over loopback: the lobby, chat, renumbering, the
// start and end of a shared level, and player states on their way between the machines.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "LogWatch.h"
#include "LoopbackLobby.h"
#include "TypedKeyOnTerminal.h"

using namespace net_testing;

using NetworkLobby = LoopbackLobby;

TEST_F(NetworkLobby, ClientsAreNumberedInJoinOrderAndWelcomed)
{
    Host("Hana", "Den");
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");
    NetworkManager& cy = Join("Cy");

    EXPECT_EQ(ada.ownPlayerNumber, 1);
    EXPECT_EQ(bo.ownPlayerNumber, 2);
    EXPECT_EQ(cy.ownPlayerNumber, 3);
    EXPECT_EQ(ada.role, NetworkRole::Client);
    EXPECT_EQ(ada.lobbyState, LobbyState::Joined);
    EXPECT_EQ(ada.lobbyName, "Den");

    EXPECT_EQ(Lines(server), (std::vector<std::string>{"Ada has joined the server.", "Bo has joined the server.",
                                                       "Cy has joined the server."}));
    // A client hears of those who came after it, never of itself.
    EXPECT_EQ(Lines(ada), (std::vector<std::string>{"Welcome to Den, Ada. You are player 1.", "Bo has joined the server.",
                                                    "Cy has joined the server."}));
    EXPECT_EQ(Lines(cy), (std::vector<std::string>{"Welcome to Den, Cy. You are player 3."}));

    EXPECT_EQ(server.GetPlayerCount(), 4);
    LogWatch errors(ErrorLog);
    EXPECT_EQ(ada.GetPlayerCount(), 1);
    EXPECT_TRUE(errors.Saw("[NetworkManager.cpp:547]GetPlayerCount() is intended to be called on the server machine."));
    NetworkManager alone;
    EXPECT_EQ(alone.GetPlayerCount(), 1);
}

TEST_F(NetworkLobby, ChatLinesMakeTheRoundTripThroughTheHost)
{
    Host();
    const std::string longName(63, 'n');
    NetworkManager& ada = Join(longName);
    NetworkManager& bo = Join("Bo");

    ada.SendChat("hello everyone");
    // The sender's own line waits for the host's copy.
    EXPECT_FALSE(Holds(Lines(ada), longName + ": hello everyone"));
    ASSERT_TRUE(Pump([&] { return Holds(Lines(bo), longName + ": hello everyone"); }));
    EXPECT_TRUE(Holds(Lines(server), longName + ": hello everyone")) << "a name of 63 characters travels whole";
    ASSERT_TRUE(Pump([&] { return Holds(Lines(ada), longName + ": hello everyone"); }));

    server.SendChat("welcome");
    EXPECT_EQ(Lines(server).back(), "Hana: welcome") << "the host's line shows at once";
    bo.SendChat(std::string(300, 'x') + "\n[ERROR]forged");
    const std::string cut = "Bo: " + std::string(255, 'x');
    ASSERT_TRUE(Pump([&] { return Holds(Lines(ada), cut) && Holds(Lines(bo), "Hana: welcome"); }));
    EXPECT_EQ(Lines(server).back(), cut);

    // Nothing is lost in the empty line, and no role sends nothing.
    ada.SendChat("");
    ASSERT_TRUE(Pump([&] { return Lines(bo).back() == longName + ": "; }));
    NetworkManager alone;
    alone.SendChat("anyone?");
    EXPECT_EQ(alone.messages.count, 0u);
}

TEST_F(NetworkLobby, LeavingTheLobbyRenumbersTheClientsAfter)
{
    Host();
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");
    NetworkManager& cy = Join("Cy");

    bo.Leave();
    ASSERT_TRUE(Pump([&] { return cy.ownPlayerNumber == 2; }));
    Settle();
    EXPECT_EQ(Lines(server).back(), "Bo has left the server.");
    EXPECT_EQ(Lines(ada).back(), "Bo has left the server.");
    EXPECT_EQ(Lines(cy).back(), "You are now player number 2.");
    EXPECT_TRUE(Holds(Lines(cy), "Bo has left the server."));
    EXPECT_EQ(ada.ownPlayerNumber, 1);
    std::vector<int32_t> numbers;
    for (const auto& [peer, info] : server.peers)
        numbers.push_back(info.playerNumber);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2})) << "the host's numbers close the gap as the clients' do";
    EXPECT_EQ(server.GetPlayerCount(), 3);

    NetworkManager& dee = Join("Dee");
    EXPECT_EQ(dee.ownPlayerNumber, 3);
}

TEST_F(NetworkLobby, TheHostStartsAndEndsASharedLevel)
{
    Host();
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");

    ASSERT_TRUE(server.AnnounceLevelStart("Cave.lrl"));
    ASSERT_TRUE(Pump([&] { return ActionsOf(ada, ClientResponseType::StartGame) == 1 && ActionsOf(bo, ClientResponseType::StartGame) == 1; }));
    const ClientResponseAction start = actions[&bo].back();
    EXPECT_EQ(start.levelName, "Cave.lrl");
    EXPECT_EQ(start.playerCount, 3);

    server.AnnounceLevelEnd();
    ASSERT_TRUE(Pump([&] { return ActionsOf(ada, ClientResponseType::EndGame) == 1 && ActionsOf(bo, ClientResponseType::EndGame) == 1; }));
    EXPECT_TRUE(actions[&ada].back().levelName.empty());
    EXPECT_EQ(ActionsOf(server, ClientResponseType::StartGame) + ActionsOf(server, ClientResponseType::EndGame), 0u);

    // Both in one frame: the first is answered, the second logged and dropped; the host caused
    // that line, so it does not wait for a key even on a console.
    TypedKeyOnTerminal console;
    ASSERT_TRUE(console.Ready());
    LogWatch errors(ErrorLog);
    server.BroadcastPacket(StartRecord("Cave.lrl", 3));
    server.AnnounceLevelEnd();
    enet_host_flush(server.host);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const ClientResponseAction both = ada.Update();
    EXPECT_EQ(both.type, ClientResponseType::StartGame);
    EXPECT_TRUE(errors.Saw("[ClientResponseAction.cpp:17]We somehow managed to both start and end a game within a single frame"));
    EXPECT_EQ(console.Unread(), "x\n");
}

TEST_F(NetworkLobby, LevelNamesThatCannotTravelAreRefusedWithALineInTheLobby)
{
    Host();
    NetworkManager& ada = Join("Ada");
    const std::string tooLong = std::string(64, 'l') + ".lrl";
    EXPECT_FALSE(server.CanChooseLevel(tooLong));
    EXPECT_TRUE(server.CanChooseLevel("Cave.lrl"));
    EXPECT_FALSE(ada.CanChooseLevel("Cave.lrl")) << "only the host picks levels";
    NetworkManager alone;
    EXPECT_TRUE(alone.CanChooseLevel(tooLong)) << "alone, any level file plays";

    EXPECT_FALSE(server.AnnounceLevelStart(tooLong));
    EXPECT_NE(Lines(server).back().find("cannot be played together"), std::string::npos);
    Settle();
    EXPECT_EQ(ActionsOf(ada, ClientResponseType::StartGame), 0u);
}

TEST_F(NetworkLobby, AClientWithoutAPlaceInTheLevelStaysInTheLobby)
{
    Host();
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");
    // A count taken before Bo joined.
    server.BroadcastPacket(StartRecord("Cave.lrl", 2));
    ASSERT_TRUE(Pump([&] { return ActionsOf(ada, ClientResponseType::StartGame) == 1; }));
    Settle();
    EXPECT_EQ(ActionsOf(bo, ClientResponseType::StartGame), 0u);
    EXPECT_NE(Lines(bo).back().find("without a place for player 2"), std::string::npos);
}

TEST_F(NetworkLobby, StatesReachTheRightPlayerEveryThirdFrame)
{
    Host();
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");
    PlayTogether();
    Level& hostLevel = *server.level;
    Level& adaLevel = *ada.level;
    Level& boLevel = *bo.level;

    Player& adaOwn = adaLevel.players[1];
    adaOwn.body->SetTransform(b2Vec2(4.0f, 2.5f), 0.75f);
    adaOwn.body->SetLinearVelocity(b2Vec2(1.5f, -0.5f));
    adaOwn.brakeHeld = true;
    adaOwn.fangHeld = true;
    adaOwn.rotateInput = -1.0f;
    hostLevel.players[0].rotateInput = 1.0f;

    ASSERT_TRUE(Pump([&] { return hostLevel.players[1].brakeHeld && boLevel.players[1].brakeHeld && adaLevel.players[0].rotateInput == 1.0f; }));
    for (Level* level : {&hostLevel, &boLevel})
    {
        const Player& seen = level->players[1];
        EXPECT_TRUE(seen.fangHeld);
        EXPECT_EQ(seen.rotateInput, -1.0f);
        EXPECT_FLOAT_EQ(seen.body->GetLinearDamping(), 1.5f) << "the brake damps the body";
        EXPECT_FLOAT_EQ(seen.body->GetPosition().x, 4.0f);
        EXPECT_FLOAT_EQ(seen.body->GetPosition().y, 2.5f);
        EXPECT_FLOAT_EQ(seen.body->GetAngle(), 0.75f);
        EXPECT_FLOAT_EQ(seen.body->GetLinearVelocity().x, 1.5f);
        EXPECT_FALSE(level->players[2].brakeHeld) << "nobody else's player is touched";
        EXPECT_EQ(level->players[2].body->GetPosition().x, level->start.position.x);
    }
    EXPECT_EQ(boLevel.players[0].rotateInput, 1.0f) << "the host's own state reaches the clients";
    // Each machine's own player is steered by nobody but itself.
    EXPECT_FALSE(adaLevel.players[1].body == nullptr);
    EXPECT_EQ(hostLevel.players[0].rotateInput, 1.0f);
    EXPECT_EQ(adaOwn.rotateInput, -1.0f);

    adaOwn.brakeHeld = false;
    ASSERT_TRUE(Pump([&] { return !hostLevel.players[1].brakeHeld; }));
    EXPECT_FLOAT_EQ(hostLevel.players[1].body->GetLinearDamping(), 0.0f);

    // Without a host nothing is counted.
    NetworkManager alone;
    EXPECT_EQ(alone.Update().type, ClientResponseType::None);
    EXPECT_EQ(alone.frameCounter, 0);
}

TEST_F(NetworkLobby, StateRecordsGoOutOnEveryThirdFrame)
{
    Host();
    NetworkManager& ada = Join("Ada");
    PlayTogether();

    server.frameCounter = 1;
    for (int frame = 0; frame < 9; ++frame)
        server.Update();
    enet_host_flush(server.host);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Read at Ada's end without her manager, which would apply them.
    int states = 0;
    ENetEvent event;
    while (enet_host_service(ada.host, &event, 0) > 0)
    {
        if (event.type != ENET_EVENT_TYPE_RECEIVE)
            continue;
        uint32_t type = 0;
        std::memcpy(&type, event.packet->data, sizeof(type));
        states += type == PacketPlayerState ? 1 : 0;
        enet_packet_destroy(event.packet);
    }
    // Frames 1 to 9 hold three multiples of 3.
    EXPECT_EQ(states, 3);
}

TEST_F(NetworkLobby, DeparturesDuringALevelMarkThePlayerAndKeepTheNumbers)
{
    Host();
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");

    // Outside a level a departure record is nobody's business.
    LogWatch quiet(ErrorLog);
    LogWatch quietWarnings(WarningLog);
    ada.AnnounceDeparture();
    Settle();
    EXPECT_EQ(server.peers.size(), 2u);
    EXPECT_TRUE(quiet.Lines().empty());
    EXPECT_TRUE(quietWarnings.Lines().empty());

    PlayTogether();
    Level& hostLevel = *server.level;
    Level& boLevel = *bo.level;

    LogWatch info(InfoLog);
    ada.AnnounceDeparture();
    ASSERT_TRUE(Pump([&] { return boLevel.players[1].departed; }));
    EXPECT_TRUE(info.Saw("This player departed - informing server."));
    EXPECT_TRUE(info.Saw("Server received word that player 1 departed."));
    EXPECT_TRUE(info.Saw("Client received word that 1 departed."));
    EXPECT_TRUE(hostLevel.players[1].departed);
    EXPECT_EQ(hostLevel.players[1].body, nullptr);
    EXPECT_EQ(boLevel.players[1].body, nullptr);
    EXPECT_EQ(hostLevel.world->GetBodyCount(), 2) << "the departed body left the world";
    EXPECT_EQ(server.peers.size(), 1u);
    EXPECT_EQ(bo.ownPlayerNumber, 2) << "nobody is renumbered during a level";
    EXPECT_EQ(Lines(bo).back(), "Ada has left the server.");
    ASSERT_TRUE(Pump([&] { return ada.host != nullptr && ada.peers.begin()->first->state == ENET_PEER_STATE_DISCONNECTED; }));

    // Back in the lobby the gap closes, and the next level counts the players that are left.
    server.level = nullptr;
    bo.level = nullptr;
    ASSERT_TRUE(Pump([&] { return bo.ownPlayerNumber == 1; }));
    EXPECT_EQ(server.GetPlayerCount(), 2);
}

// A client that joins while a level runs has no player in it: when it leaves again, everybody
// hears of it in the lobby and nobody logs a fault.
TEST_F(NetworkLobby, APlayerWhoJoinedDuringALevelLeavesWithoutAFault)
{
    Host();
    NetworkManager& ada = Join("Ada");
    PlayTogether();
    NetworkManager& cy = Join("Cy");
    ASSERT_EQ(cy.ownPlayerNumber, 2);

    LogWatch errors(ErrorLog);
    LogWatch warnings(WarningLog);
    cy.LeaveLobby();
    ASSERT_TRUE(Pump([&] { return Lines(ada).back() == "Cy has left the server."; }));
    Settle();
    EXPECT_TRUE(errors.Lines().empty()) << errors.Lines().front();
    EXPECT_TRUE(warnings.Lines().empty()) << warnings.Lines().front();
    for (const Level* level : {server.level, ada.level})
        for (const Player& player : level->players)
            EXPECT_FALSE(player.departed);
}

TEST_F(NetworkLobby, BackFromTheLevelListLeavesWhateverTheLobbyWasDoing)
{
    Host();
    NetworkManager& ada = Join("Ada");
    NetworkManager& bo = Join("Bo");

    bo.LeaveLobby();
    EXPECT_EQ(bo.lobbyState, LobbyState::ChooseRole);
    EXPECT_EQ(bo.role, NetworkRole::None);
    ASSERT_TRUE(Pump([&] { return server.peers.size() == 1; })) << "the host hears of it at once";

    // An attempt still under way is dropped, not completed behind the player's back.
    NetworkManager& cy = *clients.emplace_back(std::make_unique<NetworkManager>());
    cy.port = server.host->address.port;
    ASSERT_TRUE(cy.Join("127.0.0.1"));
    cy.lobbyState = LobbyState::Connecting;
    LogWatch errors(ErrorLog);
    cy.LeaveLobby();
    EXPECT_EQ(cy.host, nullptr);
    ASSERT_TRUE(Pump([&] { return server.peers.size() == 1; }));
    Settle();
    EXPECT_FALSE(errors.Saw("Connection created outside UI lobby"));
    EXPECT_EQ(cy.role, NetworkRole::None);

    server.LeaveLobby();
    EXPECT_EQ(server.role, NetworkRole::None);
    EXPECT_EQ(server.host, nullptr);
    ASSERT_TRUE(Pump([&] { return Lines(ada).back() == "Lost the connection to the server."; }))
        << "a closed lobby tells its clients at once";
}

TEST_F(NetworkLobby, LobbyLinesReachTheInfoLogButAFloodDoesNot)
{
    Host();
    NetworkManager& ada = Join("Ada");
    LogWatch info(InfoLog);
    ada.SendChat("hello");
    ASSERT_TRUE(Pump([&] { return info.Saw("Lobby: Ada: hello"); }));

    for (int i = 0; i < 3000; ++i)
        ada.SendChat("spam " + std::to_string(i));
    ASSERT_TRUE(Pump([&] { return Lines(server).back() == "Ada: spam 2999"; }, 20.0));
    size_t lobbyLines = 0;
    for (const std::string& line : info.Lines())
        lobbyLines += line.rfind("Lobby: ", 0) == 0 ? 1 : 0;
    EXPECT_LE(lobbyLines, 2u * 30u) << "the host's and Ada's copies, 30 each at most";
    EXPECT_EQ(server.messages.count, NetworkManager::MaxMessages) << "the list keeps its newest lines";
}

// A bare connection of the library, which never sends its join record, was never announced:
// whether it goes in the lobby or during a level, nobody hears of it.
TEST_F(NetworkLobby, APeerThatNeverJoinedLeavesWithoutAWord)
{
    for (const bool duringLevel : {false, true})
    {
        SCOPED_TRACE(duringLevel ? "during a level" : "in the lobby");
        Host();
        NetworkManager& ada = Join("Ada");
        // The host's lines last from one round to the next; nothing may follow Ada's arrival.
        const std::vector<std::string> hostLines = Lines(server);
        ASSERT_EQ(hostLines.back(), "Ada has joined the server.");
        if (duringLevel)
            PlayTogether();
        ENetHost* silent = enet_host_create(nullptr, 1, 2, 0, 0);
        ASSERT_NE(silent, nullptr);
        ENetAddress address{};
        enet_address_set_host(&address, "127.0.0.1");
        address.port = server.host->address.port;
        ENetPeer* peer = enet_host_connect(silent, &address, 2, 0);
        ENetEvent event;
        ASSERT_TRUE(Pump([&] {
            while (enet_host_service(silent, &event, 0) > 0)
                ;
            return server.peers.size() == 2;
        }));
        if (!duringLevel)
        {
            EXPECT_EQ(server.GetPlayerCount(), 3);
        }
        enet_peer_disconnect(peer, 0);
        ASSERT_TRUE(Pump([&] {
            while (enet_host_service(silent, &event, 0) > 0)
                ;
            return std::none_of(server.peers.begin(), server.peers.end(),
                                [](const auto& entry) { return entry.second.playerNumber < 0 && entry.second.connected; });
        }));
        Settle();
        enet_host_destroy(silent);
        EXPECT_EQ(Lines(ada), (std::vector<std::string>{"Welcome to Den, Ada. You are player 1."}));
        EXPECT_EQ(Lines(server), hostLines);
        EXPECT_EQ(ada.ownPlayerNumber, 1);
        // The next round starts from an empty lobby.
        server.level = nullptr;
        for (auto& client : clients)
            client->level = nullptr;
        clients.clear();
        server.Shutdown();
        levels.clear();
    }
}

TEST_F(NetworkLobby, CallsOutsideTheirRoleAreLoggedAndChangeNothing)
{
    NetworkManager alone;
    struct Case
    {
        const char* logged;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"[NetworkManager.cpp:164]Attempted to close a server but machine isn't acting as one!", [&] { alone.CloseServer(); }},
        {"[NetworkManager.cpp:201]Attempted to leave a server but machine isn't a client!", [&] { alone.Leave(); }},
        {"[NetworkManager.cpp:491]Only a server should be reshuffling players, something is broken.", [&] { alone.ReshufflePlayers(1); }},
        {"[NetworkManager.h:107]Attempted to send packet to server on non-client machine.", [&] { alone.SendPacketToServer(DepartedPacket{}); }},
        {"[NetworkManager.h:123]Attempted to send packet to client on non-server machine.", [&] { alone.SendPacketToClient(nullptr, EndGamePacket{}); }},
        {"[NetworkManager.h:136]Attempted to broadcast packet on non-server machine.", [&] { alone.BroadcastPacket(EndGamePacket{}); }},
    };
    for (const Case& c : cases)
    {
        LogWatch errors(ErrorLog);
        c.call();
        EXPECT_TRUE(errors.Saw(c.logged)) << c.logged;
        EXPECT_EQ(alone.role, NetworkRole::None);
        EXPECT_EQ(alone.host, nullptr);
    }
}

TEST_F(NetworkLobby, ASecondHostOnTheSamePortFailsSayingWhyAndStaysOutOfTheLobby)
{
    Host();
    NetworkManager second;
    const uint16_t taken = server.host->address.port;
    second.port = taken;
    // The one line of the game's own that waits for a key takes one of these, and only one.
    const std::string keys = "kkkk\n";
    TypedKeyOnTerminal console(keys);
    ASSERT_TRUE(console.Ready());
    LogWatch errors(ErrorLog);
    LogWatch warnings(WarningLog);
    second.StartServer();
    EXPECT_EQ(errors.Lines(), std::vector<std::string>{"[NetworkManager.cpp:147]Failed to create server."});
    const std::vector<std::string> warned = warnings.Lines();
    ASSERT_EQ(warned.size(), 1u) << testing::PrintToString(warned);
    const std::string why = "[NetworkManager.cpp:614]The server could not open UDP port " + std::to_string(taken) +
                            ": Address already in use. ";
    EXPECT_EQ(warned[0].rfind(why, 0), 0u) << warned[0];
    EXPECT_NE(warned[0].find("LEDROW_PORT picks another port."), std::string::npos) << warned[0];
    EXPECT_EQ("[NetworkManager.cpp:614]" + second.serverFailure, warned[0]) << "the lobby shows the same line";
    EXPECT_EQ(second.role, NetworkRole::None);
    EXPECT_EQ(second.host, nullptr);
    EXPECT_EQ(second.ownPlayerNumber, -1);
    EXPECT_EQ(console.Unread(), keys.substr(1));

    // The lobby that runs goes on.
    NetworkManager& ada = Join("Ada");
    EXPECT_EQ(ada.ownPlayerNumber, 1);

    // Once the port is free, the same manager hosts on it and forgets why it could not before.
    server.Shutdown();
    second.StartServer();
    ASSERT_EQ(second.role, NetworkRole::Server);
    EXPECT_EQ(second.host->address.port, taken);
    EXPECT_EQ(second.serverFailure, "");
}

// Tests host on ports of their own through the setting, never on the game's, which another game on
// the machine may hold.
TEST(NetworkPort, TheSettingNamesAPortOrTheGameKeepsItsOwn)
{
    const struct
    {
        const char* setting;
        uint16_t port;
        bool warned;
    } cases[] = {
        {nullptr, NetworkManager::DefaultPort, false},
        {"", NetworkManager::DefaultPort, false},
        {"1", 1, false},
        {"40123", 40123, false},
        {"65535", 65535, false},
        {"0", NetworkManager::DefaultPort, true},
        {"65536", NetworkManager::DefaultPort, true},
        {"99999999999999999999", NetworkManager::DefaultPort, true},
        {"-5", NetworkManager::DefaultPort, true},
        {"8097 ", NetworkManager::DefaultPort, true},
        {"port", NetworkManager::DefaultPort, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.setting == nullptr ? "(not set)" : c.setting);
        const LogWatch warnings(WarningLog);
        const LogWatch errors(ErrorLog);
        EXPECT_EQ(NetworkManager::PortFromSetting(c.setting), c.port);
        EXPECT_EQ(warnings.Lines().size(), c.warned ? 1u : 0u);
        EXPECT_TRUE(errors.Lines().empty());
    }
}
