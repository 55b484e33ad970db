#pragma once
// The setup dialog: a modal window over the host's window that shows every
// code received while it is open.

#include "common/win/Handle.h"

#include <windows.h>

#include <cstdint>

// Posted by the DispatchThread while TestMode is set: a (different) key is
// down, wParam and lParam the high and low halves of its code; no key is down.
constexpr UINT kMonitorCodeMessage = WM_USER;
constexpr UINT kMonitorReleaseMessage = WM_USER + 1;

class TSetupForm {
public:
    // Makes the window at once, on the calling thread, hidden.
    explicit TSetupForm(HWND owner);
    ~TSetupForm();
    TSetupForm(const TSetupForm&) = delete;
    TSetupForm& operator=(const TSetupForm&) = delete;

    // The window, as made by the constructor; never makes one.
    HWND Handle() const { return window_; }

    // Shows the dialog, with the owner disabled, until the user closes it.
    void ShowModal();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    // The monitor: a posted code or release from the DispatchThread.
    void ShowMonitorMessage(const MSG& message);

    HWND owner_;
    HWND window_ = nullptr;
    HWND testGroup_ = nullptr;
    HWND codeLabel_ = nullptr;
    HWND keyLabel_ = nullptr;
    bool modalDone_ = false;
};
