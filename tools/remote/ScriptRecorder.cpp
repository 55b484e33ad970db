#include "tools/remote/ScriptRecorder.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

// Room for the tick count's steps of 16 to 20 ms under Wine and on Windows.
constexpr std::uint32_t kTickSlackMs = 20;

// Reports of one code with no gap longer than the limit between them.
struct Run {
    std::uint8_t code;
    std::uint32_t firstMs;
    std::uint32_t lastMs;
    std::uint32_t count;
};

std::vector<Run> SplitIntoRuns(const std::vector<TimedReport>& reports, std::uint32_t maxGapMs)
{
    std::vector<Run> runs;
    for (const TimedReport& report : reports) {
        if (!runs.empty() && runs.back().code == report.code && report.atMs - runs.back().lastMs <= maxGapMs) {
            runs.back().lastMs = report.atMs;
            ++runs.back().count;
        } else {
            runs.push_back({report.code, report.atMs, report.atMs, 1});
        }
    }
    return runs;
}

std::string Line(const char* format, unsigned code, std::uint32_t a = 0, std::uint32_t b = 0)
{
    char text[64];
    std::snprintf(text, sizeof text, format, code, static_cast<unsigned long>(a), static_cast<unsigned long>(b));
    return text;
}

}  // namespace

std::uint32_t MaxHoldGapMs(std::uint32_t intervalMs)
{
    return intervalMs * 5 / 2 + kTickSlackMs;
}

std::string ScriptFromReports(const std::vector<TimedReport>& reports, std::uint32_t maxGapMs)
{
    std::vector<Run> runs = SplitIntoRuns(reports, maxGapMs);
    std::string script;
    // Where the script's clock stands; every step moves it on, and a pause
    // brings it to the next button's first report.
    std::uint32_t scriptMs = runs.empty() ? 0 : runs.front().firstMs;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        if (run.firstMs > scriptMs) {
            script += "pause " + std::to_string(run.firstMs - scriptMs) + "\n";
            scriptMs = run.firstMs;
        }
        // A step must end by the next button's first report, or the replay
        // would report that one late.
        std::uint32_t room = i + 1 < runs.size() ? std::max<std::uint32_t>(runs[i + 1].firstMs - scriptMs, 1)
                                                 : UINT32_MAX;
        std::uint32_t length;
        if (run.count == 1) {
            length = std::min(kTapLengthMs, room);
            script += length == kTapLengthMs ? Line("tap %02X\n", run.code)
                                             : Line("hold %02X %lu\n", run.code, length);
        } else {
            std::uint32_t span = run.lastMs - run.firstMs;
            std::uint32_t spacing = std::max<std::uint32_t>((span + (run.count - 1) / 2) / (run.count - 1), 1);
            // The hold must outlast its last report, which falls at
            // spacing * (count - 1).
            std::uint32_t lastReportMs = spacing * (run.count - 1);
            length = std::max(std::min(spacing * run.count, room), lastReportMs + 1);
            script += Line("hold %02X %lu %lu\n", run.code, length, spacing);
        }
        scriptMs += length;
    }
    return script;
}

std::size_t CountButtons(const std::vector<TimedReport>& reports)
{
    std::set<std::uint8_t> codes;
    for (const TimedReport& report : reports)
        codes.insert(report.code);
    return codes.size();
}
