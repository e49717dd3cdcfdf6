#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include <enet/enet.h>
#include <enet/protocol.h>

namespace net_testing
{
/// The header's peer ID of a peer that the host does not know yet.
constexpr enet_uint16 UnknownPeerID = ENET_PROTOCOL_MAXIMUM_PEER_ID;

/// `command` as a command that wants an acknowledgement.
constexpr enet_uint8 Acknowledged(ENetProtocolCommand command)
{
    return static_cast<enet_uint8>(command | static_cast<enet_uint8>(ENET_PROTOCOL_COMMAND_FLAG_ACKNOWLEDGE));
}

/// One datagram as the library's `enet_host_connect` sends it to ask a host for a slot: the
/// header of a peer still unknown, with its sent time, and a whole connect command.
struct ConnectDatagram
{
    ENetProtocolHeader header;
    ENetProtocolConnect connect;
} ENET_PACKED;
static_assert(sizeof(ConnectDatagram) == 52, "a connection request is 52 bytes on the wire");

/// The bytes of a connection request for two channels, told apart by `connectID`.
inline std::vector<uint8_t> ConnectRequest(enet_uint32 connectID)
{
    ConnectDatagram datagram{};
    datagram.header.peerID = ENET_HOST_TO_NET_16(UnknownPeerID | ENET_PROTOCOL_HEADER_FLAG_SENT_TIME);
    datagram.header.sentTime = ENET_HOST_TO_NET_16(1);
    ENetProtocolConnect& connect = datagram.connect;
    connect.header.command = Acknowledged(ENET_PROTOCOL_COMMAND_CONNECT);
    connect.header.channelID = 0xFF;
    connect.header.reliableSequenceNumber = ENET_HOST_TO_NET_16(1);
    connect.outgoingPeerID = ENET_HOST_TO_NET_16(0);
    connect.incomingSessionID = 0xFF;
    connect.outgoingSessionID = 0xFF;
    connect.mtu = ENET_HOST_TO_NET_32(ENET_HOST_DEFAULT_MTU);
    connect.windowSize = ENET_HOST_TO_NET_32(ENET_PROTOCOL_MAXIMUM_WINDOW_SIZE);
    connect.channelCount = ENET_HOST_TO_NET_32(2);
    connect.packetThrottleInterval = ENET_HOST_TO_NET_32(ENET_PEER_PACKET_THROTTLE_INTERVAL);
    connect.packetThrottleAcceleration = ENET_HOST_TO_NET_32(ENET_PEER_PACKET_THROTTLE_ACCELERATION);
    connect.packetThrottleDeceleration = ENET_HOST_TO_NET_32(ENET_PEER_PACKET_THROTTLE_DECELERATION);
    connect.connectID = connectID;
    std::vector<uint8_t> bytes(sizeof(datagram));
    std::memcpy(bytes.data(), &datagram, sizeof(datagram));
    return bytes;
}
} // namespace net_testing
