#pragma once
// The core of the watch command: runs the plug-in's own dispatch loop on a
// clock that polls the receiver, paced as the plug-in's ReceiverThread
// paces its polls. What the loop sends is what the plug-in would send the
// host with the same settings; it is printed beside the codes and counted.
// learn runs the same loop and clock to tell one button from the next.

#include "tools/remote/PluginFiles.h"

#include "common/win/Handle.h"
#include "common/win/TimedWait.h"
#include "plugin/core/DispatchLoop.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PendingCode.h"
#include "plugin/core/RemoteEvent.h"
#include "plugin/receiver/PacedPolls.h"

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

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

// Collects what the dispatcher sends, naming the key as the record does at
// that moment: a release on a takeover still names the old key.
class CollectingSink final : public KeySink {
public:
    CollectingSink(const RemoteEvent& record, const KeyEventTexts& texts) : record_(record), texts_(texts) {}

    bool SendKey(std::int32_t param) override;
    void ShowCode(std::uint64_t) override {}
    void ShowRelease() override {}

    // The messages since the last call, stamped with their time.
    std::vector<PredictedMessage> Take(std::uint32_t atMs);

private:
    const RemoteEvent& record_;
    const KeyEventTexts& texts_;
    std::vector<PredictedMessage> pending_;
};

// The plug-in's key rules with the settings' timings and the given table,
// and what they need to run: the record, the slot the clock stores codes
// in, and the event that ends the loop.
struct KeyRules {
    KeyRules(const PluginSettings& settings, const KeyTable& table);
    KeyRules(const KeyRules&) = delete;
    KeyRules& operator=(const KeyRules&) = delete;

    // The dispatch loop, until loopStop is set.
    void Run(DispatchClock& clock);

    const KeyTiming timing;
    const KeyTable table;
    RemoteEvent record{};
    KeyEventTexts texts{};
    CollectingSink sink{record, texts};
    KeyDispatcher dispatcher{record, texts, sink, timing};
    PendingCode slot;
    const win::Event loopStop = win::Event::CreateManualReset();
};

// The dispatch loop's clock for the receiver. Each wait polls the receiver
// at the plug-in's pace and ends with the first code, when the repeat or
// release that the loop waits for is due, at the end of the duration, or
// once stop is set (the last two end the loop).
class PollingClock : public DispatchClock {
public:
    PollingClock(const PollFunction& poll, std::int32_t intervalMs, const WatchLimits& limits, KeyRules& rules);

    std::uint64_t NowMicroseconds() override;
    CodeWait Wait(std::optional<std::chrono::microseconds> timeout) final;

protected:
    ~PollingClock() = default;

    struct Arrival {
        unsigned char code;
        std::uint64_t atUs;
    };
    // Called as each wait begins, when the loop's last pass has decided:
    // with the code that pass took, or none and when the wait before it
    // timed out.
    virtual void PassDecided(const std::optional<Arrival>& arrival, std::uint64_t timedOutUs) = 0;
    // An event that the waits watch besides stop, and what is done once it
    // is set: false ends the loop. None by default.
    virtual HANDLE InputEvent() const { return nullptr; }
    virtual bool InputSet() { return true; }

    std::uint64_t StartUs() const { return startUs_; }

private:
    // Ends the loop through its stop event; where that cannot be set, as a
    // failed wait does.
    CodeWait Stop();

    const PollFunction& poll_;
    const std::int32_t intervalMs_;
    const HANDLE stop_;
    KeyRules& rules_;
    const win::TimedWait timedWait_;
    const std::uint64_t startUs_;
    const std::uint64_t endUs_;
    PollPacer pacer_;
    std::optional<Arrival> arrival_;  // the code the loop's next pass takes
    std::uint64_t timedOutUs_;        // when the last wait timed out
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
