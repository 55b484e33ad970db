#pragma once
// The one-value slot through which the ReceiverThread hands codes to the
// DispatchThread, and the dispatcher's wait for the next code.
//
// The ReceiverThread is the slot's only writer: it stores the code, then sets
// newCode, then signals the CodeEvent. The dispatcher clears newCode before it
// reads the code, so a code that lands meanwhile sets newCode again and is
// taken on the next pass instead of being lost. The whole 64-bit code is one
// atomic, so it is never read half old and half new. (The release time-out is
// the dispatcher's own business and does not go through the slot: a code that
// arrives at the moment of the time-out then still counts.)

#include <windows.h>

#include <atomic>
#include <cstdint>

struct PendingCode {
    std::atomic<std::uint64_t> code{0};
    std::atomic<bool> newCode{false};

    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

// ReceiverThread side. A newer code replaces one not yet taken.
inline void StoreCode(PendingCode& slot, std::uint64_t code)
{
    slot.code.store(code);
    slot.newCode.store(true);
}

// While no thread runs: a code left in the slot is dropped.
inline void ClearCode(PendingCode& slot)
{
    slot.newCode.store(false);
}

// DispatchThread side: true and the code when one is waiting.
inline bool TakeCode(PendingCode& slot, std::uint64_t& code)
{
    if (!slot.newCode.exchange(false))
        return false;
    code = slot.code.load();
    return true;
}

enum class CodeWait { kCodeReady, kSignalled, kTimedOut, kFailed };

// Waits for a code up to timeout, in whatever form the event's Wait takes. The event is reset before the slot is
// looked at: a code stored and signalled between the look and the reset
// would otherwise have its signal wiped out and wait for the next code.
template <typename CodeEvent, typename Timeout>
CodeWait WaitForCode(const CodeEvent& event, const PendingCode& slot, const Timeout& timeout)
{
    event.Reset();
    if (slot.newCode.load())
        return CodeWait::kCodeReady;
    switch (event.Wait(timeout)) {
    case WAIT_TIMEOUT:
        return CodeWait::kTimedOut;
    case WAIT_FAILED:
        return CodeWait::kFailed;
    default:
        return CodeWait::kSignalled;
    }
}
