// The DispatchThread runs the dispatch loop on the plug-in's state. Its wait
// ends by a high-resolution timer where the system has one; a plain wait's
// limit is rounded up to the system's timer tick.
//
// Key messages go to the host with a synchronous send, so the host reads the
// record while the thread waits; Stop ends that wait too, so that a host that
// stops the plug-in from inside its handler is not left waiting for a thread
// that waits for it. While the setup dialog is open nothing goes to the host;
// the changes are posted to the dialog's window instead, which already exists
// (made on the host's thread) whenever the flag says the dialog is open.

#include "plugin/core/DispatchThread.h"

#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PluginState.h"

#include "common/win/DebugOutput.h"
#include "common/win/MessageWait.h"
#include "common/win/SteadyClock.h"
#include "common/win/TimedWait.h"
#include "plugin/setup/SetupForm.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>

namespace {

KeyTiming ReadTiming(const PluginState& plugin)
{
    const SettingsValues& settings = plugin.settings;
    return {BoundedWait(settings.wait1), BoundedWait(settings.waitN), BoundedWait(settings.waitR)};
}

class WindowSink final : public KeySink {
public:
    explicit WindowSink(PluginState& plugin) : plugin_(plugin) {}

    bool SendKey(std::int32_t param) override
    {
        if (plugin_.dispatchStop.IsSet())
            return false;
        if (plugin_.setupDialogOpen)
            return true;
        if (win::SendMessageUntil(plugin_.hostWindow, kKeyMessage, reinterpret_cast<WPARAM>(&plugin_.remoteEvent),
                                  param, plugin_.dispatchStop.Get(), sends_))
            NoteHostKey(param);
        return !plugin_.dispatchStop.IsSet();
    }

    void ShowCode(std::uint64_t code) override
    {
        PostToSetupForm(kMonitorCodeMessage, static_cast<WPARAM>(code >> 32), static_cast<LPARAM>(code));
    }

    void ShowRelease() override { PostToSetupForm(kMonitorReleaseMessage, 0, 0); }

private:
    // The key as the host now sees it. A pass that Stop interrupts may have
    // rewritten the record for a key the host was never told of, so the
    // held key keeps its own copy of what the host read.
    void NoteHostKey(std::int32_t param)
    {
        HeldKey& held = plugin_.heldKey;
        held.down = param != kReleaseParam;
        if (param != kPressParam)
            return;
        std::memcpy(held.keyName, plugin_.remoteEvent.keyName, sizeof held.keyName);
        held.texts = plugin_.keyEventTexts;
    }

    void PostToSetupForm(UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (!plugin_.setupDialogOpen)
            return;
        if (TSetupForm* form = std::atomic_ref(SetupForm).load())
            ::PostMessageA(form->Handle(), message, wParam, lParam);
    }

    PluginState& plugin_;
    win::SendCounter sends_;
};

// What the DispatchThread waits on: the next code, or Stop. Stop has an event
// of its own because the dispatcher resets the CodeEvent before each wait,
// which would wipe out a stop signalled on it a moment earlier.
struct CodeOrStop {
    const win::Event& codeEvent;
    const win::Event& stop;
    const win::TimedWait& timedWait;

    void Reset() const { codeEvent.Reset(); }
    DWORD Wait(std::optional<std::chrono::microseconds> timeout) const
    {
        const HANDLE handles[] = {codeEvent.Get(), stop.Get()};
        return timedWait.Wait(handles, 2, timeout);
    }
};

}  // namespace

std::uint64_t SystemDispatchClock::NowMicroseconds()
{
    return win::SteadyMicroseconds();
}

CodeWait SystemDispatchClock::Wait(std::optional<std::chrono::microseconds> timeout)
{
    return WaitForCode(CodeOrStop{plugin_.codeEvent, plugin_.dispatchStop, timedWait_}, plugin_.pendingCode, timeout);
}

DispatchInputs PluginDispatchInputs(PluginState& plugin)
{
    return {plugin.pendingCode, plugin.dispatchStop, [&plugin] { return ReadTiming(plugin); }, [&plugin] {
                return KeyTable{plugin.keyMap ? &*plugin.keyMap : nullptr,
                                plugin.modelNames ? &*plugin.modelNames : nullptr, plugin.codeTextDigits};
            }};
}

void RunDispatchThread(PluginState& plugin, DispatchClock& clock)
{
    WindowSink sink(plugin);
    KeyDispatcher dispatcher(plugin.remoteEvent, plugin.keyEventTexts, sink, ReadTiming(plugin));
    RunDispatchLoop(PluginDispatchInputs(plugin), dispatcher, clock);
}

DWORD WINAPI DispatchThreadProc(void*) noexcept
{
    try {
        PluginState& plugin = ThePlugin();
        SystemDispatchClock clock(plugin);
        RunDispatchThread(plugin, clock);
    } catch (...) {
        // Nothing may leave a thread procedure; the thread just ends.
        win::ReportCaughtException("the DispatchThread");
    }
    return 0;
}
