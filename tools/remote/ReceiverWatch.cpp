// The plug-in polls on its ReceiverThread and decides on its DispatchThread.
// Here one thread runs the plug-in's dispatch loop, and the loop's clock
// polls the receiver while the loop waits: a wait ends with the first code,
// or when the repeat or release that the loop waits for is due, so the
// messages are decided by the same code at the same moments, give or take
// the timer's resolution.

#include "tools/remote/ReceiverWatch.h"

#include "common/win/SteadyClock.h"
#include "plugin/config/CodeText.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <vector>

namespace {

constexpr std::uint64_t kNever = ~std::uint64_t{0};

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
class WatchClock final : public PollingClock {
public:
    WatchClock(const PollFunction& poll, const PluginSettings& settings, const WatchLimits& limits, KeyRules& rules,
               std::ostream& out, const MessageFunction& onMessage)
        : PollingClock(poll, settings.interval, limits, rules), settings_(settings), rules_(rules), out_(out),
          onMessage_(onMessage)
    {
    }

    std::size_t Count() const { return count_; }

private:
    void PassDecided(const std::optional<Arrival>& arrival, std::uint64_t timedOutUs) override
    {
        std::uint64_t atUs = arrival ? arrival->atUs : timedOutUs;
        std::vector<PredictedMessage> messages =
            rules_.sink.Take(static_cast<std::uint32_t>((atUs - StartUs()) / 1000));
        if (arrival) {
            char codeText[kCodeTextSize] = {};
            FormatCodeText(arrival->code, settings_.codeTextDigits, codeText);
            KeyNames names = LookUpKey(rules_.table, codeText);
            std::string keyName(names.keyName);
            PrintLine(out_, Seconds(atUs - StartUs()), lastCodeUs_ ? Milliseconds(atUs - *lastCodeUs_) : "",
                      codeText, keyName, std::string(names.modelName), MessagesText(messages, keyName));
            lastCodeUs_ = atUs;
        } else if (!messages.empty()) {
            PrintLine(out_, Seconds(atUs - StartUs()), "", "", messages.front().keyName, messages.front().modelName,
                      MessagesText(messages, messages.front().keyName));
        }
        count_ += messages.size();
        if (onMessage_) {
            for (const PredictedMessage& message : messages)
                onMessage_(message);
        }
        out_.flush();
    }

    const PluginSettings& settings_;
    KeyRules& rules_;
    std::ostream& out_;
    const MessageFunction& onMessage_;
    std::optional<std::uint64_t> lastCodeUs_;
    std::size_t count_ = 0;
};

}  // namespace

bool CollectingSink::SendKey(std::int32_t param)
{
    pending_.push_back({0, param, record_.keyName, texts_.modelName, texts_.codeText});
    return true;
}

std::vector<PredictedMessage> CollectingSink::Take(std::uint32_t atMs)
{
    std::vector<PredictedMessage> taken;
    taken.swap(pending_);
    for (PredictedMessage& message : taken)
        message.atMs = atMs;
    return taken;
}

KeyRules::KeyRules(const PluginSettings& settings, const KeyTable& table)
    : timing{BoundedWait(settings.wait1), BoundedWait(settings.waitN), BoundedWait(settings.waitR)}, table(table)
{
}

void KeyRules::Run(DispatchClock& clock)
{
    RunDispatchLoop({slot, loopStop, [this] { return timing; }, [this] { return table; }}, dispatcher, clock);
}

PollingClock::PollingClock(const PollFunction& poll, std::int32_t intervalMs, const WatchLimits& limits,
                           KeyRules& rules)
    : poll_(poll), intervalMs_(intervalMs), stop_(limits.stop), rules_(rules), startUs_(win::SteadyMicroseconds()),
      endUs_(limits.duration ? startUs_ + limits.duration->count() * 1000 : kNever), pacer_(startUs_),
      timedOutUs_(startUs_)
{
}

std::uint64_t PollingClock::NowMicroseconds()
{
    return win::SteadyMicroseconds();
}

CodeWait PollingClock::Wait(std::optional<std::chrono::microseconds> timeout)
{
    PassDecided(arrival_, timedOutUs_);
    arrival_.reset();
    std::uint64_t nowUs = win::SteadyMicroseconds();
    const std::uint64_t timeoutUs =
        timeout ? nowUs + static_cast<std::uint64_t>(std::max<std::int64_t>(timeout->count(), 0)) : kNever;
    for (;;) {
        if (nowUs >= endUs_)
            return Stop();
        if (nowUs >= pacer_.NextPollUs()) {
            std::optional<unsigned char> code = poll_();
            nowUs = win::SteadyMicroseconds();
            pacer_.Polled(nowUs, intervalMs_);
            if (code) {
                StoreCode(rules_.slot, *code);
                arrival_ = Arrival{*code, nowUs};
                return CodeWait::kSignalled;
            }
        }
        if (nowUs >= timeoutUs) {
            timedOutUs_ = nowUs;
            return CodeWait::kTimedOut;
        }
        std::uint64_t wakeUs = std::min({pacer_.NextPollUs(), endUs_, timeoutUs});
        const HANDLE events[] = {stop_, InputEvent()};
        DWORD woke = timedWait_.Wait(events, events[1] ? 2 : 1, std::chrono::microseconds(wakeUs - nowUs));
        if (woke == WAIT_OBJECT_0 + 1) {
            if (!InputSet())
                return Stop();
        } else if (woke != WAIT_TIMEOUT) {
            return Stop();  // stopped, or no event to wait on: spinning would be worse than ending
        }
        nowUs = win::SteadyMicroseconds();
    }
}

CodeWait PollingClock::Stop()
{
    return rules_.loopStop.Set() ? CodeWait::kSignalled : CodeWait::kFailed;
}

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
    KeyRules rules(settings, {&settings.keyMap, &settings.modelNames, settings.codeTextDigits});

    PrintLine(out, "time", "gap", "code", "key", "model", "the plug-in sends");
    out.flush();

    WatchClock clock(poll, settings, limits, rules, out, onMessage);
    rules.Run(clock);
    return clock.Count();
}
