#pragma once

#include <string>

/// The service asked for this machine's public address when `LEDROW_PUBLIC_ADDRESS_URL` is not
/// set: a request for its path "/raw" answers with the caller's public address as plain text.
inline constexpr const char* DefaultPublicAddressUrl = "https://myexternalip.com/raw";
/// Where the answer goes, relative to the working folder; `NetworkManager::StartServer` reads it.
inline constexpr const char* PublicAddressFile = "externalIP.txt";

/// The address that the fetch asks: `LEDROW_PUBLIC_ADDRESS_URL` when it is set and not empty
/// (every test and script points it at loopback), else `DefaultPublicAddressUrl`.
std::string PublicAddressUrl();

/// Sets up the transfer library for the fetches, on the main thread before the first fetch starts
/// (the set-up is not safe beside any other use of the library), and arranges that an exit
/// first stops every fetch under way and waits until it has left the library, before the static
/// destructors and the libraries' own exit handlers run: an exit can come at any moment of a
/// fetch. The library is never cleaned up. Should a fetch not stop within two seconds, the exit
/// logs it on `WarningLog` and ends the process at once with its status. False when the library
/// cannot be set up; every fetch then fails at once. Calls after one that succeeded do nothing.
bool PreparePublicAddressFetch();

/// The body of the background thread that the game starts once at start-up and detaches, after
/// `PreparePublicAddressFetch`: asks `PublicAddressUrl` and writes the answer to
/// `PublicAddressFile`. Shares nothing in memory with the game and never logs (the log channels
/// belong to the main thread); a failure leaves the file as it was. Gives up after 10 seconds at
/// most, and at once when the process exits.
void FetchPublicAddress();

/// Asks `url` (http or https only, no redirections) and, when it answers 200 with 1 to 256 bytes,
/// replaces `path` with the answer; the file is never seen half-written. Gives up after
/// `timeoutSeconds`, or when the process exits. True when the file was written. Safe on any
/// thread once `PreparePublicAddressFetch` has returned; false at once before.
bool FetchPublicAddressTo(const std::string& url, const std::string& path, long timeoutSeconds);
