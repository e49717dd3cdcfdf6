#pragma once

#include <csignal>
#include <cstdint>
#include <functional>

#include <sys/resource.h>

/// Runs `action` while no file that this process writes may grow past `bytes`: a write beyond
/// fails the way it does on a full disk, whoever runs the test (permissions do not bind the
/// superuser, this limit does). False, without running `action`, when the limit cannot be set.
inline bool WithFileSizeLimit(uint64_t bytes, const std::function<void()>& action)
{
    rlimit saved{};
    if (getrlimit(RLIMIT_FSIZE, &saved) != 0)
        return false;
    rlimit small = saved;
    small.rlim_cur = bytes;
    // Past the limit the system raises SIGXFSZ, which would end the test; ignored, the write fails.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &small) != 0)
    {
        std::signal(SIGXFSZ, previousHandler);
        return false;
    }
    action();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    return true;
}
