#include "ScopedTimer.h"

#include <chrono>

#include "LogChannel.h"

int64_t ScopedTimer::SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ScopedTimer::ScopedTimer(std::string timerName) : name(std::move(timerName)), startNanoseconds(SteadyNanoseconds()), stopped(false) {}

ScopedTimer::~ScopedTimer()
{
    Stop();
}

void ScopedTimer::Stop()
{
    if (stopped)
        return;
    const int64_t milliseconds = (SteadyNanoseconds() - startNanoseconds) / 1000000;
    if (!name.empty())
    {
        InfoLog << '"' << name << '"' << " finished in " << milliseconds << " milliseconds.";
        InfoLog.EndMessage();
    }
    stopped = true;
}
