#pragma once
// The plug-in's side of the receiver: opening it, listing the capture
// devices, and the ReceiverThread that polls it for codes.

#include "plugin/config/TextCase.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

// A pause between polls outside the range the setup dialog offers is held at
// the nearest end of it: 0 or a negative value would poll without pause, and
// a pause of minutes would let codes go by unseen.
constexpr std::int32_t kMinIntervalMs = 10;
constexpr std::int32_t kMaxIntervalMs = 1000;
inline std::uint32_t BoundedInterval(std::int32_t intervalMs)
{
    return static_cast<std::uint32_t>(std::clamp(intervalMs, kMinIntervalMs, kMaxIntervalMs));
}

// A receiver library that never ends its device list must not hang Open.
constexpr unsigned long kMaxDevices = 256;

// Whether a device's name marks it as the tuner card: "PELCATO" in any
// letter case. Without a Device setting the first such device is used.
inline bool NamesTunerCard(std::string_view name)
{
    constexpr std::string_view kVendorWord = "PELCATO";
    return std::search(name.begin(), name.end(), kVendorWord.begin(), kVendorWord.end(),
                       [](char a, char b) { return AsciiUpper(a) == b; }) != name.end();
}

// Loads the wrapper from the plug-in's folder, creates the receiver object
// and the lists, and picks the default device: the first whose name holds
// "PELCATO", else device 0. Without the wrapper or the card's receiver
// library there is no device, and the plug-in runs with nothing to poll.
void ReceiverOpen();
void ReceiverClose();

// Programs the chip type and the device and starts the ReceiverThread; false
// when the thread could not be made.
bool ReceiverStart();
// Ends the ReceiverThread, cutting its pause short; nothing when none runs.
void ReceiverStop();
// Asks the ReceiverThread to end without waiting for it, so that it ends
// while Stop waits for the DispatchThread.
void ReceiverRequestStop();

// "CardType CARD_..." for the selected device's card; where the wrapper
// could not be loaded, what is missing and where to get it.
const char* ReceiverCardTypeText();
// Switches the receiver's chip type at once; the next Start programs the
// one the settings give.
void ReceiverSetChipTypeTM(bool chipTypeTM);
