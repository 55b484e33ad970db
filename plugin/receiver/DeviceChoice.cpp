#include "plugin/receiver/DeviceChoice.h"

#include "plugin/config/TextCase.h"

#include <algorithm>

bool IsTunerCardName(std::string_view name)
{
    constexpr std::string_view kVendorWord = "PELCATO";
    return std::search(name.begin(), name.end(), kVendorWord.begin(), kVendorWord.end(),
                       [](char a, char b) { return AsciiUpper(a) == b; }) != name.end();
}

std::int32_t DeviceOfSetting(std::int32_t setting)
{
    return std::max(setting, 0);
}

DeviceChoice ChooseDevice(std::optional<std::int32_t> chosen, const std::vector<std::string>& devices)
{
    if (chosen)
        return {static_cast<unsigned long>(DeviceOfSetting(*chosen)), DeviceReason::kSetting};
    for (unsigned long index = 0; index < devices.size(); ++index) {
        if (IsTunerCardName(devices[index]))
            return {index, DeviceReason::kNameSearch};
    }
    return {0, DeviceReason::kFirstDevice};
}
