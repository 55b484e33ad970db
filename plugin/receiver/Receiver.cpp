// The ReceiverThread polls the receiver: one GetCode call, then a pause of
// Interval milliseconds, read anew on every pass. Every code other than 255
// goes into the PendingCode slot and the CodeEvent is signalled; the thread
// knows nothing of presses and releases. The pause is a wait on a stop event,
// so Stop never waits out a long Interval.

#include "plugin/receiver/Receiver.h"

#include "plugin/config/TextCase.h"
#include "plugin/core/Clock.h"
#include "plugin/core/PluginState.h"

#include "wrapper/CardType.h"
#include "wrapper/PltRemoteWrap.h"

#include <algorithm>

namespace {

// Polls are paced Interval apart from one start to the next, so neither the
// time GetCode takes nor a pause that ends late delays the next poll: a code
// waits at most one Interval to be seen. A receiver slower than Interval is
// polled again at once, never in a burst to catch up.
void PollReceiver(PluginState& plugin)
{
    std::uint64_t nextPoll = SteadyMilliseconds();
    DWORD pause = 0;
    do {
        unsigned char code = kNoReceiverCode;
        plugin.wrapper.GetCode(&code);
        if (code != kNoReceiverCode) {
            StoreCode(plugin.pendingCode, code);
            plugin.codeEvent.Set();
        }
        std::uint64_t now = SteadyMilliseconds();
        nextPoll = std::max(nextPoll + BoundedInterval(plugin.settings.interval), now);
        pause = static_cast<DWORD>(nextPoll - now);
    } while (plugin.receiverStop.Wait(pause) == WAIT_TIMEOUT);
}

DWORD WINAPI ReceiverThreadProc(void*) noexcept
{
    try {
        PollReceiver(ThePlugin());
    } catch (...) {
        // Nothing may leave a thread procedure; the thread just ends.
    }
    return 0;
}

}  // namespace

void ReceiverOpen()
{
    PluginState& plugin = ThePlugin();
    plugin.wrapper.Load(PluginFolder(plugin.moduleFileName));
    plugin.wrapper.RemoteCreate();
    plugin.modelNames.emplace();
    plugin.devices.emplace();
    for (unsigned long index = 0; index < kMaxDevices; ++index) {
        char* name = plugin.wrapper.GetDeviceName(index);
        if (!name)
            break;
        plugin.devices->push_back(name);
        // The search runs on the receiver's buffer, upper-cased in place; the
        // list keeps the name as the receiver gave it.
        for (char* c = name; *c; ++c)
            *c = AsciiUpper(*c);
        if (plugin.settings.device == -1 && NamesTunerCard(name))
            plugin.settings.device = static_cast<std::int32_t>(index);
    }
    if (plugin.settings.device == -1)
        plugin.settings.device = 0;
}

void ReceiverClose()
{
    PluginState& plugin = ThePlugin();
    plugin.devices.reset();
    plugin.modelNames.reset();
    plugin.wrapper.RemoteRelease();
}

bool ReceiverStart()
{
    PluginState& plugin = ThePlugin();
    // The chip type must be in place before the device is selected.
    plugin.wrapper.SetChipTypeTM(plugin.settings.chipTypeTM ? 1 : 0);
    plugin.wrapper.SelectDevice(static_cast<unsigned long>(plugin.settings.device));

    plugin.receiverStop = win::Event::CreateManualReset();
    if (!plugin.receiverStop)
        return false;
    plugin.receiverThread = win::Thread::Start(ReceiverThreadProc);
    if (!plugin.receiverThread) {
        plugin.receiverStop.Close();
        return false;
    }
    return true;
}

void ReceiverRequestStop()
{
    PluginState& plugin = ThePlugin();
    if (plugin.receiverThread)
        plugin.receiverStop.Set();
}

void ReceiverStop()
{
    PluginState& plugin = ThePlugin();
    if (!plugin.receiverThread)
        return;
    plugin.receiverStop.Set();
    plugin.receiverThread.Wait(INFINITE);
    plugin.receiverThread.Close();
    plugin.receiverStop.Close();
}

const char* ReceiverCardTypeText()
{
    const WrapperLibrary& wrapper = ThePlugin().wrapper;
    if (const char* problem = WrapperProblemText(wrapper.State()))
        return problem;
    return CardTypeText(wrapper.GetCardType());
}

void ReceiverSetChipTypeTM(bool chipTypeTM)
{
    ThePlugin().wrapper.SetChipTypeTM(chipTypeTM ? 1 : 0);
}
