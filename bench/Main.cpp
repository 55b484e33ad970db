// PelcatoBench [figure names]
//
// The plug-in's speed and cost, each figure measured beside its baseline in
// the same run, since these machines are noisy. The latency, conformance,
// precision, Stop and dialog figures drive Pelcato.dll as a host loads it,
// with the simulated receiver behind the real wrapper; the idle, wake-up and
// allocation figures need the plug-in's insides (its threads, the ends of
// its DispatchThread's waits) and so use the plug-in's own code linked into
// this program, in front of the same receiver chain. So does the precision
// of the plain wait, which only this program's copy of the code can be
// forced to.
//
// Prints one table and writes build/bench.json. A new figure is a function
// in the file of its group (Figures.h) and a row in kFigures.

#include "bench/Figures.h"

#include "simreceiver/SimControl.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

// What a figure runs on: bench.library, the one Pelcato.dll that the rows
// before it share, or a plug-in of its own (the linked code, or fresh copies
// of the DLL). The shared library is let go at the first row with a plug-in
// of its own, so those rows come last.
enum class RunsOn { kSharedLibrary, kOwnPlugin };

struct FigureRow {
    const char* name;  // what the command line picks it by
    RunsOn runsOn;
    Figure (*measure)(Bench& bench);
};

constexpr FigureRow kFigures[] = {
    {"dispatch", RunsOn::kSharedLibrary, DispatchLatency},
    {"end-to-end", RunsOn::kSharedLibrary, EndToEndLatency},
    {"conformance", RunsOn::kSharedLibrary, TimingConformance},
    {"conformance, own pace", RunsOn::kSharedLibrary, OwnPaceConformance},
    {"precision", RunsOn::kSharedLibrary, TimingPrecision},
    {"stop", RunsOn::kSharedLibrary, StopLatency},
    {"precision, plain wait", RunsOn::kOwnPlugin, PlainWaitPrecision},
    {"idle", RunsOn::kOwnPlugin, IdleCost},
    {"held-key", RunsOn::kOwnPlugin, HeldKeyWakeups},
    {"allocations", RunsOn::kOwnPlugin, AllocationsPerCode},
    {"dialog", RunsOn::kOwnPlugin, DialogWithLargeKeyMap},
};

// With names on the command line, only the figures whose names begin with
// one of them are measured.
bool Wanted(int argc, char** argv, const char* figure)
{
    if (argc < 2)
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(figure).starts_with(argv[i]))
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    SimReset();
    SimSetHandOutHook(&RecordHandOut, nullptr);
    Bench bench;
    bench.library.emplace(bench.host);
    if (!bench.library->Loaded()) {
        std::fprintf(stderr, "PelcatoBench: cannot load Pelcato.dll beside this program\n");
        return 1;
    }
    std::vector<Figure> figures;
    for (const FigureRow& row : kFigures) {
        if (row.runsOn == RunsOn::kOwnPlugin)
            bench.library.reset();
        if (!Wanted(argc, argv, row.name))
            continue;
        std::printf("measuring %s...", row.name);
        std::fflush(stdout);
        std::int64_t start = Now();
        figures.push_back(row.measure(bench));
        std::printf(" %.1f s\n", TicksToMs(Now() - start) / 1000);
    }
    bench.library.reset();
    SimSetHandOutHook(nullptr, nullptr);

    PrintFigures(figures);
    std::wstring json = ProgramFolder() + L"..\\bench.json";
    if (!WriteFiguresJson(figures, json))
        std::fprintf(stderr, "PelcatoBench: cannot write %ls\n", json.c_str());
    return 0;
}
