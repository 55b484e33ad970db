#include "tools/remote/ReceiverSession.h"

#include <ostream>
#include <utility>

const char kNoReceiverText[] =
    "The receiver does not answer: no capture device is listed.\n"
    "Close the host application first: while it runs, the plug-in holds the card.\n"
    "If that does not help, install the tuner card's software again.\n";

std::string NoDeviceText(WrapperState wrapper)
{
    if (const char* problem = WrapperProblemText(wrapper))
        return std::string("The receiver does not answer: ") + problem + ".\n";
    return kNoReceiverText;
}

std::optional<DeviceChoice> SelectPluginDevice(ReceiverSession& session, const PluginSettings& settings,
                                               std::ostream& out)
{
    if (session.Devices().empty()) {
        out << NoDeviceText(session.Wrapper());
        return std::nullopt;
    }
    DeviceChoice choice = ChooseDevice(settings.device, session.Devices());
    session.Select(settings.chipTypeTM, choice.index);
    return choice;
}

std::optional<PluginReceiver> OpenPluginReceiver(ReceiverSession& session, std::ostream& out)
{
    PluginSettings settings = ReadPluginSettings(FindPluginFiles(ToolFolder()), out);
    std::optional<DeviceChoice> device = SelectPluginDevice(session, settings, out);
    if (!device)
        return std::nullopt;
    return PluginReceiver{std::move(settings), *device};
}

// The wrapper is loaded as the plug-in loads it, from the tool's own folder,
// which is the plug-in's: the tool starts, and says what is missing, on a
// machine without the card's software, and for commands that need no
// receiver at all.
ReceiverSession::ReceiverSession()
{
    wrapper_.Load(ToolFolder());
    wrapper_.RemoteCreate();
    for (unsigned long index = 0; index < kMaxDevices; ++index) {
        const char* name = wrapper_.GetDeviceName(index);
        if (!name)
            break;
        devices_.emplace_back(name);
    }
}

ReceiverSession::~ReceiverSession()
{
    wrapper_.RemoteRelease();
}

void ReceiverSession::Select(bool chipTypeTM, unsigned long device)
{
    wrapper_.SetChipTypeTM(chipTypeTM ? 1 : 0);
    wrapper_.SelectDevice(device);
}

long ReceiverSession::CardType() const
{
    return wrapper_.GetCardType();
}

std::optional<unsigned char> ReceiverSession::Poll()
{
    return wrapper_.Poll();
}
