#include "ReceiverSession.h"

#include "common/win/ProcAddress.h"
#include "receiver/Receiver.h"

#include <windows.h>

#include <algorithm>
#include <ostream>
#include <utility>

namespace {

constexpr char kWrapperFileName[] = "pltremotewrap.dll";

}  // namespace

const char kNoReceiverText[] =
    "The receiver does not answer: no capture device is listed.\n"
    "Close the host application first: while it runs, the plug-in holds the card.\n"
    "If that does not help, install the tuner card's software, which brings the\n"
    "receiver library pltremote.dll.\n";

DeviceChoice ChooseDevice(const PluginSettings& settings, const std::vector<std::string>& devices)
{
    if (settings.device)
        return {static_cast<unsigned long>(std::max(*settings.device, 0)), DeviceReason::kSetting};
    for (unsigned long index = 0; index < devices.size(); ++index) {
        if (NamesTunerCard(devices[index]))
            return {index, DeviceReason::kNameSearch};
    }
    return {0, DeviceReason::kFirstDevice};
}

std::optional<DeviceChoice> SelectPluginDevice(ReceiverSession& session, const PluginSettings& settings,
                                               std::ostream& out)
{
    if (session.Devices().empty()) {
        out << kNoReceiverText;
        return std::nullopt;
    }
    DeviceChoice choice = ChooseDevice(settings, session.Devices());
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

// The wrapper is loaded at run time, not imported: it imports the vendor's
// pltremote.dll, and an import that cannot be resolved would stop the tool
// before main, with a loader error instead of advice, on exactly the
// machines where the user needs the tool most (no card software yet), and
// for commands that need no receiver at all. It is loaded from the tool's
// own folder, beside the plug-in, and that folder is searched first for the
// vendor's library, as for the plug-in's copy.
ReceiverSession::ReceiverSession()
{
    std::string wrapperPath = ToolFolder() + kWrapperFileName;
    wrapper_ = win::Module(::LoadLibraryExA(wrapperPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    HMODULE wrapper = wrapper_.Get();
    create_ = win::ProcAddress<void(__stdcall*)()>(wrapper, "_RemoteCreate@0");
    release_ = win::ProcAddress<void(__stdcall*)()>(wrapper, "_RemoteRelease@0");
    getCode_ = win::ProcAddress<long(__stdcall*)(unsigned char*)>(wrapper, "_GetCode@4");
    getDeviceName_ = win::ProcAddress<char*(__stdcall*)(unsigned long)>(wrapper, "_GetDeviceName@4");
    selectDevice_ = win::ProcAddress<long(__stdcall*)(unsigned long)>(wrapper, "_SelectDevice@4");
    getCardType_ = win::ProcAddress<long(__stdcall*)()>(wrapper, "_GetCardType@0");
    setChipTypeTM_ = win::ProcAddress<void(__stdcall*)(long)>(wrapper, "_SetChipTypeTM@4");
    if (!create_ || !release_ || !getCode_ || !getDeviceName_ || !selectDevice_ || !getCardType_ ||
        !setChipTypeTM_) {
        wrapper_.Close();
        return;
    }
    create_();
    for (unsigned long index = 0; index < kMaxDevices; ++index) {
        const char* name = getDeviceName_(index);
        if (!name)
            break;
        devices_.emplace_back(name);
    }
}

ReceiverSession::~ReceiverSession()
{
    if (wrapper_)
        release_();
}

void ReceiverSession::Select(bool chipTypeTM, unsigned long device)
{
    if (!wrapper_)
        return;
    setChipTypeTM_(chipTypeTM ? 1 : 0);
    selectDevice_(device);
}

long ReceiverSession::CardType() const
{
    return wrapper_ ? getCardType_() : 0;
}

std::optional<unsigned char> ReceiverSession::Poll()
{
    if (!wrapper_)
        return std::nullopt;
    unsigned char code = kNoReceiverCode;
    getCode_(&code);
    if (code == kNoReceiverCode)
        return std::nullopt;
    return code;
}
