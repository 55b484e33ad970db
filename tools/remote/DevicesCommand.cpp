#include "tools/remote/DevicesCommand.h"

#include "tools/remote/Commands.h"
#include "wrapper/CardType.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace {

constexpr char kMark[] = "  <- the plug-in uses this one";

void ExplainChoice(const DeviceChoice& choice, const PluginFiles& files, std::size_t deviceCount,
                   std::ostream& out)
{
    switch (choice.reason) {
    case DeviceReason::kSetting:
        out << "The Device setting in " << Printable(files.settingsFile) << " chooses device " << choice.index << ".\n";
        if (choice.index >= deviceCount)
            out << "There is no device " << choice.index
                << ": set Device to one of the numbers above, or remove the line\n"
                << "to let the plug-in pick the device with \"Pelcato\" in its name.\n";
        break;
    case DeviceReason::kNameSearch:
        out << "There is no Device setting, so the plug-in uses the first device with\n"
            << "\"Pelcato\" in its name. To use another, add Device=<number> under [Main] in\n"
            << Printable(files.settingsFile) << ".\n";
        break;
    case DeviceReason::kFirstDevice:
        out << "There is no Device setting and no device has \"Pelcato\" in its name, so the\n"
            << "plug-in uses the first device. To use another, add Device=<number> under\n"
            << "[Main] in " << Printable(files.settingsFile) << ".\n";
        break;
    }
}

}  // namespace

int ListDevices(const PluginFiles& files, ReceiverSession& session, std::ostream& out)
{
    PluginSettings settings = ReadPluginSettings(files, out);
    const std::vector<std::string>& devices = session.Devices();
    if (devices.empty()) {
        out << NoDeviceText(session.Wrapper());
        return kExitCannot;
    }
    DeviceChoice choice = ChooseDevice(settings.device, devices);

    std::size_t nameWidth = 0;
    for (const std::string& name : devices)
        nameWidth = std::max(nameWidth, name.size());
    out << "Capture devices:\n";
    for (unsigned long index = 0; index < devices.size(); ++index) {
        // The card type belongs to the selected device; the plug-in selects
        // its own device again when it starts, so nothing is put back.
        session.Select(settings.chipTypeTM, index);
        std::string name = devices[index];
        name.resize(nameWidth, ' ');
        out << "  " << index << "  " << name << "  " << CardTypeText(session.CardType());
        if (index == choice.index)
            out << kMark;
        out << "\n";
    }
    ExplainChoice(choice, files, devices.size(), out);
    return kExitOk;
}

int RunDevices(const Arguments& arguments, std::ostream& out)
{
    if (!arguments.empty()) {
        out << "Usage: PelcatoRemote devices\nThe devices command takes no arguments.\n";
        return kExitCannot;
    }
    PluginFiles files = FindPluginFiles(ToolFolder());
    ReceiverSession session;
    return ListDevices(files, session, out);
}
