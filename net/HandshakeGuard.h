#pragma once

#include <cstddef>

#include <enet/enet.h>

/// Keeps strangers from holding a host's slots with connection requests that they never follow
/// up. The library gives a slot to every request at once and keeps it for its own time-out of
/// about half a minute, and no event tells the game of a handshake before it completes; so the
/// guard works on the library's own datagrams and peer states, and knows nothing of the game.
///
/// A hosting host installs `Intercept` as its `intercept` callback and calls `ShortenHandshakes`
/// once per frame after servicing it. Main thread only, like the host.
class HandshakeGuard
{
public:
    /// Handshakes that one IPv4 address may have under way at once: enough for a few players
    /// behind one router joining at the same moment, and few enough that one machine, whatever
    /// number of sockets it opens, leaves most of the slots free.
    static constexpr size_t MaxHandshakesPerAddress = 4;
    /// The time-out of a handshake the host is still waiting on: given up after a few seconds
    /// without an answer, yet never sooner than a connected peer would be.
    static constexpr enet_uint32 TimeoutLimit = 3;
    static constexpr enet_uint32 TimeoutMinimumMs = 1000;
    static constexpr enet_uint32 TimeoutMaximumMs = 3000;

    /// The host's `intercept` callback, called for every datagram it receives before the library
    /// reads it: takes (1) a connection request from an address that already has
    /// `MaxHandshakesPerAddress` handshakes under way with the host, and lets every other
    /// datagram through (0). Reads nothing outside the received datagram.
    static int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent* event);

    /// Gives every peer of `host` that is still in a handshake the guard's short time-out, so that
    /// an abandoned handshake frees its slot without an event. A connection attempt of the host's
    /// own keeps the library's time-out, and a connected peer keeps whatever it was given.
    static void ShortenHandshakes(ENetHost& host);
};
