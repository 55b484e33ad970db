#pragma once
// The dispatch loop: takes codes from the slot and runs the key rules on
// them, waking for the next code, for a repeat or release that falls due, or
// to end. It reads the time and waits only through a DispatchClock, so that
// the plug-in runs it on the system's clock and its CodeEvent, tests on a
// clock of their own, and the companion's watch on a clock that polls the
// receiver: the same code decides in all of them.

#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PendingCode.h"

#include "common/win/Handle.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

// What the dispatch loop needs of the world around it: the time, and a wait
// for the next code in the slot, for the stop event or for a time-out.
class DispatchClock {
public:
    virtual std::uint64_t NowMicroseconds() = 0;
    // No time-out: waits until a code or the stop comes.
    virtual CodeWait Wait(std::optional<std::chrono::microseconds> timeout) = 0;

protected:
    ~DispatchClock() = default;
};

// What the loop works on besides the dispatcher, which holds the sink, and
// the clock.
struct DispatchInputs {
    PendingCode& slot;       // where the codes arrive
    const win::Event& stop;  // once set, the loop ends
    // Both read anew on every pass: the setup dialog changes the timings
    // while the loop runs.
    std::function<KeyTiming()> timing;
    std::function<KeyTable()> table;
};

// Runs the dispatcher's passes on the clock's time until the stop event is
// set or the wait fails.
void RunDispatchLoop(const DispatchInputs& inputs, KeyDispatcher& dispatcher, DispatchClock& clock);
