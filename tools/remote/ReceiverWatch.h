#pragma once
// The core of the watch command: runs the plug-in's own dispatch loop on a
// clock that polls the receiver, paced as the plug-in's ReceiverThread
// paces its polls. What the loop sends is what the plug-in would send the
// host with the same settings; it is printed beside the codes and counted.

#include "tools/remote/PluginFiles.h"

#include "plugin/receiver/PacedPolls.h"

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

// A key message as the host would receive it.
struct PredictedMessage {
    std::uint32_t atMs;     // since the watch began
    std::int32_t param;     // press 0, repeat n, release -1
    std::string keyName;    // as the record names the key
    std::string modelName;
    std::string codeText;
};

struct WatchLimits {
    std::optional<std::chrono::milliseconds> duration;  // none: until stop is set
    HANDLE stop;                                        // an event; set, it ends the watch
};

// Each message as it is decided.
using MessageFunction = std::function<void(const PredictedMessage&)>;

// Prints the column headings, then one line per code and one per message
// that comes without a code, until the duration is over or stop is set.
// Returns how many messages the plug-in would have sent; each goes to
// onMessage, if given, and none is kept, so that a watch of a whole day takes
// no more memory than one of a minute.
std::size_t WatchReceiver(const PollFunction& poll, const PluginSettings& settings, const WatchLimits& limits,
                          std::ostream& out, const MessageFunction& onMessage = nullptr);

// "press", "repeat 3", "release".
std::string MessageText(std::int32_t param);
