#pragma once

#include <cstdint>
#include <string>

class LogChannel;

/// Lets at most `linesPerWindow` log lines through in each window of `windowSeconds`, and counts
/// the lines it held back, so that a peer flooding the game with bad records can neither fill the
/// disk nor the log's memory, nor spend the frame writing lines.
class LogRateLimit
{
public:
    /// `counted` names what the held-back lines were about, in the plural, as the first line
    /// after them says.
    LogRateLimit(uint32_t linesPerWindow, double windowSeconds, std::string counted = "dropped records");

    /// True when one more line may be written at `now` (seconds on a steady clock); false counts
    /// it as held back.
    bool Admit(double now);
    /// The lines held back since the previous call, which restarts the count.
    uint32_t TakeHeldBack();

    /// Ends `line` on `channel` when `Admit` lets it through at `now`, and never waits for a key
    /// whatever the channel: a remote peer causes these lines. The first line after some were
    /// held back says how many.
    void Write(LogChannel& channel, const std::string& line, double now = Now());

    /// Seconds on the steady clock, as `Admit` takes them.
    static double Now();

private:
    uint32_t linesPerWindow;
    double windowSeconds;
    std::string counted;
    double windowStart = 0.0;
    bool started = false;
    uint32_t linesInWindow = 0;
    uint32_t heldBack = 0;
};
