#pragma once
// One Setup call: the setup dialog's time, from the stop of a running
// plug-in to its restart. The dialog shows and collects; the session stores
// what it collects and restarts the plug-in with it, both when the user
// changes the device or model and when the dialog closes. Where the
// settings file takes no writes, the choices apply all the same, and the
// user is told once, after the dialog has closed.
//
// The session is the plug-in as the dialog sees it: the dialog reads and
// changes the plug-in's state through it alone, on the host's thread.
//
// The host may call in whenever the session waits or the dialog's loop
// runs. A Close ends the session there: nothing is stored, reloaded or
// started afterwards, even when an Open has followed the Close.

#include "plugin/core/PluginState.h"

#include "plugin/setup/SetupForm.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Whatever way a session ends, even by an exception, it leaves the plug-in
// as it found it: no dialog published, the keys going to the host, the
// host's window enabled, and the threads running only when they ran before
// and the plug-in is still the one the session began with.
class SetupSession final : public SetupDialogPlugin {
public:
    explicit SetupSession(PluginState& plugin);
    ~SetupSession();
    SetupSession(const SetupSession&) = delete;
    SetupSession& operator=(const SetupSession&) = delete;

    // Shows the dialog until the user closes it, then stores the choices
    // and reloads the configuration.
    void Run();

    std::vector<std::string> Devices() override;
    std::string CardTypeText() override;
    DialogChoices StoredChoices() override;
    std::wstring KeyMapFolder() override;
    const KeyMap* ActiveKeyMap() override;
    MonitoredCode LookUpCode(std::uint64_t code) override;
    std::int32_t Timing(const TimingSetting& setting) override;
    void SetTiming(const TimingSetting& setting, std::int32_t value) override;
    void SetChipTypeTM(bool chipTypeTM) override;
    // The choice reaches the plug-in through the settings file: written,
    // then read back while the threads are stopped.
    void ApplyChoices(const DialogChoices& choices) override;

private:
    bool StillOpen() const;
    void EndDialog() noexcept;
    void Note(const SettingsWriteResult& result);
    void ReportUnsavedSettings() const;

    PluginState& plugin_;
    const std::uint32_t openings_;
    const bool wasStarted_;
    const bool ownerWasEnabled_;
    std::unique_ptr<TSetupForm> form_;
    SettingsWriteResult firstWriteFailure_;
};
