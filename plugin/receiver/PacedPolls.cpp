#include "plugin/receiver/PacedPolls.h"

#include "common/win/SteadyClock.h"

bool RunPacedPolls(const PollFunction& poll, const IntervalFunction& intervalMs, HANDLE stop,
                   const PollResultFunction& onPoll)
{
    PollPacer pacer(win::SteadyMicroseconds());
    for (;;) {
        if (!onPoll(poll()))
            return true;
        std::uint64_t now = win::SteadyMicroseconds();
        pacer.Polled(now, intervalMs());
        // Rounded up, so that the pause never ends before the poll is due.
        auto pauseMs = static_cast<DWORD>((pacer.NextPollUs() - now + 999) / 1000);
        if (!stop)
            ::Sleep(pauseMs);
        else if (::WaitForSingleObject(stop, pauseMs) != WAIT_TIMEOUT)
            return false;
    }
}
