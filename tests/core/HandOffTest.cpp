// The hand-off from the ReceiverThread to the DispatchThread. The lost
// wake-up is tested with an event that lets the receiver strike at the one
// moment that matters: while the dispatcher resets the event.

#include "plugin/core/PendingCode.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class ScriptedEvent {
public:
    void Reset() const
    {
        if (beforeReset)
            beforeReset();
        signalled = false;
    }
    DWORD Wait(DWORD) const { return signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT; }

    std::function<void()> beforeReset;
    mutable bool signalled = false;
};

TEST(HandOff, CodeStoredWhileTheDispatcherResetsTheEventIsTakenAtOnce)
{
    PendingCode slot;
    ScriptedEvent event;
    event.beforeReset = [&] {
        StoreCode(slot, 0x1A);
        event.signalled = true;
    };
    EXPECT_EQ(WaitForCode(event, slot, 100), CodeWait::kCodeReady);
    std::uint64_t code = 0;
    ASSERT_TRUE(TakeCode(slot, code));
    EXPECT_EQ(code, 0x1Au);
}

TEST(HandOff, WaitsWhenNothingIsPending)
{
    PendingCode slot;
    ScriptedEvent event;
    event.signalled = true;  // a stale signal from a code already taken
    EXPECT_EQ(WaitForCode(event, slot, 100), CodeWait::kTimedOut);
}

TEST(HandOff, NewerCodeReplacesOneNotYetTakenAndIsTakenOnce)
{
    PendingCode slot;
    StoreCode(slot, 0x01);
    StoreCode(slot, 0x02);
    std::uint64_t code = 0;
    ASSERT_TRUE(TakeCode(slot, code));
    EXPECT_EQ(code, 0x02u);
    EXPECT_FALSE(TakeCode(slot, code));
}

TEST(HandOff, CodeZeroAndSixtyFourBitCodesPassWhole)
{
    PendingCode slot;
    for (std::uint64_t sent : {std::uint64_t{0}, std::uint64_t{0xFE}, std::uint64_t{0x123456789ABCDEF0}}) {
        StoreCode(slot, sent);
        std::uint64_t taken = ~sent;
        ASSERT_TRUE(TakeCode(slot, taken));
        EXPECT_EQ(taken, sent);
    }
}

}  // namespace
