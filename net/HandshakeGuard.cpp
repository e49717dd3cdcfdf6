#include "HandshakeGuard.h"

#include <cstring>

#include <enet/protocol.h>

namespace
{
// The states of a peer from a request that the host answered to the connect event; the last is
// that of an attempt the host made itself, and lasts only within one service of the host. An
// attempt still waiting for its answer (`ENET_PEER_STATE_CONNECTING`) is no stranger's, and keeps
// the library's time-out so that a join survives a few lost datagrams.
bool InHandshake(const ENetPeer& peer)
{
    return peer.state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT || peer.state == ENET_PEER_STATE_CONNECTION_PENDING ||
           peer.state == ENET_PEER_STATE_CONNECTION_SUCCEEDED;
}

// Read as the library reads a datagram: a header whose peer ID, without its flag and session
// bits, is the one of a peer still unknown, then the first command, which must be whole. Only
// that first command can open a connection. The game's hosts have no compressor, so the library
// drops a compressed datagram unread; it passes here for the same reason.
bool IsConnectRequest(const enet_uint8* data, size_t length, bool checksummed)
{
    enet_uint16 peerID = 0;
    if (data == nullptr || length < sizeof(peerID))
        return false;
    std::memcpy(&peerID, data, sizeof(peerID));
    peerID = ENET_NET_TO_HOST_16(peerID);
    const enet_uint16 flags = peerID & ENET_PROTOCOL_HEADER_FLAG_MASK;
    peerID &= ~(ENET_PROTOCOL_HEADER_FLAG_MASK | ENET_PROTOCOL_HEADER_SESSION_MASK);
    if (peerID != ENET_PROTOCOL_MAXIMUM_PEER_ID || (flags & ENET_PROTOCOL_HEADER_FLAG_COMPRESSED) != 0)
        return false;

    size_t headerSize = (flags & ENET_PROTOCOL_HEADER_FLAG_SENT_TIME) != 0 ? sizeof(ENetProtocolHeader)
                                                                            : offsetof(ENetProtocolHeader, sentTime);
    if (checksummed)
        headerSize += sizeof(enet_uint32);
    if (length < headerSize || length - headerSize < sizeof(ENetProtocolConnect))
        return false;
    const enet_uint8 command = data[headerSize + offsetof(ENetProtocolCommandHeader, command)];
    return (command & ENET_PROTOCOL_COMMAND_MASK) == ENET_PROTOCOL_COMMAND_CONNECT;
}

// What a peer's `data` points at while its join record is still to come: an address of the
// guard's own, which nothing else can hand the library.
char awaitingJoin;
} // namespace

int ENET_CALLBACK HandshakeGuard::Intercept(ENetHost* host, ENetEvent*)
{
    if (host == nullptr ||
        !IsConnectRequest(host->receivedData, host->receivedDataLength, host->checksum != nullptr))
        return 0;
    // By address alone: one machine can open any number of sockets. Players who have joined do
    // not count, since several may share an address behind one router.
    return SlotsBeforeJoining(*host, host->receivedAddress.host) >= MaxHandshakesPerAddress ? 1 : 0;
}

size_t HandshakeGuard::SlotsBeforeJoining(const ENetHost& host, enet_uint32 address)
{
    size_t count = 0;
    for (size_t i = 0; i < host.peerCount; ++i)
    {
        const ENetPeer& peer = host.peers[i];
        if (peer.address.host == address && (InHandshake(peer) || IsAwaitingJoin(peer)))
            ++count;
    }
    return count;
}

void HandshakeGuard::MarkAwaitingJoin(ENetPeer& peer)
{
    peer.data = &awaitingJoin;
}

void HandshakeGuard::ClearAwaitingJoin(ENetPeer& peer)
{
    if (peer.data == &awaitingJoin)
        peer.data = nullptr;
}

bool HandshakeGuard::IsAwaitingJoin(const ENetPeer& peer)
{
    return peer.state == ENET_PEER_STATE_CONNECTED && peer.data == &awaitingJoin;
}

void HandshakeGuard::ShortenHandshakes(ENetHost& host)
{
    for (size_t i = 0; i < host.peerCount; ++i)
        if (InHandshake(host.peers[i]))
            enet_peer_timeout(&host.peers[i], TimeoutLimit, TimeoutMinimumMs, TimeoutMaximumMs);
}
