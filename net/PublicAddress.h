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

/// The body of the background thread that the game starts once at start-up and detaches: asks
/// `PublicAddressUrl` and writes the answer to `PublicAddressFile`. Shares nothing in memory with
/// the game and never logs (the log channels belong to the main thread); a failure leaves the
/// file as it was. Gives up after 10 seconds at most.
void FetchPublicAddress();

/// Asks `url` (http or https only, no redirections) and, when it answers 200 with 1 to 256 bytes,
/// replaces `path` with the answer; the file is never seen half-written. Gives up after
/// `timeoutSeconds`. True when the file was written. Safe on any thread; uses no global state of
/// the game.
bool FetchPublicAddressTo(const std::string& url, const std::string& path, long timeoutSeconds);
