// The loop keeps two clocks apart: polls fall due Interval apart from one
// start to the next (as in the plug-in's ReceiverThread), and the dispatcher's
// repeats and time-out release fall due at NextDeadline (as in its
// DispatchThread). The plug-in runs them on two threads; here one thread
// waits for whichever comes first, so the messages are decided by the same
// rules at the same moments, give or take the timer's resolution.

#include "tools/remote/ReceiverWatch.h"

#include "plugin/core/Clock.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/RemoteEvent.h"
#include "plugin/receiver/Receiver.h"

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
    const std::uint64_t intervalUs = std::uint64_t{BoundedInterval(settings.interval)} * 1000;
    const KeyTable table{&settings.keyMap, &settings.modelNames, settings.codeTextDigits};

    RemoteEvent record{};
    KeyEventTexts texts{};
    CollectingSink sink(record, texts);
    KeyDispatcher dispatcher(record, texts, sink, timing);
    const win::TimedWait timedWait;

    PrintLine(out, "time", "gap", "code", "key", "model", "the plug-in sends");
    out.flush();

    std::size_t count = 0;
    const std::uint64_t startUs = SteadyMicroseconds();
    const std::uint64_t endUs = limits.duration ? startUs + limits.duration->count() * 1000 : kNever;
    std::uint64_t nextPollUs = startUs;
    std::optional<std::uint64_t> lastCodeUs;
    auto sinceStartMs = [startUs](std::uint64_t atUs) { return static_cast<std::uint32_t>((atUs - startUs) / 1000); };
    auto pass = [&](const std::vector<PredictedMessage>& messages) {
        count += messages.size();
        if (onMessage) {
            for (const PredictedMessage& message : messages)
                onMessage(message);
        }
    };

    for (;;) {
        std::uint64_t nowUs = SteadyMicroseconds();
        if (nowUs >= endUs)
            break;

        if (nowUs >= nextPollUs) {
            std::optional<unsigned char> code = poll();
            nowUs = SteadyMicroseconds();
            if (code) {
                auto tick = static_cast<std::uint32_t>(nowUs / 1000);
                dispatcher.TakeCode(*code, tick);
                dispatcher.RunPass(tick, timing, table);
                std::vector<PredictedMessage> messages = sink.Take(sinceStartMs(nowUs));
                char codeText[kCodeTextSize] = {};
                FormatCodeText(*code, settings.codeTextDigits, codeText);
                KeyNames names = LookUpKey(table, codeText);
                std::string keyName(names.keyName);
                PrintLine(out, Seconds(nowUs - startUs), lastCodeUs ? Milliseconds(nowUs - *lastCodeUs) : "",
                          codeText, keyName, std::string(names.modelName), MessagesText(messages, keyName));
                pass(messages);
                lastCodeUs = nowUs;
            }
            nextPollUs = std::max(nextPollUs + intervalUs, nowUs);
        }

        // A repeat or the time-out release that is due now, with no code.
        nowUs = SteadyMicroseconds();
        auto tick = static_cast<std::uint32_t>(nowUs / 1000);
        std::optional<std::uint32_t> deadline = dispatcher.NextDeadline(tick, timing);
        if (deadline && *deadline == tick) {
            dispatcher.TimeOut(tick, timing);
            dispatcher.RunPass(tick, timing, table);
            std::vector<PredictedMessage> messages = sink.Take(sinceStartMs(nowUs));
            if (!messages.empty()) {
                PrintLine(out, Seconds(nowUs - startUs), "", "", messages.front().keyName, messages.front().modelName,
                          MessagesText(messages, messages.front().keyName));
                pass(messages);
            }
            deadline = dispatcher.NextDeadline(tick, timing);
        }
        out.flush();

        // A deadline is a whole millisecond of the tick count, as in the
        // DispatchThread: the wait ends as that millisecond begins.
        std::uint64_t wakeUs = std::min(nextPollUs, endUs);
        if (deadline)
            wakeUs = std::min(wakeUs, nowUs - nowUs % 1000 + std::uint64_t{*deadline - tick} * 1000);
        auto wait = std::chrono::microseconds(wakeUs > nowUs ? wakeUs - nowUs : 0);
        HANDLE stop = limits.stop;
        DWORD woke = timedWait.Wait(&stop, 1, wait);
        if (woke != WAIT_TIMEOUT)
            break;  // stopped, or no event to wait on: spinning would be worse than ending
    }
    return count;
}
