#pragma once
// The DispatchThread: the dispatch loop on the plug-in's state. Tests and
// measurements run it on a DispatchClock of their own, to count its
// wake-ups, with the same code that runs in the plug-in.

#include "plugin/core/DispatchLoop.h"
#include "plugin/core/PluginState.h"

#include "common/win/TimedWait.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>

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

// The loop's inputs in the plug-in: its slot, its dispatchStop event, its
// timings and its lists.
DispatchInputs PluginDispatchInputs(PluginState& plugin);

// The DispatchThread's work: the loop, delivering to the host's window and
// to the setup dialog.
void RunDispatchThread(PluginState& plugin, DispatchClock& clock);

// The DispatchThread's procedure: runs the key rules on the system's clock
// until the plug-in's dispatchStop event is set. The argument is not used.
DWORD WINAPI DispatchThreadProc(void* unused) noexcept;
