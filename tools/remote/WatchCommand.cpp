// PelcatoRemote watch [--seconds N]
//
// Shows every code the receiver reports and the messages the plug-in would
// make of it with the settings in effect. Ctrl+C ends it at once: the
// console handler only sets the event that the loop waits on, so the
// receiver is released in order on the way out.

#include "tools/remote/CommandLine.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"
#include "tools/remote/ReceiverSession.h"
#include "tools/remote/ReceiverWatch.h"

#include "plugin/config/KeyMap.h"

#include <windows.h>

#include <ostream>

namespace {

// One day is more than anyone watches; a longer count is a typing error.
constexpr int kMaxSeconds = 24 * 60 * 60;

// The watch's length in seconds; none to watch until Ctrl+C; false when the
// arguments make no sense.
bool ParseArguments(const Arguments& arguments, std::optional<int>& seconds)
{
    if (arguments.empty())
        return true;
    if (arguments.size() != 2 || arguments[0] != L"--seconds")
        return false;
    seconds = ParseSeconds(arguments[1], kMaxSeconds);
    return seconds.has_value();
}

const char* ReasonText(DeviceReason reason)
{
    switch (reason) {
    case DeviceReason::kSetting:
        return "set in the settings";
    case DeviceReason::kNameSearch:
        return "its name holds PELCATO";
    case DeviceReason::kFirstDevice:
        return "the first device";
    }
    return "";
}

void PrintSetup(const PluginSettings& settings, const std::vector<std::string>& devices, const DeviceChoice& choice,
                std::ostream& out)
{
    out << "Device " << choice.index << ": "
        << (choice.index < devices.size() ? devices[choice.index] : std::string("(not in the list)")) << " ("
        << ReasonText(choice.reason) << ")\n";
    out << "Key map: " << Printable(settings.keyMapFile);
    if (settings.keyMap.Count() == 0)
        out << " (missing or empty: every key reaches the host as its code)";
    else if (!settings.modelNames.empty())
        out << " (" << settings.modelNames.front() << ")";
    out << "\n";
    out << "Timings: Interval " << settings.interval << " ms, Wait1 " << settings.wait1 << " ms, WaitN "
        << settings.waitN << " ms, WaitR " << settings.waitR << " ms\n";
}

}  // namespace

int RunWatch(const Arguments& arguments, std::ostream& out)
{
    std::optional<int> seconds;
    if (!ParseArguments(arguments, seconds)) {
        out << "Usage: PelcatoRemote watch [--seconds N]   (N from 1 to " << kMaxSeconds << ")\n";
        return kExitCannot;
    }

    ReceiverSession session;
    std::optional<PluginReceiver> receiver = OpenPluginReceiver(session, out);
    if (!receiver)
        return kExitCannot;
    const PluginSettings& settings = receiver->settings;
    PrintSetup(settings, session.Devices(), receiver->device, out);

    ConsoleStop stop;
    if (!stop) {
        out << "Cannot watch for Ctrl+C. Run the command again.\n";
        return kExitCannot;
    }
    if (seconds)
        out << "Watching for " << *seconds << " s. Press buttons on the remote.\n\n";
    else
        out << "Press buttons on the remote; Ctrl+C ends.\n\n";

    WatchLimits limits{seconds ? std::optional(std::chrono::milliseconds(*seconds * 1000LL)) : std::nullopt,
                       stop.Event()};
    std::size_t messages = WatchReceiver([&session] { return session.Poll(); }, settings, limits, out);
    out << "\n" << messages << " messages to the host.\n";
    return kExitOk;
}
