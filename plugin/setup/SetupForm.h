#pragma once
// The setup dialog: a modal window over the host's window in which the user
// picks the device, the remote model and the timings, and which shows every
// code received while it is open. The dialog shows and collects; storing a
// choice and taking it up is the plug-in's, which the dialog asks through
// SetupDialogPlugin.

#include "plugin/setup/FormLayout.h"

#include "common/win/Handle.h"
#include "plugin/config/KeyMap.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/config/Settings.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Posted by the DispatchThread while the dialog is open: a (different) key is
// down, wParam and lParam the high and low halves of its code; no key is down.
// Numbers of the plug-in's own: the dialog manager uses WM_USER and above
// for its messages.
constexpr UINT kMonitorCodeMessage = WM_APP;
constexpr UINT kMonitorReleaseMessage = WM_APP + 1;

// A code as the monitor shows it: its text, the key name the key map gives
// it, and its line in the key map (-1 for none).
struct MonitoredCode {
    std::string codeText;
    std::string keyName;
    int line;
};

// The plug-in as the dialog sees it: everything the dialog reads or changes
// comes through here, so that the dialog holds no state of the plug-in's.
// Called on the thread that runs the dialog.
class SetupDialogPlugin {
public:
    // The capture devices the receiver lists, in its order.
    virtual std::vector<std::string> Devices() = 0;
    // The selected device's card type, or what is missing to have one.
    virtual std::string CardTypeText() = 0;
    // The device, model and chip type stored so far.
    virtual DialogChoices StoredChoices() = 0;
    // The folder whose key-map files the model list offers.
    virtual std::wstring KeyMapFolder() = 0;
    // The key map the plug-in runs with, for the grid; null without one.
    virtual const KeyMap* ActiveKeyMap() = 0;
    // A code the monitor shows, named by the active key map.
    virtual MonitoredCode LookUpCode(std::uint64_t code) = 0;
    // A timing's value in memory, and a new one that the running plug-in
    // takes up at once.
    virtual std::int32_t Timing(const TimingSetting& setting) = 0;
    virtual void SetTiming(const TimingSetting& setting, std::int32_t value) = 0;
    // Switches the receiver's chip type at once; what is stored stays.
    virtual void SetChipTypeTM(bool chipTypeTM) = 0;
    // Stores a new device or model and has the plug-in take it up at once.
    virtual void ApplyChoices(const DialogChoices& choices) = 0;

protected:
    ~SetupDialogPlugin() = default;
};

class TSetupForm {
public:
    // Makes the window and its controls at once, on the calling thread,
    // hidden, with the caption given.
    TSetupForm(HWND owner, const char* caption, SetupDialogPlugin& plugin);
    ~TSetupForm();
    TSetupForm(const TSetupForm&) = delete;
    TSetupForm& operator=(const TSetupForm&) = delete;

    // The window, as made by the constructor; never makes one.
    HWND Handle() const { return window_; }

    // Shows the dialog, with the owner disabled, until the user closes it
    // with "Close", Escape or the close box, or EndModal is called; returns
    // the choices it was closed with. A dialog whose window went with its
    // owner ends at once and returns none.
    std::optional<DialogChoices> ShowModal();
    // Ends ShowModal's loop as the "Close" button does.
    void EndModal();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void KeepCloseTheDefaultButton() const;
    void SetFormIcons();
    HWND ControlWindow(Control control) const { return controls_[static_cast<int>(control)]; }

    // Fills every control from what the plug-in lists, stores and holds in
    // memory.
    void LoadControls();
    // The device, model and chip type as the controls show them.
    DialogChoices CollectChoices() const;
    void ShowCardInfo();

    // The monitor: a code or release that the DispatchThread posted.
    void ShowMonitorMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowCodeRow(int row);
    LRESULT DrawGridRow(NMLVCUSTOMDRAW& draw) const;

    void OnCommand(int id, int notification);
    void DeviceComboChange();
    void ModelComboChange();
    void ApplyNewChoice();
    void ChipTypeTMCheckBoxClick();
    // The arrows of one up-down: the value the control will show goes into
    // memory at once.
    void UpDownChanging(const UpDownLayout& upDown, int proposed);

    HWND owner_;
    SetupDialogPlugin& plugin_;
    HWND window_ = nullptr;
    FormControls controls_ = {};
    win::Font font_;
    // The window only borrows its icons; they go with the form, after the
    // destructor has destroyed the window.
    win::Icon bigIcon_;
    win::Icon smallIcon_;
    // The key-map files the model list shows; each item carries its file's
    // index here.
    KeyMapCatalog keyMapFiles_;
    // The code the monitor shows; none after every load of the dialog, so
    // that the first press always shows, with the current key map's name.
    std::optional<std::uint64_t> lastShownCode_;
    HWND lastFocus_ = nullptr;
    bool modalDone_ = false;
};
