// The plug-in polls on its ReceiverThread and decides on its DispatchThread.
// Here one thread runs the plug-in's dispatch loop, and the loop's clock
// polls the receiver while the loop waits: a wait ends with the first code,
// or when the repeat or release that the loop waits for is due, so the
// messages are decided by the same code at the same moments, give or take
// the timer's resolution.

#include "tools/remote/ReceiverWatch.h"

#include "plugin/core/DispatchLoop.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PendingCode.h"
#include "plugin/core/RemoteEvent.h"

#include "common/win/Handle.h"
#include "common/win/SteadyClock.h"
#include "common/win/TimedWait.h"
#include "plugin/config/CodeText.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <vector>

namespace {

constexpr std::uint64_t kNever = ~std::uint64_t{0};

// Collects what the dispatcher sends, naming the key as the record does at
// that moment: a release on a takeover still names the old key.
class CollectingSink final : public KeySink {
public:
    CollectingSink(const RemoteEvent& record, const KeyEventTexts& texts) : record_(record), texts_(texts) {}

    bool SendKey(std::int32_t param) override
    {
        pending_.push_back({0, param, record_.keyName, texts_.modelName, texts_.codeText});
        return true;
    }
    void ShowCode(std::uint64_t) override {}
    void ShowRelease() override {}

    // The messages since the last call, stamped with their time.
    std::vector<PredictedMessage> Take(std::uint32_t atMs)
    {
        std::vector<PredictedMessage> taken;
        taken.swap(pending_);
        for (PredictedMessage& message : taken)
            message.atMs = atMs;
        return taken;
    }

private:
    const RemoteEvent& record_;
    const KeyEventTexts& texts_;
    std::vector<PredictedMessage> pending_;
};

// The messages of one pass, in order. A message about a key other than the
// line's names that key, so a takeover reads "release VolumeUp, press".
std::string MessagesText(const std::vector<PredictedMessage>& messages, const std::string& lineKey)
{
    std::string text;
    for (const PredictedMessage& message : messages) {
        if (!text.empty())
            text += ", ";
        text += MessageText(message.param);
        if (message.keyName != lineKey)
            text += " " + message.keyName;
    }
    return text;
}

void PrintLine(std::ostream& out, const std::string& time, const std::string& gap, const std::string& codeText,
               const std::string& keyName, const std::string& modelName, const std::string& messages)
{
    char line[256];
    std::snprintf(line, sizeof line, "%9s %8s  %-8s  %-16.16s %-24.24s %s", time.c_str(), gap.c_str(),
                  codeText.c_str(), keyName.c_str(), modelName.c_str(), messages.c_str());
    std::string text = line;
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
}

std::string Seconds(std::uint64_t us)
{
    char text[24];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(us) / 1e6);
    return text;
}

std::string Milliseconds(std::uint64_t us)
{
    return std::to_string(us / 1000) + " ms";
}

// The dispatch loop's clock in the watch. Each wait first prints what the
// loop's last pass decided: the line of the code that the pass took, or a
// line of the messages that came with no code.
class WatchClock final : public DispatchClock {
public:
    WatchClock(const PollFunction& poll, const PluginSettings& settings, const KeyTable& table,
               const WatchLimits& limits, const win::Event& loopStop, PendingCode& slot, CollectingSink& sink,
               std::ostream& out, const MessageFunction& onMessage)
        : poll_(poll), settings_(settings), table_(table), stop_(limits.stop), loopStop_(loopStop), slot_(slot),
          sink_(sink), out_(out), onMessage_(onMessage), startUs_(win::SteadyMicroseconds()),
          endUs_(limits.duration ? startUs_ + limits.duration->count() * 1000 : kNever), pacer_(startUs_),
          timedOutUs_(startUs_)
    {
    }

    std::size_t Count() const { return count_; }

    std::uint64_t NowMicroseconds() override { return win::SteadyMicroseconds(); }

    CodeWait Wait(std::optional<std::chrono::microseconds> timeout) override
    {
        PrintLastPass();
        std::uint64_t nowUs = win::SteadyMicroseconds();
        const std::uint64_t timeoutUs =
            timeout ? nowUs + static_cast<std::uint64_t>(std::max<std::int64_t>(timeout->count(), 0)) : kNever;
        for (;;) {
            if (nowUs >= endUs_)
                return Stop();
            if (nowUs >= pacer_.NextPollUs()) {
                std::optional<unsigned char> code = poll_();
                nowUs = win::SteadyMicroseconds();
                pacer_.Polled(nowUs, settings_.interval);
                if (code) {
                    StoreCode(slot_, *code);
                    arrival_ = Arrival{*code, nowUs};
                    return CodeWait::kSignalled;
                }
            }
            if (nowUs >= timeoutUs) {
                timedOutUs_ = nowUs;
                return CodeWait::kTimedOut;
            }
            std::uint64_t wakeUs = std::min({pacer_.NextPollUs(), endUs_, timeoutUs});
            HANDLE stop = stop_;
            if (timedWait_.Wait(&stop, 1, std::chrono::microseconds(wakeUs - nowUs)) != WAIT_TIMEOUT)
                return Stop();  // stopped, or no event to wait on: spinning would be worse than ending
            nowUs = win::SteadyMicroseconds();
        }
    }

private:
    struct Arrival {
        unsigned char code;
        std::uint64_t atUs;
    };

    // Ends the loop through its stop event; where that cannot be set, as a
    // failed wait does.
    CodeWait Stop() { return loopStop_.Set() ? CodeWait::kSignalled : CodeWait::kFailed; }

    void PrintLastPass()
    {
        std::uint64_t atUs = arrival_ ? arrival_->atUs : timedOutUs_;
        std::vector<PredictedMessage> messages = sink_.Take(static_cast<std::uint32_t>((atUs - startUs_) / 1000));
        if (arrival_) {
            char codeText[kCodeTextSize] = {};
            FormatCodeText(arrival_->code, settings_.codeTextDigits, codeText);
            KeyNames names = LookUpKey(table_, codeText);
            std::string keyName(names.keyName);
            PrintLine(out_, Seconds(atUs - startUs_), lastCodeUs_ ? Milliseconds(atUs - *lastCodeUs_) : "", codeText,
                      keyName, std::string(names.modelName), MessagesText(messages, keyName));
            lastCodeUs_ = atUs;
            arrival_.reset();
        } else if (!messages.empty()) {
            PrintLine(out_, Seconds(atUs - startUs_), "", "", messages.front().keyName, messages.front().modelName,
                      MessagesText(messages, messages.front().keyName));
        }
        count_ += messages.size();
        if (onMessage_) {
            for (const PredictedMessage& message : messages)
                onMessage_(message);
        }
        out_.flush();
    }

    const PollFunction& poll_;
    const PluginSettings& settings_;
    const KeyTable& table_;
    const HANDLE stop_;
    const win::Event& loopStop_;
    PendingCode& slot_;
    CollectingSink& sink_;
    std::ostream& out_;
    const MessageFunction& onMessage_;
    const win::TimedWait timedWait_;
    const std::uint64_t startUs_;
    const std::uint64_t endUs_;
    PollPacer pacer_;
    std::optional<Arrival> arrival_;      // the code the loop's next pass takes
    std::uint64_t timedOutUs_;            // when the last wait timed out
    std::optional<std::uint64_t> lastCodeUs_;
    std::size_t count_ = 0;
};

}  // namespace

std::string MessageText(std::int32_t param)
{
    if (param == kPressParam)
        return "press";
    if (param == kReleaseParam)
        return "release";
    return "repeat " + std::to_string(param);
}

std::size_t WatchReceiver(const PollFunction& poll, const PluginSettings& settings, const WatchLimits& limits,
                          std::ostream& out, const MessageFunction& onMessage)
{
    const KeyTiming timing{BoundedWait(settings.wait1), BoundedWait(settings.waitN), BoundedWait(settings.waitR)};
    const KeyTable table{&settings.keyMap, &settings.modelNames, settings.codeTextDigits};

    RemoteEvent record{};
    KeyEventTexts texts{};
    CollectingSink sink(record, texts);
    KeyDispatcher dispatcher(record, texts, sink, timing);
    PendingCode slot;
    const win::Event loopStop = win::Event::CreateManualReset();

    PrintLine(out, "time", "gap", "code", "key", "model", "the plug-in sends");
    out.flush();

    WatchClock clock(poll, settings, table, limits, loopStop, slot, sink, out, onMessage);
    RunDispatchLoop({slot, loopStop, [&timing] { return timing; }, [&table] { return table; }}, dispatcher, clock);
    return clock.Count();
}
