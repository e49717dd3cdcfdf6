#include "LogRateLimit.h"

#include <chrono>
#include <utility>

#include "LogChannel.h"

LogRateLimit::LogRateLimit(uint32_t lines, double seconds, std::string counted)
    : linesPerWindow(lines), windowSeconds(seconds), counted(std::move(counted))
{
}

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

void LogRateLimit::Write(LogChannel& channel, const std::string& line, double now)
{
    if (!Admit(now))
        return;
    channel << line;
    const uint32_t count = TakeHeldBack();
    if (count > 0)
        channel << " (" << count << " more " << counted << " went unlogged before this one.)";
    channel.EndMessageWithoutWaiting();
}

double LogRateLimit::Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
