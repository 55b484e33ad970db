#include "plugin/core/SetupSession.h"

#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/Plugin.h"
#include "plugin/core/PluginSettings.h"

#include "common/Guarded.h"
#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "plugin/config/CodeText.h"
#include "plugin/config/Settings.h"
#include "plugin/core/PluginReceiver.h"

#include <algorithm>
#include <atomic>
#include <optional>

SetupSession::SetupSession(PluginState& plugin)
    : plugin_(plugin),
      openings_(plugin.openings),
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
    if (wasStarted_ && StillOpen())
        Guarded("Start after the setup dialog", plugin::Start);
}

void SetupSession::Run()
{
    // A key the host holds gets its release before the dialog takes the
    // keys over; the threads start again below, for the dialog.
    plugin::Stop();
    if (!StillOpen())
        return;
    // The window is made here, on the host's thread, before the flag lets
    // the DispatchThread post to it.
    form_ = std::make_unique<TSetupForm>(plugin_.hostWindow, kPluginDescription, *this);
    std::atomic_ref(SetupForm).store(form_.get());
    plugin_.setupDialogOpen = true;
    plugin::Start();
    if (!StillOpen())
        return;
    std::optional<DialogChoices> closedWith = form_->ShowModal();
    if (!StillOpen())
        return;
    if (closedWith)
        Note(WriteDialogChoices(*closedWith));
    Note(SaveTimingSettings());
    // Told while the session still holds the plug-in, its dialog hidden, so
    // that a host cannot open a second dialog from the message's loop.
    ReportUnsavedSettings();
    EndDialog();
    if (StillOpen())
        LoadReceiverConfig();
}

std::vector<std::string> SetupSession::Devices()
{
    return plugin_.devices.value_or(DeviceList{});
}

std::string SetupSession::CardTypeText()
{
    return ReceiverCardTypeText();
}

DialogChoices SetupSession::StoredChoices()
{
    return ReadDialogChoices();
}

std::wstring SetupSession::KeyMapFolder()
{
    return PluginFolder(plugin_.moduleFileName);
}

const KeyMap* SetupSession::ActiveKeyMap()
{
    return plugin_.keyMap ? &*plugin_.keyMap : nullptr;
}

// The name comes from the key map, which only this thread changes, not from
// the record, which the DispatchThread may be writing meanwhile. It is cut
// as the record's field cuts it.
MonitoredCode SetupSession::LookUpCode(std::uint64_t code)
{
    char codeText[kCodeTextMaxDigits + 1];
    FormatCodeText(code, plugin_.codeTextDigits, codeText);
    KeyNames names = LookUpKey({ActiveKeyMap(), nullptr, plugin_.codeTextDigits}, codeText);
    std::string_view keyName = names.keyName.substr(0, std::min(names.keyName.find('\0'), kKeyNameLimit));
    return {codeText, std::string(keyName), names.line};
}

std::int32_t SetupSession::Timing(const TimingSetting& setting)
{
    return plugin_.settings.*setting.value;
}

void SetupSession::SetTiming(const TimingSetting& setting, std::int32_t value)
{
    plugin_.settings.*setting.value = value;
}

void SetupSession::SetChipTypeTM(bool chipTypeTM)
{
    ReceiverSetChipTypeTM(chipTypeTM);
}

void SetupSession::ApplyChoices(const DialogChoices& choices)
{
    Note(WriteDialogChoices(choices));
    plugin::Stop();
    if (!StillOpen())
        return;
    Note(SaveTimingSettings());
    LoadReceiverConfig();
    plugin::Start();
}

bool SetupSession::StillOpen() const
{
    return plugin_.opened && plugin_.openings == openings_;
}

void SetupSession::Note(const SettingsWriteResult& result)
{
    if (result && !firstWriteFailure_)
        firstWriteFailure_ = result;
}

// Once the dialog has closed, so that the box neither hides behind it nor
// hands the host's window back while the dialog still runs.
void SetupSession::ReportUnsavedSettings() const
{
    if (!firstWriteFailure_)
        return;
    std::wstring text = L"The settings could not be saved in\n" + firstWriteFailure_->file + L"\n\n" +
                        win::ErrorText(firstWriteFailure_->error) +
                        L"\n\nYour choices apply until the host application closes. To keep them, close any "
                        L"program that has the file open, or make the folder writable for your account, then "
                        L"open the setup dialog again and close it.";
    HWND owner = ::IsWindow(plugin_.hostWindow) ? plugin_.hostWindow : nullptr;
    ::MessageBoxW(owner, text.c_str(), win::AnsiToWide(kPluginDescription).c_str(), MB_ICONWARNING | MB_OK);
}

// Stop runs while the flag still says the dialog is open, so nothing
// reaches the host from the dialog's threads; the form goes only once
// nobody can post to it.
void SetupSession::EndDialog() noexcept
{
    Guarded("Stop as the setup dialog ends", plugin::Stop);
    plugin_.setupDialogOpen = false;
    std::atomic_ref(SetupForm).store(nullptr);
    form_.reset();
}
