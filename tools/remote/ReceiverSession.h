#pragma once
// The receiver, reached through pltremotewrap.dll exactly as the plug-in
// reaches it: the receiver object lives as long as the session, and the
// device is chosen and programmed by the plug-in's rules. Without the
// wrapper or the vendor's library the session lists no device and answers
// as the wrapper does without a receiver object.

#include "tools/remote/PluginFiles.h"

#include "plugin/receiver/DeviceChoice.h"
#include "plugin/receiver/WrapperLibrary.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// What the user reads when the wrapper is loaded but lists no device: there
// is no card, or another program (the host) holds it.
extern const char kNoReceiverText[];
// What the user reads when the receiver lists no device: kNoReceiverText, or
// what is missing and where to get it.
std::string NoDeviceText(WrapperState wrapper);

class ReceiverSession;

// Chooses and selects the device the plug-in would use. When the receiver
// lists none, tells the user why (NoDeviceText) and gives none.
std::optional<DeviceChoice> SelectPluginDevice(ReceiverSession& session, const PluginSettings& settings,
                                               std::ostream& out);

// The settings the plug-in beside this program would run with, and its
// device, selected on the session: how every command that polls begins.
struct PluginReceiver {
    PluginSettings settings;
    DeviceChoice device;
};
// None, after telling the user why, when the receiver lists no device.
std::optional<PluginReceiver> OpenPluginReceiver(ReceiverSession& session, std::ostream& out);

class ReceiverSession {
public:
    ReceiverSession();
    ~ReceiverSession();
    ReceiverSession(const ReceiverSession&) = delete;
    ReceiverSession& operator=(const ReceiverSession&) = delete;

    // The capture devices as the receiver names them; none when it does not
    // answer.
    const std::vector<std::string>& Devices() const { return devices_; }
    // Whether the wrapper, and the receiver library behind it, were found.
    WrapperState Wrapper() const { return wrapper_.State(); }

    // Programs the chip type, then the device, as the plug-in's Start does.
    void Select(bool chipTypeTM, unsigned long device);
    // The card type of the selected device.
    long CardType() const;
    // One poll: the code the receiver reports, if any.
    std::optional<unsigned char> Poll();

private:
    WrapperLibrary wrapper_;
    std::vector<std::string> devices_;
};
