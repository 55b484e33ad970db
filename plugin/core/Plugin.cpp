// Open, Start, Stop, Setup and Close, in the order the host relies on.
//
// Start creates the CodeEvent before either worker thread and Stop closes it
// after both have ended, so neither thread ever signals or waits on a closed
// handle. Stop ends the DispatchThread first. It may be inside a synchronous
// send to the host's window, whose thread may be the one calling Stop: the
// wait delivers sent messages, and the stop event ends the send's own wait
// when Stop is called from inside the handler of that very message. A key
// the host was told is down gets its release from Stop itself, once the
// DispatchThread has ended.
//
// After Close nothing runs: Start needs an open plug-in, and a Close that
// arrives while the setup dialog is open ends the dialog as well. An Open or
// a Close that arrives while Stop waits is carried out once the threads
// have ended. A Start begins with no code pending and no key down: a code
// that the receiver stored as Stop came is from before it.

#include "plugin/core/Plugin.h"

#include "plugin/core/DispatchThread.h"
#include "plugin/core/HostLayout.h"
#include "plugin/core/PluginReceiver.h"
#include "plugin/core/PluginSettings.h"
#include "plugin/core/PluginState.h"
#include "plugin/core/SetupSession.h"

#include "common/win/DebugOutput.h"
#include "common/win/MessageWait.h"
#include "common/win/ModulePath.h"

#include <cstring>
#include <utility>

namespace {

constexpr char kDefaultSourceName[] = "REMOTE";
// How long Stop waits for a host whose window belongs to another thread,
// and that does not answer, to take the release of its held key.
constexpr UINT kReleaseSendTimeoutMs = 500;

std::uint32_t ReadCoreVersion(const void* hostInfo)
{
    std::uint32_t version;
    std::memcpy(&version, static_cast<const unsigned char*>(hostInfo) + host_layout::kCoreVersionOffset, sizeof version);
    return version;
}

// Sends the release of the key the host was last told is down, while no
// DispatchThread runs, with the record describing that key again. On the
// thread that owns the host's window, the send is a plain call of its
// window procedure, so it cannot hang even when Stop runs inside the
// handler of that key's own press. A host that did not take it in time is
// still owed it, at the next Start, Stop or Close.
void ReleaseHeldKey(PluginState& plugin)
{
    HeldKey& held = plugin.heldKey;
    if (!held.down)
        return;
    std::memcpy(plugin.remoteEvent.keyName, held.keyName, sizeof held.keyName);
    plugin.keyEventTexts = held.texts;
    if (::SendMessageTimeoutA(plugin.hostWindow, kKeyMessage, reinterpret_cast<WPARAM>(&plugin.remoteEvent),
                              kReleaseParam, SMTO_NORMAL, kReleaseSendTimeoutMs, nullptr) ||
        !::IsWindow(plugin.hostWindow))
        held.down = false;
}

// Close's work once no thread runs; harmless when repeated.
void ReleaseOpenedState(PluginState& plugin)
{
    plugin.keyMap.reset();
    ReceiverClose();
    if (plugin.opened)
        ++plugin.openings;
    plugin.opened = false;
    plugin.coreVersionOk = false;
}

void OpenNow(PluginState& plugin, const OpenRequest& request)
{
    ++plugin.openings;
    plugin.hostWindow = request.hostWindow;
    plugin.moduleFileName = win::ModuleFileName(win::ThisModule());

    // A fresh start: a release that Close could not deliver is given up,
    // rather than sent to a window that may never have seen the press.
    plugin.heldKey = {};
    plugin.remoteEvent = {};
    request.sourceName.copy(plugin.remoteEvent.sourceName, kSourceNameSize - 1);

    ReceiverOpen();
    plugin.keyMap.emplace();
    LoadReceiverConfig();
    ReadTimingSettings();

    plugin.coreVersionOk = request.coreVersionAccepted;
    plugin.opened = true;
}

void EndDispatchThread(PluginState& plugin)
{
    if (!plugin.dispatchThread)
        return;
    plugin.dispatchStop.Set();
    win::WaitDeliveringSentMessages(plugin.dispatchThread.Get());
    plugin.dispatchThread.Close();
    plugin.dispatchStop.Close();
}

}  // namespace

bool CoreVersionAccepted(std::uint32_t coreVersion)
{
    return (coreVersion >> 16) == 0x0207 && ((coreVersion >> 8) & 0xFF) >= 12;
}

namespace plugin {

const char* Open(const char* sourceName, HWND hostWindow, const void* hostInfo)
{
    PluginState& plugin = ThePlugin();
    OpenRequest request{sourceName ? sourceName : kDefaultSourceName, hostWindow,
                        hostInfo && CoreVersionAccepted(ReadCoreVersion(hostInfo))};
    // Called from a message that Stop's wait delivers, the threads still run
    // and may read everything Open would rebuild: the Stop under way opens
    // afresh once they have ended.
    if (plugin.stopping) {
        plugin.openPending = std::move(request);
        return kPluginDescription;
    }
    // A second Open without Close starts afresh instead of building the
    // lists a second time under running threads.
    if (plugin.opened)
        Close();
    OpenNow(plugin, request);
    return kPluginDescription;
}

void Start()
{
    PluginState& plugin = ThePlugin();
    // Without Open, or after Close, there are no lists and no receiver for
    // the threads to use, and the host may unload the library at any time.
    if (plugin.started || plugin.stopping || !plugin.opened)
        return;
    if (!plugin.coreVersionOk) {
        ::MessageBoxA(nullptr, "Incorrect core version.", kPluginDescription, MB_ICONERROR | MB_OK);
        return;
    }

    ReleaseHeldKey(plugin);
    ClearCode(plugin.pendingCode);
    plugin.codeEvent = win::Event::CreateManualReset();
    if (!plugin.codeEvent) {
        win::ReportFailedCall("Start: CreateEvent for the CodeEvent");
        return;
    }
    if (!ReceiverStart()) {
        plugin.codeEvent.Close();
        return;
    }
    plugin.dispatchStop = win::Event::CreateManualReset();
    if (!plugin.dispatchStop)
        win::ReportFailedCall("Start: CreateEvent for the DispatchThread's stop");
    else if (!(plugin.dispatchThread = win::Thread::Start(DispatchThreadProc)))
        win::ReportFailedCall("Start: CreateThread for the DispatchThread");
    if (!plugin.dispatchThread) {
        plugin.dispatchStop.Close();
        ReceiverStop();
        plugin.codeEvent.Close();
        return;
    }
    plugin.started = true;
}

void Stop()
{
    PluginState& plugin = ThePlugin();
    // A host that calls Stop again from a message delivered while Stop waits
    // finds it already under way.
    if (!plugin.started || plugin.stopping)
        return;
    plugin.stopping = true;
    // Both threads are told at once and end side by side; the CodeEvent is
    // closed only after both have ended.
    ReceiverRequestStop();
    EndDispatchThread(plugin);
    ReleaseHeldKey(plugin);
    ReceiverStop();
    plugin.codeEvent.Close();
    plugin.started = false;
    plugin.stopping = false;
    // A Close or an Open that arrived during the wait is done now that the
    // threads have ended: the host may unload the library right after a
    // Close.
    std::optional<OpenRequest> open = std::exchange(plugin.openPending, std::nullopt);
    if (std::exchange(plugin.closePending, false) || open)
        ReleaseOpenedState(plugin);
    if (open)
        OpenNow(plugin, *open);
}

void Setup()
{
    PluginState& plugin = ThePlugin();
    // Without Open, or after Close, there is no device list to choose from
    // and no settings file to write.
    if (!plugin.opened || SetupForm || plugin.stopping)
        return;
    SetupSession session(plugin);
    session.Run();
}

void Close()
{
    PluginState& plugin = ThePlugin();
    // A Close that the dialog's loop, or a wait of its session, delivers
    // ends the dialog too: nothing of the plug-in may go on once Close has
    // returned.
    if (TSetupForm* form = SetupForm)
        form->EndModal();
    if (plugin.stopping) {
        // Called from a message that Stop's wait delivers: the threads still
        // run, so the Stop under way finishes the Close.
        plugin.closePending = true;
        plugin.openPending.reset();
        return;
    }
    // Stop sends a release the host is still owed; without threads to stop,
    // Close does.
    if (!plugin.started)
        ReleaseHeldKey(plugin);
    std::uint32_t openings = plugin.openings;
    Stop();
    // An Open that came during the Stop has already followed this Close.
    if (plugin.openings == openings)
        ReleaseOpenedState(plugin);
}

}  // namespace plugin
