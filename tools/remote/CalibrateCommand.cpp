#include "tools/remote/CalibrateCommand.h"

#include "tools/remote/Calibration.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"

#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "plugin/config/IniFile.h"
#include "plugin/config/Settings.h"
#include "common/win/SteadyClock.h"
#include "plugin/receiver/PacedPolls.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

namespace {

// The plug-in's fastest poll: fine enough to see the receiver's own spacing,
// whatever Interval the settings hold.
constexpr std::int32_t kPollMs = kMinIntervalMs;
// How long a step waits for the user's first press.
constexpr std::uint64_t kFirstCodeWaitMs = 30'000;
// A held button has been let go once no report came for this long: longer
// than any gap the setup dialog's WaitR could bridge.
constexpr std::uint32_t kHoldEndedMs = 1000;
// A hold is measured for this long at most, however long the user holds.
constexpr std::uint64_t kLongestHoldMs = 10'000;
constexpr int kTapCount = 5;
// The fewest reports that give the held spacing more than one gap.
constexpr std::size_t kFewestHeldReports = 3;

using Times = std::vector<std::uint64_t>;

// Polls until the first report, then until quietMs pass without one; the
// times of the reports, none when no button came within kFirstCodeWaitMs.
// Reports after kLongestHoldMs are not kept, but the press still lasts until
// they stop, so that they never count as the next step's. Nothing at all
// once stop is set.
std::optional<Times> RecordPress(ReceiverSession& session, std::uint32_t quietMs, HANDLE stop)
{
    Times times;
    std::uint64_t start = win::SteadyMilliseconds();
    std::uint64_t lastReport = 0;
    bool ended = RunPacedPolls([&session] { return session.Poll(); }, [] { return kPollMs; }, stop,
                               [&](std::optional<unsigned char> code) {
                                   std::uint64_t now = win::SteadyMilliseconds();
                                   if (code) {
                                       lastReport = now;
                                       if (times.empty() || now - times.front() < kLongestHoldMs)
                                           times.push_back(now);
                                   }
                                   return times.empty() ? now - start < kFirstCodeWaitMs
                                                        : now - lastReport < quietMs;
                               });
    if (!ended)
        return std::nullopt;
    return times;
}

struct TimingChange {
    const TimingSetting& setting;
    std::int32_t current;
    std::int32_t suggested;
};

// Stores the timings that change, one key at a time, and says what it
// stored; false, after saying why, at the first the file does not take.
bool WriteChanges(const std::wstring& settingsFile, const std::vector<TimingChange>& changes, std::ostream& out)
{
    IniFile file(settingsFile);
    std::string stored;
    for (const TimingChange& change : changes) {
        if (change.current == change.suggested)
            continue;
        if (IniWriteResult error = file.WriteInteger(kSettingsSection, change.setting.key, change.suggested)) {
            out << "\nCould not store the timings in " << Printable(settingsFile) << ":\n  "
                << win::WideToAnsi(win::ErrorText(error)) << "\n"
                << (stored.empty() ? std::string("Nothing was stored.\n") : "Stored before that:\n" + stored)
                << "Close any program that has the file open, or set the timings in the plug-in's\n"
                << "setup dialog (see \"Settings that cannot be saved\" in the guide).\n";
            return false;
        }
        stored += "  " + std::string(change.setting.key) + " " + std::to_string(change.current) + " -> " +
                  std::to_string(change.suggested) + "\n";
    }
    out << "\nStored in " << Printable(settingsFile) << ":\n" << stored;
    return true;
}

int Stopped(std::ostream& out)
{
    out << "Calibration stopped before it was complete. Nothing was stored.\n";
    return kExitCannot;
}

}  // namespace

int CalibrateReceiver(ReceiverSession& session, const PluginFiles& files, bool write, HANDLE stop, std::ostream& out)
{
    PluginSettings settings = ReadPluginSettings(files, out);
    if (!SelectPluginDevice(session, settings, out))
        return kExitCannot;
    Timings current{settings.interval, settings.wait1, settings.waitN, settings.waitR};

    out << "Step 1 of 2: hold one button for about 3 seconds... now." << std::endl;
    std::optional<Times> held = RecordPress(session, kHoldEndedMs, stop);
    if (!held)
        return Stopped(out);
    if (held->empty()) {
        out << "No button came through. Point the remote at the receiver and run calibrate again.\n";
        return kExitCannot;
    }
    if (held->size() < kFewestHeldReports) {
        out << "The button was not held long enough. Run calibrate again and hold it for about 3 seconds.\n";
        return kExitCannot;
    }

    out << "Step 2 of 2: tap the same button five times, slowly." << std::endl;
    std::uint32_t separation = TapSeparationMs(MeasureHeld(*held));
    Times taps;
    for (int i = 0; i < kTapCount; ++i) {
        std::optional<Times> tap = RecordPress(session, separation, stop);
        if (!tap)
            return Stopped(out);
        if (tap->empty())
            break;
        taps.insert(taps.end(), tap->begin(), tap->end());
    }
    if (taps.empty()) {
        out << "No tap came through. Run calibrate again and tap the button within 30 seconds.\n";
        return kExitCannot;
    }

    Calibration calibration = Calibrate(*held, taps, current);
    PrintCalibration(calibration, current, out);
    const Timings& next = calibration.suggested;
    bool changes = next.interval != current.interval || next.wait1 != current.wait1 || next.waitR != current.waitR;
    if (write && changes) {
        if (!WriteChanges(files.settingsFile,
                          {{kIntervalSetting, current.interval, next.interval},
                           {kWait1Setting, current.wait1, next.wait1},
                           {kWaitRSetting, current.waitR, next.waitR}},
                          out))
            return kExitCannot;
        out << "Restart the host application to use them.\n";
    } else if (write) {
        out << "\nNothing to store: the timings in " << Printable(files.settingsFile) << " stay as they are.\n";
    } else if (changes) {
        out << "Run \"PelcatoRemote calibrate --write\" to store them, or set them in the plug-in's setup dialog.\n";
    }
    return calibration.diagnoses.empty() ? kExitOk : kExitFindings;
}

int RunCalibrate(const Arguments& arguments, std::ostream& out)
{
    bool write = false;
    for (const std::wstring& argument : arguments) {
        if (argument != L"--write") {
            out << "Unknown argument \"" << win::WideToAnsi(argument)
                << "\". Usage: PelcatoRemote calibrate [--write]\n";
            return kExitCannot;
        }
        write = true;
    }
    PluginFiles files = FindPluginFiles(ToolFolder());
    ReceiverSession session;
    ConsoleStop stop;
    if (!stop) {
        out << "Cannot watch for Ctrl+C. Run the command again.\n";
        return kExitCannot;
    }
    return CalibrateReceiver(session, files, write, stop.Event(), out);
}
