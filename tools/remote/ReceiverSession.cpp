#include "ReceiverSession.h"

#include <windows.h>

#include <algorithm>
#include <ostream>
#include <cctype>

namespace {

constexpr unsigned char kNoCode = 255;
constexpr char kVendorWord[] = "PELCATO";
// A receiver library that never ends its device list must not hang the tool.
constexpr unsigned long kMaxDevices = 256;
constexpr char kWrapperFileName[] = "pltremotewrap.dll";

bool HoldsVendorWord(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return name.find(kVendorWord) != std::string::npos;
}

template <typename Function>
Function WrapperFunction(HMODULE wrapper, const char* exportName)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(wrapper, exportName)));
}

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
        if (HoldsVendorWord(devices[index]))
            return {index, DeviceReason::kNameSearch};
    }
    return {0, DeviceReason::kFirstDevice};
}

// The wrapper is loaded at run time, not imported: it imports the vendor's
// pltremote.dll, and an import that cannot be resolved would stop the tool
// before main, with a loader error instead of advice, on exactly the
// machines where the user needs the tool most (no card software yet), and
// for commands that need no receiver at all. It is loaded from the tool's
// own folder, beside the plug-in, and that folder is searched first for the
// vendor's library, as for the plug-in's copy.
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

ReceiverSession::ReceiverSession()
{
    std::string wrapperPath = ToolFolder() + kWrapperFileName;
    wrapper_ = ::LoadLibraryExA(wrapperPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!wrapper_)
        return;
    create_ = WrapperFunction<void(__stdcall*)()>(wrapper_, "_RemoteCreate@0");
    release_ = WrapperFunction<void(__stdcall*)()>(wrapper_, "_RemoteRelease@0");
    getCode_ = WrapperFunction<long(__stdcall*)(unsigned char*)>(wrapper_, "_GetCode@4");
    getDeviceName_ = WrapperFunction<char*(__stdcall*)(unsigned long)>(wrapper_, "_GetDeviceName@4");
    selectDevice_ = WrapperFunction<long(__stdcall*)(unsigned long)>(wrapper_, "_SelectDevice@4");
    getCardType_ = WrapperFunction<long(__stdcall*)()>(wrapper_, "_GetCardType@0");
    setChipTypeTM_ = WrapperFunction<void(__stdcall*)(long)>(wrapper_, "_SetChipTypeTM@4");
    if (!create_ || !release_ || !getCode_ || !getDeviceName_ || !selectDevice_ || !getCardType_ ||
        !setChipTypeTM_) {
        ::FreeLibrary(wrapper_);
        wrapper_ = nullptr;
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
    if (!wrapper_)
        return;
    release_();
    ::FreeLibrary(wrapper_);
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
    unsigned char code = kNoCode;
    getCode_(&code);
    if (code == kNoCode)
        return std::nullopt;
    return code;
}
