// The guard against strangers' connection requests, on a host that exists only as the library's
// structure: which datagrams it takes, read byte by byte from exactly what was received.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ConnectRequest.h"
#include "HandshakeGuard.h"

using namespace net_testing;

namespace
{
constexpr enet_uint32 Crowded = 0x0100007F;  // already at the cap of handshakes
constexpr enet_uint32 Busy = 0x0200007F;     // a handshake short of it, and players in the lobby
constexpr enet_uint32 Quiet = 0x0300007F;    // nothing under way
constexpr enet_uint32 Unjoined = 0x0400007F; // at the cap with connections yet to join

std::vector<uint8_t> WithPeerID(std::vector<uint8_t> bytes, enet_uint16 peerID)
{
    peerID = ENET_HOST_TO_NET_16(peerID);
    std::memcpy(bytes.data(), &peerID, sizeof(peerID));
    return bytes;
}

std::vector<uint8_t> WithCommand(std::vector<uint8_t> bytes, enet_uint8 command)
{
    bytes[offsetof(ConnectDatagram, connect)] = command;
    return bytes;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

// The same request without the sent time, as the library sends a datagram of no reliable command.
std::vector<uint8_t> WithoutSentTime(std::vector<uint8_t> bytes)
{
    bytes = WithPeerID(bytes, UnknownPeerID);
    bytes.erase(bytes.begin() + offsetof(ENetProtocolHeader, sentTime), bytes.begin() + sizeof(ENetProtocolHeader));
    return bytes;
}

std::vector<uint8_t> WithChecksum(std::vector<uint8_t> bytes)
{
    bytes.insert(bytes.begin() + sizeof(ENetProtocolHeader), sizeof(enet_uint32), 0);
    return bytes;
}

enet_uint32 Checksum(const ENetBuffer*, size_t)
{
    return 0;
}

struct DatagramCase
{
    const char* what;
    enet_uint32 from;
    std::vector<uint8_t> bytes;
    bool taken;
    bool checksummed = false;
};
} // namespace

TEST(HandshakeGuard, TakesConnectionRequestsOnlyFromAnAddressWithItsFillOfSlotsBeforeJoining)
{
    const std::vector<uint8_t> request = ConnectRequest(7);
    const enet_uint16 sentTime = ENET_PROTOCOL_HEADER_FLAG_SENT_TIME;
    const std::vector<DatagramCase> cases = {
        {"a request", Crowded, request, true},
        {"a request without its sent time", Crowded, WithoutSentTime(request), true},
        {"a request in another session", Crowded,
         WithPeerID(request, UnknownPeerID | ENET_PROTOCOL_HEADER_SESSION_MASK | sentTime), true},
        {"a request to a host with checksums", Crowded, WithChecksum(request), true, true},
        {"a request from an address a handshake short", Busy, request, false},
        {"a request from an address with nothing under way", Quiet, request, false},
        {"a request from an address whose connections have not joined", Unjoined, request, true},
        {"an empty datagram", Crowded, {}, false},
        {"half a peer ID", Crowded, Cut(request, 1), false},
        {"a header alone", Crowded, Cut(request, sizeof(ENetProtocolHeader)), false},
        {"a request cut short", Crowded, Cut(request, request.size() - 1), false},
        {"a request without its checksum", Crowded, request, false, true},
        {"a compressed request", Crowded,
         WithPeerID(request, UnknownPeerID | ENET_PROTOCOL_HEADER_FLAG_COMPRESSED | sentTime), false},
        {"a request to a peer that exists", Crowded, WithPeerID(request, 0 | sentTime), false},
        {"a ping from a peer still unknown", Crowded,
         WithCommand(request, Acknowledged(ENET_PROTOCOL_COMMAND_PING)), false},
    };

    // Crowded has its fill of handshakes in every state of one; Busy is a handshake short, beside
    // peers in every other state, which are no handshakes the host is waiting on, and beside
    // peers whose mark of a join to come outlived their connection, which the library leaves in
    // a slot it resets. Unjoined has one handshake and its other slots taken by connections that
    // have not sent their join record.
    std::vector<ENetPeer> peers;
    const auto add = [&](enet_uint32 address, ENetPeerState state, bool awaitingJoin = false) {
        ENetPeer& peer = peers.emplace_back();
        peer.address.host = address;
        peer.state = state;
        if (awaitingJoin)
            HandshakeGuard::MarkAwaitingJoin(peer);
    };
    const ENetPeerState handshakes[] = {ENET_PEER_STATE_ACKNOWLEDGING_CONNECT, ENET_PEER_STATE_CONNECTION_PENDING,
                                        ENET_PEER_STATE_CONNECTION_SUCCEEDED};
    for (size_t i = 0; i < HandshakeGuard::MaxHandshakesPerAddress; ++i)
        add(Crowded, handshakes[i % std::size(handshakes)]);
    for (size_t i = 0; i + 1 < HandshakeGuard::MaxHandshakesPerAddress; ++i)
        add(Busy, handshakes[i % std::size(handshakes)]);
    for (ENetPeerState other : {ENET_PEER_STATE_CONNECTING, ENET_PEER_STATE_CONNECTED, ENET_PEER_STATE_DISCONNECT_LATER,
                                ENET_PEER_STATE_DISCONNECTING, ENET_PEER_STATE_ACKNOWLEDGING_DISCONNECT,
                                ENET_PEER_STATE_ZOMBIE, ENET_PEER_STATE_DISCONNECTED})
    {
        add(Busy, other);
        if (other != ENET_PEER_STATE_CONNECTED)
            add(Busy, other, true);
    }
    add(Unjoined, ENET_PEER_STATE_CONNECTION_PENDING);
    for (size_t i = 0; i + 1 < HandshakeGuard::MaxHandshakesPerAddress; ++i)
        add(Unjoined, ENET_PEER_STATE_CONNECTED, true);
    // One that has joined since, as the game clears the mark on taking its join record.
    add(Busy, ENET_PEER_STATE_CONNECTED, true);
    HandshakeGuard::ClearAwaitingJoin(peers.back());
    const auto host = std::make_unique<ENetHost>();
    host->peers = peers.data();
    host->peerCount = peers.size();

    for (const DatagramCase& c : cases)
    {
        // Exactly the received bytes, so that a read past them is caught.
        const auto received = std::make_unique<enet_uint8[]>(c.bytes.size());
        std::copy(c.bytes.begin(), c.bytes.end(), received.get());
        host->receivedData = c.bytes.empty() ? nullptr : received.get();
        host->receivedDataLength = c.bytes.size();
        host->receivedAddress.host = c.from;
        host->checksum = c.checksummed ? Checksum : nullptr;
        EXPECT_EQ(HandshakeGuard::Intercept(host.get(), nullptr), c.taken ? 1 : 0) << c.what;
    }
}
