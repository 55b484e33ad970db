// The monitor messages are taken from the modal loop, where only posted
// messages arrive: the dialog manager sends messages of its own with the same
// values (DM_GETDEFID, DM_SETDEFID) straight to the window procedure, and
// those must never show up as received codes.

#include "SetupForm.h"

#include "config/CodeText.h"
#include "core/Plugin.h"
#include "core/PluginState.h"

#include <string>

namespace {

constexpr char kWindowClass[] = "PelcatoSetupForm";
constexpr int kClientWidth = 470;
constexpr int kClientHeight = 259;
constexpr int kCloseButtonId = IDOK;
constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

// The class lives only as long as a dialog: the library may be unloaded and
// loaded again elsewhere while the host runs.
void RegisterFormClass(HINSTANCE instance, WNDPROC windowProc)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExA(&windowClass);
}

// The window's outer rectangle for our client size, centred on the screen.
RECT CentredFormRect()
{
    RECT rect = {0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&rect, kFormStyle, FALSE, WS_EX_DLGMODALFRAME);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

}  // namespace

TSetupForm::TSetupForm(HWND owner) : owner_(owner)
{
    HINSTANCE instance = ThisModule();
    RegisterFormClass(instance, &WindowProc);
    RECT rect = CentredFormRect();
    window_ = ::CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kWindowClass, kPluginDescription, kFormStyle,
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, owner_, nullptr,
                                instance, this);
    if (window_)
        CreateControls();
}

TSetupForm::~TSetupForm()
{
    if (window_)
        ::DestroyWindow(window_);
    ::UnregisterClassA(kWindowClass, ThisModule());
}

void TSetupForm::CreateControls()
{
    HINSTANCE instance = ThisModule();
    auto add = [&](const char* windowClass, const char* text, DWORD style, int x, int y, int width, int height,
                   int id = 0) {
        HWND control = ::CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                         window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return control;
    };
    testGroup_ = add("BUTTON", "Monitoring", BS_GROUPBOX, 0, 76, 261, 61);
    codeLabel_ = add("STATIC", "Code:", SS_LEFT, 12, 96, 200, 13);
    keyLabel_ = add("STATIC", "", SS_LEFT, 12, 116, 240, 13);
    add("BUTTON", "Close", BS_DEFPUSHBUTTON | WS_TABSTOP, 4, 231, 75, 25, kCloseButtonId);
}

void TSetupForm::ShowModal()
{
    if (!window_)
        return;
    bool disabledOwner = owner_ && ::IsWindowEnabled(owner_);
    if (disabledOwner)
        ::EnableWindow(owner_, FALSE);
    ::ShowWindow(window_, SW_SHOW);

    modalDone_ = false;
    MSG message;
    bool quit = false;
    while (!modalDone_) {
        if (::GetMessageA(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        if (message.hwnd == window_ &&
            (message.message == kMonitorCodeMessage || message.message == kMonitorReleaseMessage)) {
            ShowMonitorMessage(message);
            continue;
        }
        if (!::IsDialogMessageA(window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }

    // The owner is enabled before the dialog hides, so that it gets the
    // activation back instead of another application.
    if (disabledOwner)
        ::EnableWindow(owner_, TRUE);
    ::ShowWindow(window_, SW_HIDE);
    if (quit)
        ::PostQuitMessage(static_cast<int>(message.wParam));
}

void TSetupForm::ShowMonitorMessage(const MSG& message)
{
    if (message.message == kMonitorReleaseMessage) {
        ::SetWindowTextA(testGroup_, "Released");
        return;
    }
    ::SetWindowTextA(testGroup_, "Pressed");
    std::uint64_t code = (std::uint64_t{static_cast<std::uint32_t>(message.wParam)} << 32) |
                         static_cast<std::uint32_t>(message.lParam);
    char codeText[kCodeTextMaxDigits + 1];
    FormatCodeText(code, ThePlugin().codeTextDigits, codeText);
    ::SetWindowTextA(codeLabel_, (std::string("Code: ") + codeText).c_str());
    ::SetWindowTextA(keyLabel_, (std::string("Key: ") + ThePlugin().remoteEvent.keyName).c_str());
}

LRESULT CALLBACK TSetupForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TSetupForm*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    try {
        if (form)
            return form->HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        // Nothing may leave a window procedure.
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TSetupForm::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseButtonId || LOWORD(wParam) == IDCANCEL) {
            modalDone_ = true;
            return 0;
        }
        break;
    case WM_CLOSE:
        modalDone_ = true;
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
