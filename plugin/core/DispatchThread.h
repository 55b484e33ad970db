#pragma once
// The DispatchThread and the loop it runs. The loop reads the time and waits
// only through a DispatchClock, so that tests can run it on a clock of their
// own and measurements can count its wake-ups, with the same code that runs
// in the plug-in.

#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PendingCode.h"
#include "plugin/core/PluginState.h"

#include "common/win/TimedWait.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>

// What the dispatch loop needs of the world around it: the time, and a wait
// for the next code in the plug-in's slot, for Stop or for a time-out.
class DispatchClock {
public:
    virtual std::uint64_t NowMicroseconds() = 0;
    // No time-out: waits until a code or Stop comes.
    virtual CodeWait Wait(std::optional<std::chrono::microseconds> timeout) = 0;

protected:
    ~DispatchClock() = default;
};

// The plug-in's own clock (SteadyMicroseconds) and a wait on its CodeEvent
// and dispatchStop event, ended on time by a TimedWait. Made on the thread
// that runs the loop, which is the only one to use it.
class SystemDispatchClock final : public DispatchClock {
public:
    explicit SystemDispatchClock(PluginState& plugin) noexcept : plugin_(plugin) {}

    std::uint64_t NowMicroseconds() override;
    CodeWait Wait(std::optional<std::chrono::microseconds> timeout) override;

private:
    PluginState& plugin_;
    const win::TimedWait timedWait_;
};

// Takes codes from the plug-in's slot and runs the dispatcher's passes on
// the clock's time, with the plug-in's settings and lists, until its
// dispatchStop event is set or the wait fails.
void RunDispatchLoop(PluginState& plugin, KeyDispatcher& dispatcher, DispatchClock& clock);

// The DispatchThread's work: the loop, delivering to the host's window and
// to the setup dialog.
void RunDispatchThread(PluginState& plugin, DispatchClock& clock);

// The DispatchThread's procedure: runs the key rules on the system's clock
// until the plug-in's dispatchStop event is set. The argument is not used.
DWORD WINAPI DispatchThreadProc(void* unused) noexcept;
