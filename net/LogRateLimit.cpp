#include "LogRateLimit.h"

#include <chrono>

#include "LogChannel.h"

LogRateLimit::LogRateLimit(uint32_t lines, double seconds) : linesPerWindow(lines), windowSeconds(seconds) {}

bool LogRateLimit::Admit(double now)
{
    // A clock that goes backwards (another clock's value) opens a new window rather than none.
    if (!started || now - windowStart >= windowSeconds || now < windowStart)
    {
        started = true;
        windowStart = now;
        linesInWindow = 0;
    }
    if (linesInWindow < linesPerWindow)
    {
        ++linesInWindow;
        return true;
    }
    if (heldBack < UINT32_MAX)
        ++heldBack;
    return false;
}

uint32_t LogRateLimit::TakeHeldBack()
{
    const uint32_t count = heldBack;
    heldBack = 0;
    return count;
}

void LogRateLimit::Write(LogChannel& channel, const std::string& line)
{
    if (!Admit(Now()))
        return;
    channel << line;
    const uint32_t count = TakeHeldBack();
    if (count > 0)
        channel << " (" << count << " more dropped records went unlogged before this one.)";
    channel.EndMessageWithoutWaiting();
}

double LogRateLimit::Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
