#pragma once
// How the receiver is polled, by the plug-in and by every command of the
// companion: Interval apart from the start of one poll to the start of the
// next, so that neither the time a poll takes nor a pause that ends late
// delays the next one, and a code waits at most one Interval to be seen. A
// receiver slower than Interval is polled again at once, never in a burst
// to catch up.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

// A pause between polls outside the range the setup dialog offers is held at
// the nearest end of it: 0 or a negative value would poll without pause, and
// a pause of minutes would let codes go by unseen.
constexpr std::int32_t kMinIntervalMs = 10;
constexpr std::int32_t kMaxIntervalMs = 1000;
inline std::uint32_t BoundedInterval(std::int32_t intervalMs)
{
    return static_cast<std::uint32_t>(std::clamp(intervalMs, kMinIntervalMs, kMaxIntervalMs));
}

// When the next poll is due, on the steady clock's microseconds.
class PollPacer {
public:
    explicit PollPacer(std::uint64_t firstPollUs) : nextPollUs_(firstPollUs) {}

    std::uint64_t NextPollUs() const { return nextPollUs_; }
    // The poll that was due has ended at nowUs; intervalMs as the settings
    // hold it now.
    void Polled(std::uint64_t nowUs, std::int32_t intervalMs)
    {
        nextPollUs_ = std::max(nextPollUs_ + std::uint64_t{BoundedInterval(intervalMs)} * 1000, nowUs);
    }

private:
    std::uint64_t nextPollUs_;
};

// One poll of the receiver: the code it reports, if any.
using PollFunction = std::function<std::optional<unsigned char>()>;
// Interval, read anew before every pause: the setup dialog changes it while
// the polls run.
using IntervalFunction = std::function<std::int32_t()>;
// What one poll found; false ends the polls.
using PollResultFunction = std::function<bool(std::optional<unsigned char> code)>;

// Polls at once and then whenever the next poll is due, handing every
// result to onPoll, until onPoll returns false (true then) or stop, an
// event, is set (false then; also when it cannot be waited on). The pause is
// a wait on stop, so that stop never waits out a long Interval; with no stop
// the polls end only by onPoll.
bool RunPacedPolls(const PollFunction& poll, const IntervalFunction& intervalMs, HANDLE stop,
                   const PollResultFunction& onPoll);
