#include "FramePacer.h"

#include <thread>

FramePacer::FramePacer(double periodSeconds)
    : period(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(periodSeconds > 0.0 ? periodSeconds : 0.0)))
{
}

void FramePacer::WaitForNextFrame()
{
    const Clock::duration wait = NextWait(Clock::now());
    if (wait > Clock::duration::zero())
        std::this_thread::sleep_until(deadline);
}

FramePacer::Clock::duration FramePacer::NextWait(Clock::time_point now)
{
    if (!started)
    {
        started = true;
        deadline = now;
        return Clock::duration::zero();
    }
    deadline += period;
    if (now < deadline)
        return deadline - now;
    if (now - deadline >= period)
        deadline = now;
    return Clock::duration::zero();
}
