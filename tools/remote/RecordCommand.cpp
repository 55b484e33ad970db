#include "tools/remote/RecordCommand.h"

#include "common/win/SteadyClock.h"
#include "plugin/receiver/PacedPolls.h"
#include "tools/remote/CommandLine.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"
#include "tools/remote/ScriptRecorder.h"
#include "tools/remote/WholeFile.h"

#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t kDefaultSeconds = 30;
constexpr int kMaxSeconds = 3600;

constexpr char kUsageText[] =
    "Usage: PelcatoRemote record FILE [--seconds N]\n"
    "Records what the receiver reports for N seconds (1 to 3600, 30 if not given)\n"
    "or until you press Ctrl+C, and writes it to FILE as a script.\n";

struct RecordArguments {
    std::wstring path;
    std::uint32_t seconds = kDefaultSeconds;
};

std::optional<RecordArguments> ParseArguments(const Arguments& arguments)
{
    RecordArguments parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::wstring_view argument = arguments[i];
        if (argument == L"--seconds" && i + 1 < arguments.size()) {
            std::optional<int> seconds = ParseSeconds(arguments[++i], kMaxSeconds);
            if (!seconds)
                return std::nullopt;
            parsed.seconds = static_cast<std::uint32_t>(*seconds);
        } else if (parsed.path.empty() && !argument.empty() && argument[0] != L'-') {
            parsed.path = argument;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty())
        return std::nullopt;
    return parsed;
}

}  // namespace

int RecordReports(ReceiverSession& session, const RecordRequest& request, std::ostream& out)
{
    // The old file stays as it was until the recording is complete, so
    // that a recording that is never written (the process ended, the disk
    // full) costs the user nothing more. The part file is tried before the
    // recording, so that a folder that cannot be written does not cost a
    // recording either.
    if (!CanWrite(request.path + kPartSuffix)) {
        out << "Cannot write " << Printable(request.path) << ". Choose a file in a folder you may write to.\n";
        return kExitCannot;
    }
    std::uint32_t intervalMs = BoundedInterval(request.intervalMs);
    std::vector<TimedReport> reports;
    // The plug-in's own clock: the tick count's steps of 16 ms would blur
    // the spacing of a held button.
    const std::uint64_t start = win::SteadyMilliseconds();
    auto elapsedMs = [start] { return static_cast<std::uint32_t>(win::SteadyMilliseconds() - start); };
    RunPacedPolls([&session] { return session.Poll(); }, [&request] { return request.intervalMs; }, request.stopEvent,
                  [&](std::optional<unsigned char> code) {
                      std::uint32_t nowMs = elapsedMs();
                      if (nowMs >= request.durationMs)
                          return false;
                      if (code)
                          reports.push_back({nowMs, *code});
                      return true;
                  });
    std::uint32_t seconds = (elapsedMs() + 500) / 1000;

    if (!ReplaceWhole(request.path,
                      "# Recorded by PelcatoRemote, polling every " + std::to_string(intervalMs) + " ms.\n" +
                          ScriptFromReports(reports, MaxHoldGapMs(intervalMs)),
                      "The recording", out))
        return kExitCannot;
    if (reports.empty()) {
        out << "The receiver reported nothing in " << seconds << " s. Point the remote at the receiver and "
            << "press its buttons while recording.\n";
    } else {
        out << "Recorded " << reports.size() << (reports.size() == 1 ? " report" : " reports") << " of "
            << CountButtons(reports) << (CountButtons(reports) == 1 ? " button" : " buttons") << " in " << seconds
            << " s to " << Printable(request.path) << ".\n";
    }
    return kExitOk;
}

int RunRecord(const Arguments& arguments, std::ostream& out)
{
    std::optional<RecordArguments> parsed = ParseArguments(arguments);
    if (!parsed) {
        out << kUsageText;
        return kExitCannot;
    }
    ReceiverSession session;
    std::optional<PluginReceiver> receiver = OpenPluginReceiver(session, out);
    if (!receiver)
        return kExitCannot;

    ConsoleStop stop;
    if (!stop) {
        out << "Cannot watch for Ctrl+C. Run the command again.\n";
        return kExitCannot;
    }
    out << "Recording device " << receiver->device.index << " for " << parsed->seconds
        << " s. Press the remote's buttons; press Ctrl+C to stop early.\n";
    out.flush();
    // stop outlives the write: a close of the console waits for it.
    return RecordReports(session, {parsed->path, parsed->seconds * 1000, receiver->settings.interval, stop.Event()},
                         out);
}
