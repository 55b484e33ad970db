#include "tools/remote/RecordCommand.h"

#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "common/win/Handle.h"
#include "common/win/SteadyClock.h"
#include "plugin/receiver/PacedPolls.h"
#include "tools/remote/CommandLine.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"
#include "tools/remote/ScriptRecorder.h"

#include <filesystem>
#include <fstream>
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

// Whether a file may be written at path. A file already there, such as a
// recording that an earlier run could not move, is left as it was.
bool CanWrite(const std::wstring& path)
{
    win::File file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    file.Close();
    if (!existed)
        ::DeleteFileW(path.c_str());
    return true;
}

// Writes text to partPath, then moves it over path, so that path holds
// either its old contents or all of text. Says what failed and returns false
// when a step fails; a recording that could not be moved stays in partPath.
bool ReplaceWhole(const std::wstring& path, const std::wstring& partPath, const std::string& text, std::ostream& out)
{
    std::ofstream file(std::filesystem::path(partPath), std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        ::DeleteFileW(partPath.c_str());
        out << "Cannot write " << Printable(path) << ". Check that the disk has room.\n";
        return false;
    }
    if (!::MoveFileExW(partPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        out << "Cannot replace " << Printable(path) << ": " << win::WideToAnsi(win::ErrorText(::GetLastError()))
            << "\nThe recording is in " << Printable(partPath) << ".\n";
        return false;
    }
    return true;
}

}  // namespace

int RecordReports(ReceiverSession& session, const RecordRequest& request, std::ostream& out)
{
    // The old file stays as it was until the recording is complete, so
    // that a recording that is never written (the process ended, the disk
    // full) costs the user nothing more. The part file is tried before the
    // recording, so that a folder that cannot be written does not cost a
    // recording either.
    const std::wstring partPath = request.path + kPartSuffix;
    if (!CanWrite(partPath)) {
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

    if (!ReplaceWhole(request.path, partPath,
                      "# Recorded by PelcatoRemote, polling every " + std::to_string(intervalMs) + " ms.\n" +
                          ScriptFromReports(reports, MaxHoldGapMs(intervalMs)),
                      out))
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
