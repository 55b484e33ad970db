#include "ReceiverSession.h"

#include "PltRemoteWrap.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr unsigned char kNoCode = 255;
constexpr char kVendorWord[] = "PELCATO";
// A receiver library that never ends its device list must not hang the tool.
constexpr unsigned long kMaxDevices = 256;

bool HoldsVendorWord(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return name.find(kVendorWord) != std::string::npos;
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

ReceiverSession::ReceiverSession()
{
    RemoteCreate();
    for (unsigned long index = 0; index < kMaxDevices; ++index) {
        const char* name = GetDeviceName(index);
        if (!name)
            break;
        devices_.emplace_back(name);
    }
}

ReceiverSession::~ReceiverSession()
{
    RemoteRelease();
}

void ReceiverSession::Select(bool chipTypeTM, unsigned long device)
{
    SetChipTypeTM(chipTypeTM ? 1 : 0);
    SelectDevice(device);
}

long ReceiverSession::CardType() const
{
    return GetCardType();
}

std::optional<unsigned char> ReceiverSession::Poll()
{
    unsigned char code = kNoCode;
    GetCode(&code);
    if (code == kNoCode)
        return std::nullopt;
    return code;
}
