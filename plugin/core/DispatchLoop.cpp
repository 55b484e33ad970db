// A thin loop around KeyDispatcher. It takes codes from the slot, reads the
// clock, runs a pass and waits for the next code or for the stop: with no
// time limit while no key is down, and while one is, until the moment its
// next repeat or its time-out release is due, so that each comes on time
// rather than at the next of a fixed rhythm of wake-ups.

#include "plugin/core/DispatchLoop.h"

#include <algorithm>

namespace {

// The clock as the key rules must see it: never going back. They count
// elapsed time as an unsigned difference, so a reading a millisecond behind
// the one before would count as 49 days gone, and fire a repeat or a
// release at once.
class ForwardClock {
public:
    explicit ForwardClock(DispatchClock& clock) : clock_(clock) {}

    std::uint64_t NowMicroseconds()
    {
        latest_ = std::max(latest_, clock_.NowMicroseconds());
        return latest_;
    }
    CodeWait Wait(std::optional<std::chrono::microseconds> timeout) { return clock_.Wait(timeout); }

private:
    DispatchClock& clock_;
    std::uint64_t latest_ = 0;
};

// The key rules count milliseconds in 32 bits that wrap, as GetTickCount does.
std::uint32_t TickCount(ForwardClock& clock)
{
    return static_cast<std::uint32_t>(clock.NowMicroseconds() / 1000);
}

// A deadline is a whole millisecond of the tick count. The wait ends as that
// millisecond begins, rather than as far into it as the present moment is
// into the current one: a repeat then comes at most a timer's wake-up after
// its time, not up to a millisecond more.
std::optional<std::chrono::microseconds> TimeUntilNextDeadline(ForwardClock& clock, const KeyDispatcher& dispatcher,
                                                               const KeyTiming& timing)
{
    std::uint64_t nowUs = clock.NowMicroseconds();
    auto now = static_cast<std::uint32_t>(nowUs / 1000);
    std::optional<std::uint32_t> deadline = dispatcher.NextDeadline(now, timing);
    if (!deadline)
        return std::nullopt;
    return std::chrono::microseconds(static_cast<std::int64_t>(*deadline - now) * 1000 -
                                     static_cast<std::int64_t>(nowUs % 1000));
}

}  // namespace

void RunDispatchLoop(const DispatchInputs& inputs, KeyDispatcher& dispatcher, DispatchClock& rawClock)
{
    ForwardClock clock(rawClock);
    while (!inputs.stop.IsSet()) {
        std::uint64_t code;
        if (TakeCode(inputs.slot, code))
            dispatcher.CodeArrived(code, TickCount(clock));

        dispatcher.RunPass(TickCount(clock), inputs.timing(), inputs.table());
        if (inputs.stop.IsSet())
            break;

        switch (clock.Wait(TimeUntilNextDeadline(clock, dispatcher, inputs.timing()))) {
        case CodeWait::kTimedOut:
            dispatcher.TimeOut(TickCount(clock), inputs.timing());
            break;
        case CodeWait::kFailed:
            return;  // no event to wait on: spinning would be worse than ending
        default:
            break;
        }
    }
}
