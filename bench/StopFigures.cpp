#include "bench/Baselines.h"
#include "bench/Figures.h"

#include <random>
#include <vector>

namespace {

constexpr int kStopSamples = 200;

}  // namespace

Figure StopLatency(Bench& bench)
{
    PluginUnderTest& plugin = *bench.library;
    plugin.Start("Interval=1000\r\n");
    plugin.StopOnly();
    std::mt19937 random(11);
    std::vector<double> measured, baseline;
    for (int i = 0; i < kStopSamples; ++i) {
        plugin.StartOnly();
        ::Sleep(std::uniform_int_distribution<int>(0, 30)(random));
        std::int64_t before = Now();
        plugin.StopOnly();
        measured.push_back(TicksToMs(Now() - before));

        // A bare thread in the same pause, ended by its own event.
        Pauser sleeper(1000);
        ::Sleep(std::uniform_int_distribution<int>(0, 30)(random));
        before = Now();
        sleeper.End();
        baseline.push_back(TicksToMs(Now() - before));
    }
    return LatencyFigure("Stop with Interval 1000 ms", measured, baseline, "p99 < 20 ms",
                         [](double p99, double) { return p99 < 20.0; });
}
