#include "bench/Baselines.h"
#include "bench/Figures.h"

#include "simreceiver/SimControl.h"

#include <cstdint>

namespace {

constexpr int kIdleSeconds = 10;

double CpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

}  // namespace

Figure IdleCost(Bench& bench)
{
    LinkedPlugin linked(bench.host, 50, LinkedPlugin::Wakeups::kCounted);
    // The baseline pauses as the ReceiverThread does, and polls nothing.
    Pauser poller(50);

    ::Sleep(100);
    double receiverBefore = CpuMs(linked.ReceiverThread());
    double dispatchBefore = CpuMs(linked.DispatchThread());
    double pollerBefore = CpuMs(poller.thread.Get());
    std::uint32_t wakeupsBefore = linked.DispatchWakeups();
    ::Sleep(kIdleSeconds * 1000);
    std::uint32_t wakeups = linked.DispatchWakeups() - wakeupsBefore;
    double receiver = CpuMs(linked.ReceiverThread()) - receiverBefore;
    double dispatch = CpuMs(linked.DispatchThread()) - dispatchBefore;
    double pollerCpu = CpuMs(poller.thread.Get()) - pollerBefore;
    return {"idle cost over 10 s",
            // Wine counts thread CPU time in steps of 10 ms.
            Format("%u wake-ups, CPU %.0f + %.0f ms", wakeups, receiver, dispatch),
            Format("bare poller CPU %.0f ms", pollerCpu),
            "0 DispatchThread wake-ups",
            wakeups == 0,
            Format("\"seconds\": %d, \"dispatch_wakeups\": %u, \"receiver_cpu_ms\": %.2f, \"dispatch_cpu_ms\": %.2f, "
                   "\"baseline_poller_cpu_ms\": %.2f",
                   kIdleSeconds, wakeups, receiver, dispatch, pollerCpu)};
}

// While a key is held, the DispatchThread has work when a code arrives and
// when a message is due, and should wake for little else: at most once per
// code, once per message sent and once more a second. The button is held as
// a receiver reports one, a code every 40 ms, under the default timings, and
// the count runs from the first code to the release.
Figure HeldKeyWakeups(Bench& bench)
{
    constexpr int kHoldMs = 3000;
    TestHost& host = bench.host;
    LinkedPlugin linked(host, 10, LinkedPlugin::Wakeups::kCounted);
    ::Sleep(100);
    handOuts.count = 0;
    std::size_t messagesBefore = host.MessageCount();
    std::uint32_t wakeupsBefore = linked.DispatchWakeups();
    std::int64_t start = Now();
    SimPlayScript(Format("hold 1A %d\n", kHoldMs).c_str(), 0);
    bool released = WaitUntil(
        [&] {
            std::size_t count = host.MessageCount();
            return SimScriptPlaying() == 0 && count > messagesBefore &&
                   host.MessageAt(count - 1).param == kReleaseParam;
        },
        kHoldMs + kPatienceMs);
    double seconds = TicksToMs(Now() - start) / 1000;
    std::uint32_t wakeups = linked.DispatchWakeups() - wakeupsBefore;
    std::size_t codes = handOuts.count;
    std::size_t messages = host.MessageCount() - messagesBefore;
    double perSecond = wakeups / seconds;
    double allowed = (codes + messages) / seconds + 1;
    Timing timing = linked.CurrentTiming();
    return {"held-key wake-ups",
            Format("%.1f wake-ups/s", perSecond),
            Format("codes %.1f + messages %.1f + 1 /s", codes / seconds, messages / seconds),
            "<= codes + messages + 1 per s",
            released && perSecond <= allowed,
            Format("\"seconds\": %.3f, \"dispatch_wakeups\": %u, \"codes\": %zu, \"messages\": %zu, "
                   "\"wakeups_per_s\": %.2f, \"allowed_per_s\": %.2f, \"wait1_ms\": %d, \"waitn_ms\": %d, "
                   "\"waitr_ms\": %d",
                   seconds, wakeups, codes, messages, perSecond, allowed, timing.wait1, timing.waitN,
                   timing.waitR)};
}
