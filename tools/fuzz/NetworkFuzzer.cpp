// Feeds arbitrary bytes to the network manager as packets received from its peers, in the host's
// and in a client's role, with a level in play or without one, then lets it run a frame that
// sends this machine's own state. Whatever arrives, the manager must read nothing outside a
// record, write nothing outside the player array, and keep its numbers and lists within bounds.
//
// Input: one byte of set-up (bit 0: client rather than host; bit 1: a level in play; bits 2-3:
// players in the level less one), then records, each a byte naming the sender (one of three
// peers of the lobby or a stranger), a little-endian u16 length and that many bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <box2d/b2_body.h>
#include <enet/enet.h>

#include "Level.h"
#include "LogChannel.h"
#include "NetworkManager.h"
#include "WorldBounds.h"

namespace
{
constexpr int PeerCount = 4;

// The handles of the lobby's peers. None of them is connected, so whatever the manager sends to
// one is refused at once and nothing piles up between inputs.
ENetPeer fakePeers[PeerCount];

ENetHost* SharedHost()
{
    // One host for every input: the manager broadcasts through it, to no connected peer.
    static ENetHost* host = [] {
        enet_initialize();
        ENetAddress address{};
        address.host = ENET_HOST_ANY;
        address.port = 0;
        return enet_host_create(&address, 4, 2, 0, 0);
    }();
    return host;
}

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    if (count < 1 || count > 1u << 16)
        return 0;
    ENetHost* host = SharedHost();
    if (host == nullptr)
        return 0;
    const bool client = (bytes[0] & 1u) != 0;
    const bool inLevel = (bytes[0] & 2u) != 0;
    const int32_t players = 1 + ((bytes[0] >> 2) & 3u);
    {
        NetworkManager manager;
        manager.host = host;
        // One budget of error lines for the whole run, as one game would have, rather than a
        // fresh one per input that would write gigabytes of log.
        static LogRateLimit dropLog = manager.dropLog;
        static LogRateLimit lobbyLog = manager.lobbyLog;
        static LogRateLimit connectionLog = manager.connectionLog;
        manager.dropLog = dropLog;
        manager.lobbyLog = lobbyLog;
        manager.connectionLog = connectionLog;
        Level level(nullptr);
        if (client)
        {
            manager.role = NetworkRole::Client;
            manager.lobbyState = LobbyState::Joined;
            manager.ownPlayerNumber = 1;
            manager.peers[&fakePeers[0]] = PeerInfo{"Host", 0, true};
        }
        else
        {
            manager.role = NetworkRole::Server;
            manager.lobbyState = LobbyState::Hosting;
            manager.ownPlayerNumber = 0;
            manager.peers[&fakePeers[0]] = PeerInfo{"Ada", 1, true};
            manager.peers[&fakePeers[1]] = PeerInfo{"Bo", 2, true};
            manager.peers[&fakePeers[2]] = PeerInfo{};
        }
        if (inLevel)
        {
            const uint32_t local = client ? static_cast<uint32_t>(players > 1 ? 1 : 0) : 0u;
            level.Start(players, local);
            manager.level = &level;
        }

        size_t at = 1;
        while (at + 3 <= count)
        {
            ENetPeer* from = &fakePeers[bytes[at] % PeerCount];
            size_t length = static_cast<size_t>(bytes[at + 1]) | static_cast<size_t>(bytes[at + 2]) << 8;
            at += 3;
            length = std::min(length, count - at);
            // A copy of exactly the record's bytes, so that a read past them is caught.
            uint8_t* record = new uint8_t[length == 0 ? 1 : length];
            if (length > 0)
                std::memcpy(record, bytes + at, length);
            manager.HandlePacket(length == 0 ? nullptr : record, length, from);
            delete[] record;
            at += length;
        }
        manager.Update();

        Check(manager.ownPlayerNumber >= -1 && manager.ownPlayerNumber <= NetworkManager::MaxClients);
        Check(manager.messages.count <= NetworkManager::MaxMessages);
        for (const auto& [peer, info] : manager.peers)
            Check(info.playerNumber >= -1 && info.playerNumber <= NetworkManager::MaxClients);
        if (inLevel)
        {
            Check(level.localPlayer != nullptr && !level.localPlayer->departed);
            for (const Player& player : level.players)
            {
                Check(!player.departed || player.body == nullptr);
                if (player.body != nullptr)
                    Check(IsSanePoint({player.body->GetPosition().x, player.body->GetPosition().y}));
            }
        }

        dropLog = manager.dropLog;
        lobbyLog = manager.lobbyLog;
        connectionLog = manager.connectionLog;
        // The shared host is not the manager's to close.
        manager.host = nullptr;
        manager.role = NetworkRole::None;
        manager.level = nullptr;
    }
    ErrorLog.ClearHistory();
    WarningLog.ClearHistory();
    InfoLog.ClearHistory();
    return 0;
}
