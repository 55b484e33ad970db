#include "tools/remote/Calibration.h"

#include "plugin/config/Settings.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/receiver/PacedPolls.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>

namespace {

// On top of what was measured: a remote's spacing wanders a little, and the
// measurement itself polls every 10 ms.
constexpr std::int64_t kMarginMs = 50;
// Taps pressed "slowly" are this far apart at least.
constexpr std::uint32_t kMinTapSeparationMs = 300;
// At this many report spacings per poll, every poll drops reports.
constexpr double kMissedReportsFactor = 2.0;

// Suggestions keep to the setup dialog's ranges and steps: one that the
// dialog cannot show would be changed by the next OK there.
std::int32_t RoundUp(std::int64_t value, const TimingSetting& setting)
{
    std::int64_t rounded = (value + setting.step - 1) / setting.step * setting.step;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(rounded, setting.min, setting.max));
}

std::int32_t RoundDown(std::int64_t value, const TimingSetting& setting)
{
    std::int64_t rounded = value / setting.step * setting.step;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(rounded, setting.min, setting.max));
}

std::uint32_t LongestTap(const std::vector<Tap>& taps)
{
    std::uint32_t longest = 0;
    for (const Tap& tap : taps)
        longest = std::max(longest, tap.durationMs);
    return longest;
}

// How long the plug-in may wait for the next report of a held button.
std::int64_t HeldGapSeen(std::uint32_t largestGapMs, std::int32_t interval)
{
    return std::int64_t{largestGapMs} + BoundedInterval(interval);
}

// How long the plug-in may keep a tap down: its reports, the lag of a poll,
// and WaitR after the last one.
std::int64_t TapDownSeen(std::uint32_t tapMs, std::int32_t interval, std::int32_t waitR)
{
    return std::int64_t{tapMs} + BoundedInterval(interval) + BoundedWait(waitR);
}

bool MissesReports(double meanMs, std::int32_t interval)
{
    return meanMs > 0 && BoundedInterval(interval) >= kMissedReportsFactor * meanMs;
}

}  // namespace

HeldSpacing MeasureHeld(const std::vector<std::uint64_t>& reportMs)
{
    HeldSpacing held;
    held.reports = reportMs.size();
    if (reportMs.size() < 2)
        return held;
    std::vector<std::uint32_t> gaps;
    for (std::size_t i = 1; i < reportMs.size(); ++i)
        gaps.push_back(static_cast<std::uint32_t>(reportMs[i] - reportMs[i - 1]));
    std::sort(gaps.begin(), gaps.end());
    held.meanMs = static_cast<double>(reportMs.back() - reportMs.front()) / gaps.size();
    // Nearest rank: the smallest gap that at least 99 % of the gaps do not exceed.
    std::size_t rank = static_cast<std::size_t>(std::ceil(0.99 * gaps.size()));
    held.p99Ms = gaps[rank - 1];
    held.largestMs = gaps.back();
    return held;
}

std::uint32_t TapSeparationMs(const HeldSpacing& held)
{
    return std::max(2 * held.largestMs, kMinTapSeparationMs);
}

std::vector<Tap> SplitTaps(const std::vector<std::uint64_t>& reportMs, std::uint32_t separationMs)
{
    std::vector<Tap> taps;
    std::uint64_t first = 0;
    for (std::size_t i = 0; i < reportMs.size(); ++i) {
        if (i == 0 || reportMs[i] - reportMs[i - 1] > separationMs) {
            taps.push_back({0, 0});
            first = reportMs[i];
        }
        ++taps.back().reports;
        taps.back().durationMs = static_cast<std::uint32_t>(reportMs[i] - first);
    }
    return taps;
}

Calibration Calibrate(const std::vector<std::uint64_t>& heldMs, const std::vector<std::uint64_t>& tapMs,
                      const Timings& current)
{
    Calibration result;
    result.held = MeasureHeld(heldMs);
    result.taps = SplitTaps(tapMs, TapSeparationMs(result.held));
    std::uint32_t gap = result.held.largestMs;
    std::uint32_t tap = LongestTap(result.taps);

    if (HeldGapSeen(gap, current.interval) >= BoundedWait(current.waitR)) {
        std::ostringstream text;
        text << "A held button comes as several presses: its reports come up to " << gap
             << " ms apart, and with Interval " << current.interval << " the plug-in may wait "
             << HeldGapSeen(gap, current.interval) << " ms for the next one, past WaitR " << current.waitR << ".";
        result.diagnoses.push_back(text.str());
    }
    if (!result.taps.empty() && TapDownSeen(tap, current.interval, current.waitR) >= BoundedWait(current.wait1)) {
        std::ostringstream text;
        text << "A tap lasting " << tap << " ms repeats: the plug-in keeps it down up to "
             << TapDownSeen(tap, current.interval, current.waitR) << " ms (WaitR after the last report), past Wait1 "
             << current.wait1 << ".";
        result.diagnoses.push_back(text.str());
    }
    if (MissesReports(result.held.meanMs, current.interval)) {
        std::ostringstream text;
        text << "Interval " << current.interval << " is slower than the remote's " << std::lround(result.held.meanMs)
             << " ms reports: each poll keeps only the newest report, so codes are missed.";
        result.diagnoses.push_back(text.str());
    }

    Timings& next = result.suggested;
    next = current;
    if (MissesReports(result.held.meanMs, current.interval))
        next.interval = RoundDown(static_cast<std::int64_t>(result.held.meanMs), kIntervalSetting);
    if (HeldGapSeen(gap, next.interval) >= BoundedWait(next.waitR))
        next.waitR = RoundUp(HeldGapSeen(gap, next.interval) + kMarginMs, kWaitRSetting);
    if (!result.taps.empty() && TapDownSeen(tap, next.interval, next.waitR) >= BoundedWait(next.wait1)) {
        next.wait1 = RoundUp(TapDownSeen(tap, next.interval, next.waitR) + kMarginMs, kWait1Setting);
    }
    result.suggestionFits = HeldGapSeen(gap, next.interval) < BoundedWait(next.waitR) &&
                            (result.taps.empty() || TapDownSeen(tap, next.interval, next.waitR) < BoundedWait(next.wait1));
    return result;
}

void PrintCalibration(const Calibration& calibration, const Timings& current, std::ostream& out)
{
    const HeldSpacing& held = calibration.held;
    out << "\nWhile held, the remote reports every " << std::lround(held.meanMs) << " ms on average (99 % within "
        << held.p99Ms << " ms, largest gap " << held.largestMs << " ms).\n";
    for (std::size_t i = 0; i < calibration.taps.size(); ++i) {
        const Tap& tap = calibration.taps[i];
        out << "Tap " << i + 1 << ": " << tap.reports << (tap.reports == 1 ? " report" : " reports") << " in "
            << tap.durationMs << " ms.\n";
    }

    out << "\nWith Interval " << current.interval << ", Wait1 " << current.wait1 << ", WaitN " << current.waitN
        << " and WaitR " << current.waitR << ":\n";
    if (calibration.diagnoses.empty())
        out << "  The timings fit this remote.\n";
    for (const std::string& diagnosis : calibration.diagnoses)
        out << "  " << diagnosis << "\n";

    const Timings& next = calibration.suggested;
    out << "\nSuggested: Interval " << next.interval << ", Wait1 " << next.wait1 << ", WaitN " << next.waitN
        << ", WaitR " << next.waitR << ".\n";
    if (!calibration.suggestionFits)
        out << "Even these do not fit: this remote needs waits beyond the setup dialog's 1000 ms.\n"
            << "Write larger Wait1 and WaitR values into the settings file by hand.\n";
}
