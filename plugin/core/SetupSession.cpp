#include "SetupSession.h"

#include "Plugin.h"

#include "common/Guarded.h"
#include "config/Settings.h"

#include <atomic>
#include <optional>

SetupSession::SetupSession(PluginState& plugin)
    : plugin_(plugin),
      wasStarted_(plugin.started),
      ownerWasEnabled_(plugin.hostWindow && ::IsWindowEnabled(plugin.hostWindow))
{
}

SetupSession::~SetupSession()
{
    // The owner is enabled before the dialog goes, so that it gets the
    // activation back instead of another application.
    if (ownerWasEnabled_ && ::IsWindow(plugin_.hostWindow))
        ::EnableWindow(plugin_.hostWindow, TRUE);
    EndDialog();
    if (wasStarted_)
        Guarded(plugin::Start);
}

void SetupSession::Run()
{
    // A key the host holds gets its release before the dialog takes the
    // keys over; the threads start again below, for the dialog.
    plugin::Stop();
    // The window is made here, on the host's thread, before the flag lets
    // the DispatchThread post to it.
    form_ = std::make_unique<TSetupForm>(plugin_.hostWindow, *this);
    std::atomic_ref(SetupForm).store(form_.get());
    plugin_.setupDialogOpen = true;
    plugin::Start();
    std::optional<DialogChoices> closedWith = form_->ShowModal();
    if (closedWith)
        WriteDialogChoices(*closedWith);
    EndDialog();

    SaveTimingSettings();
    LoadReceiverConfig();
}

DialogChoices SetupSession::StoredChoices()
{
    return ReadDialogChoices();
}

void SetupSession::ApplyChoices(const DialogChoices& choices)
{
    WriteDialogChoices(choices);
    plugin::Stop();
    SaveTimingSettings();
    LoadReceiverConfig();
    plugin::Start();
}

// Stop runs while the flag still says the dialog is open, so nothing
// reaches the host from the dialog's threads; the form goes only once
// nobody can post to it.
void SetupSession::EndDialog() noexcept
{
    Guarded(plugin::Stop);
    plugin_.setupDialogOpen = false;
    std::atomic_ref(SetupForm).store(nullptr);
    form_.reset();
}
