#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <box2d/box2d.h>
#include <enet/enet.h>
#include <gtest/gtest.h>

#include "Camera.h"
#include "Level.h"
#include "NetworkManager.h"

namespace net_testing
{
/// Starts `level` as a game of `count` players with `localIndex` steered here.
inline void StartLevel(Level& level, int32_t count, uint32_t localIndex)
{
    ASSERT_TRUE(level.Start(count, localIndex));
}

/// The lines of a manager's lobby list.
inline std::vector<std::string> Lines(const NetworkManager& manager)
{
    return std::vector<std::string>(manager.messages.begin(), manager.messages.end());
}

inline bool Holds(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& each : lines)
        if (each == line)
            return true;
    return false;
}

/// A host and its clients in this process, on a free loopback port. `Pump` runs every manager's
/// frame until a condition holds, keeping what each frame's `Update` answered.
class LoopbackLobby : public ::testing::Test
{
protected:
    NetworkManager server;
    std::deque<std::unique_ptr<NetworkManager>> clients;
    std::map<const NetworkManager*, std::vector<ClientResponseAction>> actions;
    Camera camera;
    std::deque<Level> levels; ///< what `PlayTogether` started, one a machine

    void SetUp() override { ASSERT_EQ(enet_initialize(), 0); }
    void TearDown() override
    {
        clients.clear();
        server.Shutdown();
        enet_deinitialize();
    }

    /// Makes `server` the host of lobby `lobby` on a free port.
    void Host(const std::string& name = "Hana", const std::string& lobby = "Den")
    {
        CopyText(server.playerNameEntry, name);
        CopyText(server.lobbyNameEntry, lobby);
        server.port = 0;
        server.StartServer();
        server.lobbyState = LobbyState::Hosting;
        ASSERT_EQ(server.role, NetworkRole::Server);
    }

    /// A new client that connects as `name` and waits for its welcome.
    NetworkManager& Join(const std::string& name)
    {
        clients.push_back(std::make_unique<NetworkManager>());
        NetworkManager& client = *clients.back();
        CopyText(client.playerNameEntry, name);
        client.port = server.host->address.port;
        EXPECT_TRUE(client.Join("127.0.0.1"));
        client.lobbyState = LobbyState::Connecting;
        EXPECT_TRUE(Pump([&] { return client.ownPlayerNumber > 0; })) << name << " was not welcomed";
        // Everyone hears of the newcomer before the test goes on.
        Settle();
        return client;
    }

    /// Starts a level of everyone in the lobby on every machine, each steering its own player, and
    /// hands each manager its copy as the game does: the host's is `*server.level`.
    void PlayTogether()
    {
        const auto count = static_cast<int32_t>(clients.size() + 1);
        server.level = &levels.emplace_back(&camera);
        StartLevel(*server.level, count, 0);
        for (auto& client : clients)
        {
            client->level = &levels.emplace_back(&camera);
            StartLevel(*client->level, count, static_cast<uint32_t>(client->ownPlayerNumber));
        }
    }

    /// One frame of every manager.
    void Frame()
    {
        Record(server);
        for (auto& client : clients)
            Record(*client);
    }

    /// Frames until `done` holds, at most `seconds`. True when it held.
    bool Pump(const std::function<bool()>& done, double seconds = 5.0)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end)
        {
            Frame();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    /// Frames for a short while, so that whatever is in flight on loopback arrives.
    void Settle(int frames = 30)
    {
        for (int i = 0; i < frames; ++i)
        {
            Frame();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    /// Every action that `manager` answered of the given type.
    size_t ActionsOf(const NetworkManager& manager, ClientResponseType type)
    {
        size_t count = 0;
        for (const ClientResponseAction& action : actions[&manager])
            count += action.type == type ? 1 : 0;
        return count;
    }

    /// The server's peer handle of `client`, and the client's handle of the server.
    ENetPeer* PeerOf(const NetworkManager& client)
    {
        for (const auto& [peer, info] : server.peers)
            if (info.playerNumber == client.ownPlayerNumber)
                return peer;
        return nullptr;
    }
    static ENetPeer* ServerPeer(const NetworkManager& client) { return client.peers.begin()->first; }

    /// Sends raw bytes as one packet, bypassing every check of the sender.
    static void SendRaw(ENetPeer* peer, const std::vector<uint8_t>& bytes, uint8_t channel = 0,
                        enet_uint32 flags = ENET_PACKET_FLAG_RELIABLE)
    {
        ENetPacket* packet = enet_packet_create(bytes.empty() ? nullptr : bytes.data(), bytes.size(), flags);
        ASSERT_NE(packet, nullptr);
        ASSERT_EQ(enet_peer_send(peer, channel, packet), 0);
    }

private:
    void Record(NetworkManager& manager)
    {
        ClientResponseAction action = manager.Update();
        if (action.type != ClientResponseType::None)
            actions[&manager].push_back(action);
    }
};

/// The host's start of `levelName` for `playerCount` players.
inline StartGamePacket StartRecord(const std::string& levelName, uint32_t playerCount)
{
    StartGamePacket record;
    CopyText(record.levelName, levelName);
    record.playerCount = playerCount;
    return record;
}

template <typename Record>
std::vector<uint8_t> BytesOf(const Record& record)
{
    std::vector<uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}
} // namespace net_testing
