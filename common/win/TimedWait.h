#pragma once
// A wait for a few objects or a moment, whichever comes first, as exact as
// the system allows. A plain wait's time limit is rounded up to the system's
// timer tick (about 15.6 ms unless some program has raised the resolution,
// which this code never does for the whole system). A high-resolution
// waitable timer, where the system offers one (Windows 10 version 1803 and
// later), ends the wait within about a millisecond of its moment instead.

#include "common/win/Handle.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>

namespace win {

class TimedWait {
public:
    // Not in every SDK's headers yet.
    static constexpr DWORD kHighResolutionTimerFlag = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

    TimedWait() noexcept
        : timer_(plainWaitForced_.load() ? nullptr
                                         : ::CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimerFlag,
                                                                    TIMER_ALL_ACCESS))
    {
    }

    // Makes every TimedWait made afterwards wait plainly, as on a system
    // without the high-resolution timer, so that tests and measurements reach
    // that path on systems that have one. The switch lives in each module
    // that includes this header: set in a program, it does not reach the
    // TimedWaits of a DLL that the program loads.
    static void ForcePlainWait(bool force) noexcept { plainWaitForced_.store(force); }

    // Whether waits end by the high-resolution timer rather than by the
    // plain wait's rounded time limit.
    bool HighResolution() const noexcept { return static_cast<bool>(timer_); }

    // Waits for one of count (at most 3) objects, or for timeout (none: no
    // limit). Returns as WaitForMultipleObjects does: WAIT_OBJECT_0 + the
    // object's index, WAIT_TIMEOUT or WAIT_FAILED.
    DWORD Wait(const HANDLE* objects, DWORD count, std::optional<std::chrono::microseconds> timeout) const noexcept
    {
        if (!timeout)
            return ::WaitForMultipleObjects(count, objects, FALSE, INFINITE);
        if (timeout->count() <= 0)
            return ::WaitForMultipleObjects(count, objects, FALSE, 0);
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(timeout->count()) * 10;  // relative, in 100 ns units
        if (!timer_ || count > kMaxObjects || !::SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE))
            return ::WaitForMultipleObjects(count, objects, FALSE, WholeMilliseconds(*timeout));
        HANDLE withTimer[kMaxObjects + 1];
        for (DWORD i = 0; i < count; ++i)
            withTimer[i] = objects[i];
        withTimer[count] = timer_.Get();
        DWORD result = ::WaitForMultipleObjects(count + 1, withTimer, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0 + count)
            return WAIT_TIMEOUT;
        ::CancelWaitableTimer(timer_.Get());
        return result;
    }

private:
    static constexpr DWORD kMaxObjects = 3;

    // A plain wait's limit, rounded up so that it never ends early.
    static DWORD WholeMilliseconds(std::chrono::microseconds timeout) noexcept
    {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
        return ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    }

    inline static std::atomic<bool> plainWaitForced_ = false;

    Handle timer_;
};

}  // namespace win
