#include "bench/Baselines.h"
#include "bench/Figures.h"

#include <random>
#include <vector>

namespace {

constexpr int kDispatchPresses = 5000;
constexpr int kEndToEndSamples = 200;

}  // namespace

// Each press is one sample beside one of the baseline, taken in turn so that
// both see the same load. A press needs the release of the one before: WaitR
// (10 ms, the least) after its code, plus the wake-up. The receiver's pace
// is set just above that, so that the next code meets the first poll after
// the release instead of waiting nearly a whole Interval more: with 10 ms a
// press took two polls, 20 ms, and with 13 ms it takes one. The pace moves
// only the moment a code is handed out, not what happens after it, which is
// what is measured.
Figure DispatchLatency(Bench& bench)
{
    TestHost& host = bench.host;
    bench.library->Start("Interval=13\r\nWaitR=10\r\n");
    SignalledSender sender(host.Window());
    std::vector<double> measured, baseline;
    for (int i = 0; i < kDispatchPresses; ++i) {
        std::size_t count = host.MessageCount();
        std::size_t before = handOuts.count;
        PushCode(0x1A);
        if (!host.WaitForMessages(count + 2, kPatienceMs))
            break;  // press and release
        KeyMessage press = host.MessageAt(count);
        if (handOuts.count != before + 1 || press.param != 0)
            continue;  // not one clean press: no sample
        measured.push_back(TicksToMs(press.arrival - handOuts.Last()));

        std::int64_t signalled = Now();
        sender.Signal();
        if (!host.WaitForMessages(count + 3, kPatienceMs))
            break;
        baseline.push_back(TicksToMs(host.MessageAt(count + 2).arrival - signalled));
    }
    return LatencyFigure("dispatch latency", measured, baseline, "p99 <= 1.5 x baseline p99",
                         [](double p99, double baselineP99) { return p99 <= 1.5 * baselineP99; });
}

Figure EndToEndLatency(Bench& bench)
{
    constexpr int kIntervalMs = 50;
    TestHost& host = bench.host;
    bench.library->Start(Format("Interval=%d\r\nWaitR=10\r\n", kIntervalMs));
    std::mt19937 random(7);
    std::vector<double> measured;
    for (int i = 0; i < kEndToEndSamples; ++i) {
        ::Sleep(std::uniform_int_distribution<int>(0, kIntervalMs)(random));
        std::size_t count = host.MessageCount();
        std::int64_t pushed = Now();
        PushCode(0x0B);
        if (!host.WaitForMessages(count + 2, kPatienceMs))
            break;
        measured.push_back(TicksToMs(host.MessageAt(count).arrival - pushed));
    }
    double p50 = Percentile(measured, 0.5), p99 = Percentile(measured, 0.99);
    return {"end-to-end latency",
            Milliseconds(p50, p99),
            Format("Interval %d ms", kIntervalMs),
            "p99 <= Interval + 2 ms",
            !measured.empty() && p99 <= kIntervalMs + 2.0,
            Format("\"samples\": %zu, \"interval_ms\": %d, \"p50_ms\": %.4f, \"p99_ms\": %.4f", measured.size(),
                   kIntervalMs, p50, p99)};
}
