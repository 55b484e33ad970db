// The ReceiverThread polls the receiver: one GetCode call, then a pause of
// Interval milliseconds, read anew on every pass. Every code other than 255
// goes into the PendingCode slot and the CodeEvent is signalled; the thread
// knows nothing of presses and releases. The polls are paced as
// RunPacedPolls paces them.

#include "plugin/core/PluginReceiver.h"

#include "plugin/core/PluginState.h"

#include "common/win/DebugOutput.h"
#include "plugin/config/TextCase.h"
#include "plugin/receiver/DeviceChoice.h"
#include "plugin/receiver/PacedPolls.h"
#include "wrapper/CardType.h"

#include <optional>
#include <string>

namespace {

void PollReceiver(PluginState& plugin)
{
    RunPacedPolls([&plugin] { return plugin.wrapper.Poll(); }, [&plugin] { return plugin.settings.interval.load(); },
                  plugin.receiverStop.Get(), [&plugin](std::optional<unsigned char> code) {
                      if (code) {
                          StoreCode(plugin.pendingCode, *code);
                          plugin.codeEvent.Set();
                      }
                      return true;
                  });
}

DWORD WINAPI ReceiverThreadProc(void*) noexcept
{
    try {
        PollReceiver(ThePlugin());
    } catch (...) {
        // Nothing may leave a thread procedure; the thread just ends.
        win::ReportCaughtException("the ReceiverThread");
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
        // The list keeps the name as the receiver gave it; the receiver's
        // buffer is left upper-cased, as the name search has always left it.
        for (char* c = name; *c; ++c)
            *c = AsciiUpper(*c);
    }
    // -1 until the first open of the process has picked a device; later opens
    // keep it.
    if (plugin.settings.device == -1)
        plugin.settings.device = static_cast<std::int32_t>(ChooseDevice(std::nullopt, *plugin.devices).index);
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
    if (const char* problem = WrapperProblemText(plugin.wrapper.State()))
        win::ReportProblem(("Start: no code will come, " + std::string(problem)).c_str());

    plugin.receiverStop = win::Event::CreateManualReset();
    if (!plugin.receiverStop) {
        win::ReportFailedCall("Start: CreateEvent for the ReceiverThread's stop");
        return false;
    }
    plugin.receiverThread = win::Thread::Start(ReceiverThreadProc);
    if (!plugin.receiverThread) {
        win::ReportFailedCall("Start: CreateThread for the ReceiverThread");
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
    const PluginState& plugin = ThePlugin();
    if (const char* problem = WrapperProblemText(plugin.wrapper.State()))
        return problem;
    // Without a capture device there is no card to name.
    if (!plugin.devices || plugin.devices->empty())
        return "No capture device was found";
    return CardTypeText(plugin.wrapper.GetCardType());
}

void ReceiverSetChipTypeTM(bool chipTypeTM)
{
    ThePlugin().wrapper.SetChipTypeTM(chipTypeTM ? 1 : 0);
}
