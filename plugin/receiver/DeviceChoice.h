#pragma once
// Which capture device the receiver is asked for. The plug-in programs the
// device this picks, and the companion names it and says why, so the two
// cannot disagree.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A receiver library that never ends its device list must not hang Open.
constexpr unsigned long kMaxDevices = 256;

// Whether a device's name marks it as the tuner card: "PELCATO" in any
// letter case.
bool IsTunerCardName(std::string_view name);

// The device a Device setting stands for: a negative one, written by hand,
// counts as device 0.
std::int32_t DeviceOfSetting(std::int32_t setting);

// Why a device is the one the plug-in uses.
enum class DeviceReason { kSetting, kNameSearch, kFirstDevice };

struct DeviceChoice {
    unsigned long index;
    DeviceReason reason;
};

// The device chosen already (the Device setting, or the device picked in an
// earlier open), else the first device whose name marks the tuner card, else
// device 0. An index beyond the last device is kept: the receiver is asked
// for it as the user wrote it.
DeviceChoice ChooseDevice(std::optional<std::int32_t> chosen, const std::vector<std::string>& devices);
