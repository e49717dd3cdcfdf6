#pragma once

#include <chrono>

/// Keeps a loop to one pass per display refresh when the buffer swap does not wait for the
/// vertical refresh itself (no vertical sync: virtual displays, some drivers). Where the swap
/// does wait, the frames already take a whole period and the pacer hardly ever sleeps.
class FramePacer
{
public:
    using Clock = std::chrono::steady_clock;

    /// `periodSeconds` is the length of one frame, 1 over the refresh rate.
    explicit FramePacer(double periodSeconds);

    /// Call once after each frame: sleeps until that frame's time is up.
    void WaitForNextFrame();

    /// The wait after a frame that ended at `now`, advancing the schedule by one period. The
    /// first frame sets the schedule going and waits nothing. A frame that ended late waits
    /// nothing, so the next frames catch up; one more than a whole period late restarts the
    /// schedule from `now` rather than racing through the frames it missed.
    Clock::duration NextWait(Clock::time_point now);

private:
    Clock::duration period;
    Clock::time_point deadline{};
    bool started = false;
};
