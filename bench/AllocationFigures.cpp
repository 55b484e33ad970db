#include "bench/AllocationHook.h"
#include "bench/Figures.h"

namespace {

constexpr int kAllocationCodes = 1000;

}  // namespace

Figure AllocationsPerCode(Bench& bench)
{
    TestHost& host = bench.host;
    LinkedPlugin linked(host, 10);
    // Two mapped keys taking over from each other: every code is a release
    // and a press, with a look-up and a record each time.
    bool keyDown = false;  // the plug-in starts with no key down
    auto dispatch = [&](int codes) {
        for (int i = 0; i < codes; ++i) {
            std::size_t count = host.MessageCount();
            PushCode(i % 2 ? 0x1A : 0x0B);
            if (!host.WaitForMessages(count + (keyDown ? 2 : 1), kPatienceMs))
                return false;
            keyDown = true;
        }
        return true;
    };
    dispatch(50);
    StartCountingAllocations(::GetThreadId(linked.DispatchThread()), ::GetThreadId(linked.ReceiverThread()));
    bool complete = dispatch(kAllocationCodes);
    long allocations = StopCountingAllocations();
    double perCode = static_cast<double>(allocations) / kAllocationCodes;
    return {"heap allocations per code",
            Format("%.3f (%ld in %d codes)", perCode, allocations, kAllocationCodes),
            "",
            "0",
            complete && allocations == 0,
            Format("\"codes\": %d, \"allocations\": %ld, \"per_code\": %.4f", kAllocationCodes, allocations,
                   perCode)};
}
