#pragma once

#include <cstddef>

#include <enet/enet.h>

/// Keeps strangers from holding a host's slots with connection requests that they never follow
/// up, or with connections that never join. The library gives a slot to every request at once and
/// keeps it for its own time-out of about half a minute, and no event tells the game of a
/// handshake before it completes; so the guard works on the library's own datagrams and peer
/// states. Of the game it knows one thing: which connected peers have not sent their join record
/// yet, which the game marks in the peers' `data` through `MarkAwaitingJoin` and
/// `ClearAwaitingJoin`.
///
/// A hosting host installs `Intercept` as its `intercept` callback and calls `ShortenHandshakes`
/// once per frame after servicing it. Main thread only, like the host.
class HandshakeGuard
{
public:
    /// Slots that one IPv4 address may hold at once before its peers join: handshakes under way
    /// and connected peers yet to send their join record. Enough for a few players behind one
    /// router joining at the same moment (any more retry their requests until these have joined),
    /// and few enough that one machine, whatever number of sockets it opens, leaves most of the
    /// slots free.
    static constexpr size_t MaxHandshakesPerAddress = 4;
    /// The time-out of a handshake the host is still waiting on: given up after a few seconds
    /// without an answer, yet never sooner than a connected peer would be.
    static constexpr enet_uint32 TimeoutLimit = 3;
    static constexpr enet_uint32 TimeoutMinimumMs = 1000;
    static constexpr enet_uint32 TimeoutMaximumMs = 3000;

    /// The host's `intercept` callback, called for every datagram it receives before the library
    /// reads it: takes (1) a connection request from an address that already holds
    /// `MaxHandshakesPerAddress` slots with the host before joining (`SlotsBeforeJoining`), and
    /// lets every other datagram through (0). Reads nothing outside the received datagram.
    static int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent* event);

    /// The slots of `host` that `address` holds with handshakes under way and with connected
    /// peers marked as awaiting their join record.
    static size_t SlotsBeforeJoining(const ENetHost& host, enet_uint32 address);

    /// Marks a peer that has just connected as one whose join record is still to come. The mark
    /// lives in the peer's `data`, which the library keeps as it is when it resets or reuses the
    /// slot; so every peer that connects is marked or cleared, and the mark counts only while the
    /// peer is connected.
    static void MarkAwaitingJoin(ENetPeer& peer);
    /// Clears the mark: the peer's join record was taken or the peer is gone; and first on every
    /// connection, whatever an earlier peer of the slot left.
    static void ClearAwaitingJoin(ENetPeer& peer);
    /// Whether `peer` is connected and marked as awaiting its join record.
    static bool IsAwaitingJoin(const ENetPeer& peer);

    /// Gives every peer of `host` that is still in a handshake the guard's short time-out, so that
    /// an abandoned handshake frees its slot without an event. A connection attempt of the host's
    /// own keeps the library's time-out, and a connected peer keeps whatever it was given.
    static void ShortenHandshakes(ENetHost& host);
};
