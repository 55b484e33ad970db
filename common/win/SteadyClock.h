#pragma once
// The one clock of the plug-in and its companion: time from the
// high-resolution counter. GetTickCount advances in steps of 10 to 16 ms,
// which would put a repeat, a release or a poll up to a step away from its
// time.

#include <chrono>
#include <cstdint>

namespace win {

inline std::uint64_t SteadyMicroseconds()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

inline std::uint64_t SteadyMilliseconds()
{
    return SteadyMicroseconds() / 1000;
}

}  // namespace win
