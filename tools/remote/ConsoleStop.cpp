#include "tools/remote/ConsoleStop.h"

#include <atomic>

namespace {

// The events live as long as the process: the handler's thread may still
// be at them when the command's ConsoleStop has gone.
struct StopEvents {
    win::Event stop = win::Event::CreateManualReset();
    win::Event finished = win::Event::CreateManualReset();  // the command has left its ConsoleStop
};

const StopEvents& Events()
{
    static const StopEvents events;
    return events;
}

// Whether a command has a ConsoleStop; without one, every event goes on to
// the default handler.
std::atomic<bool> commandRunning{false};

}  // namespace

BOOL WINAPI HandleConsoleControl(DWORD event) noexcept
{
    const bool ending = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (!commandRunning.load() || (!ending && event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT))
        return FALSE;
    Events().stop.Set();
    if (ending)
        Events().finished.Wait(kCloseWaitMs);
    return TRUE;
}

ConsoleStop::ConsoleStop()
{
    const StopEvents& events = Events();
    if (!events.stop || !events.finished)
        return;
    events.stop.Reset();
    events.finished.Reset();
    commandRunning.store(true);
    installed_ = ::SetConsoleCtrlHandler(HandleConsoleControl, TRUE) != FALSE;
    if (!installed_)
        commandRunning.store(false);
}

ConsoleStop::~ConsoleStop()
{
    if (!installed_)
        return;
    Events().finished.Set();
    commandRunning.store(false);
    ::SetConsoleCtrlHandler(HandleConsoleControl, FALSE);
}

HANDLE ConsoleStop::Event() const
{
    return Events().stop.Get();
}
