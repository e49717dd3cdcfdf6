#pragma once

#include <cstdint>
#include <string>

/// Measures a stretch of work on the steady clock and reports it once on `InfoLog` as
/// "\"<name>\" finished in <ms> milliseconds." when stopped or destroyed, whichever comes first.
/// An empty name reports nothing.
class ScopedTimer
{
public:
    explicit ScopedTimer(std::string name);
    ~ScopedTimer();
    ScopedTimer(const ScopedTimer&) = delete;
    ScopedTimer& operator=(const ScopedTimer&) = delete;

    /// Reports the whole milliseconds since construction (truncated); later calls do nothing.
    void Stop();

    /// The steady clock's reading in nanoseconds, from an epoch of its own that every process
    /// of the machine shares.
    static int64_t SteadyNanoseconds();

private:
    std::string name;
    int64_t startNanoseconds;
    bool stopped;
};
