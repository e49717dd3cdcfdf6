#pragma once

#include <cstdint>
#include <string>

class LogRateLimit;

/// What the network asks of the game in one frame.
enum class ClientResponseType : uint32_t
{
    None = 0,
    StartGame = 1, ///< start `levelName` with `playerCount` players
    EndGame = 3,   ///< end the level in play
};

/// What `NetworkManager::Update` hands the game each frame; the level-select screen acts on a
/// start and the play screen on an end, every other screen drops it.
struct ClientResponseAction
{
    ClientResponseType type = ClientResponseType::None;
    std::string levelName; ///< a file name in "Data/Levels/"; empty unless a start
    int32_t playerCount = 0; ///< players of the level to start; meaningful for a start only

    /// Folds the answer to one more record of the same frame into this one: the first action of
    /// a frame wins, and a second one is dropped with a line on `ErrorLog` that `log` lets through
    /// (the host sent both, so the line never waits for a key).
    void Merge(const ClientResponseAction& other, LogRateLimit& log);
};
