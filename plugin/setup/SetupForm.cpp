// The dialog runs its own modal loop on the host's thread. The monitor's
// messages reach the window procedure as any other message does, so codes
// show in every modal loop that runs on this thread: while the user drags
// the dialog by its title, or while a message box is up.
//
// A change of device or model has the plug-in store and take it up from
// inside a control's notification, after which the dialog fills its
// controls again; the combo boxes' selections are set from the program only
// with messages that notify nobody, so a refill never runs a change handler
// again.
//
// The dialog is owned by the host's window and dies with it. Its loop then
// ends at once, and nothing is read from the controls that went with it.

#include "plugin/setup/SetupForm.h"

#include "common/win/ActivationScope.h"
#include "plugin/config/CodeText.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/Plugin.h"
#include "plugin/core/PluginReceiver.h"
#include "plugin/core/PluginResources.h"
#include "plugin/core/PluginState.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr char kWindowClass[] = "PelcatoSetupForm";
constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

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

// The window's outer rectangle for the client size, centred on the screen.
RECT CentredFormRect()
{
    RECT rect = {0, 0, kFormClientWidth, kFormClientHeight};
    ::AdjustWindowRectEx(&rect, kFormStyle, FALSE, kFormExStyle);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

void AddGridRow(HWND grid, int row, std::string code, std::string key)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = code.data();
    ::SendMessageA(grid, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = key.data();
    ::SendMessageA(grid, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

int SelectedIndex(HWND combo)
{
    return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

}  // namespace

TSetupForm::TSetupForm(HWND owner, SetupDialogPlugin& plugin) : owner_(owner), plugin_(plugin)
{
    HINSTANCE instance = ThisModule();
    win::ActivationScope commonControls6(instance);
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
    RegisterFormClass(instance, &WindowProc);
    RECT rect = CentredFormRect();
    window_ = ::CreateWindowExA(kFormExStyle, kWindowClass, kPluginDescription, kFormStyle, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, owner_, nullptr, instance, this);
    if (!window_)
        return;
    CreateControls();
    SetFormIcons();
}

TSetupForm::~TSetupForm()
{
    if (window_)
        ::DestroyWindow(window_);
    ::UnregisterClassA(kWindowClass, ThisModule());
}

void TSetupForm::CreateControls()
{
    font_ = win::Font(::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                    "MS Sans Serif"));
    controls_ = CreateFormControls(window_, font_.Get());
}

// The caption shows the small icon and the task switcher the big one, each
// drawn at its own size rather than scaled from the other.
void TSetupForm::SetFormIcons()
{
    auto load = [](int widthMetric, int heightMetric) {
        return win::Icon(static_cast<HICON>(::LoadImageA(ThisModule(), MAKEINTRESOURCEA(IDI_SETUP_FORM), IMAGE_ICON,
                                                         ::GetSystemMetrics(widthMetric),
                                                         ::GetSystemMetrics(heightMetric), 0)));
    };
    bigIcon_ = load(SM_CXICON, SM_CYICON);
    smallIcon_ = load(SM_CXSMICON, SM_CYSMICON);
    ::SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    ::SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
}

std::optional<DialogChoices> TSetupForm::ShowModal()
{
    if (!window_)
        return std::nullopt;
    bool disabledOwner = owner_ && ::IsWindowEnabled(owner_);
    if (disabledOwner)
        ::EnableWindow(owner_, FALSE);
    LoadControls();
    ::ShowWindow(window_, SW_SHOW);

    // An end requested before the loop began, by a Close that came while the
    // plug-in was being set up for the dialog, still counts.
    MSG message;
    bool quit = false;
    while (!modalDone_ && window_) {
        if (::GetMessageA(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        if (!::IsDialogMessageA(window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }

    std::optional<DialogChoices> choices;
    if (window_)
        choices = CollectChoices();
    // The owner is enabled before the dialog hides, so that it gets the
    // activation back instead of another application.
    if (disabledOwner && ::IsWindow(owner_))
        ::EnableWindow(owner_, TRUE);
    if (window_)
        ::ShowWindow(window_, SW_HIDE);
    if (quit)
        ::PostQuitMessage(static_cast<int>(message.wParam));
    return choices;
}

void TSetupForm::EndModal()
{
    modalDone_ = true;
    if (window_)
        ::PostMessageA(window_, WM_NULL, 0, 0);  // wakes the loop when nothing else would
}

void TSetupForm::LoadControls()
{
    const PluginState& plugin = ThePlugin();
    lastShownCode_.reset();

    HWND deviceCombo = Item(Control::DeviceCombo);
    ::SendMessageA(deviceCombo, CB_RESETCONTENT, 0, 0);
    if (plugin.devices) {
        for (const std::string& device : *plugin.devices)
            ::SendMessageA(deviceCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(device.c_str()));
    }
    DialogChoices stored = plugin_.StoredChoices();
    // An index outside the list leaves it with no selection.
    ::SendMessageA(deviceCombo, CB_SETCURSEL, static_cast<WPARAM>(stored.device.value_or(-1)), 0);
    ShowCardInfo();
    ::SendMessageA(Item(Control::ChipTypeTMCheckBox), BM_SETCHECK, stored.chipTypeTM ? BST_CHECKED : BST_UNCHECKED, 0);

    // The combo sorts the models by name; each item carries its file's index.
    keyMapFiles_ = ListKeyMapFiles(PluginFolder(plugin.moduleFileName), stored.keyMapFile);
    HWND modelCombo = Item(Control::ModelCombo);
    ::SendMessageA(modelCombo, CB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < keyMapFiles_.files.size(); ++i) {
        LRESULT item = ::SendMessageA(modelCombo, CB_ADDSTRING, 0,
                                      reinterpret_cast<LPARAM>(keyMapFiles_.files[i].modelName.c_str()));
        // CB_ERR and CB_ERRSPACE mean that no item was added; neither is an
        // item's index to carry the file's.
        if (item != CB_ERR && item != CB_ERRSPACE)
            ::SendMessageA(modelCombo, CB_SETITEMDATA, item, static_cast<LPARAM>(i));
    }
    int items = static_cast<int>(::SendMessageA(modelCombo, CB_GETCOUNT, 0, 0));
    for (int item = 0; item < items; ++item) {
        if (::SendMessageA(modelCombo, CB_GETITEMDATA, item, 0) == keyMapFiles_.chosen) {
            ::SendMessageA(modelCombo, CB_SETCURSEL, item, 0);
            break;
        }
    }

    HWND grid = Item(Control::KeyMapListView);
    ::SendMessageA(grid, LVM_DELETEALLITEMS, 0, 0);
    if (plugin.keyMap) {
        // A key map may have hundreds of thousands of lines: the grid neither
        // redraws nor grows its storage row by row while it fills.
        const KeyMap& keyMap = *plugin.keyMap;
        ::SendMessageA(grid, WM_SETREDRAW, FALSE, 0);
        ::SendMessageA(grid, LVM_SETITEMCOUNT, keyMap.Count(), 0);
        for (int line = 0; line < keyMap.Count(); ++line) {
            std::string_view code = NameOfLine(keyMap, line);
            AddGridRow(grid, line, std::string(code), std::string(ValueOfLine(keyMap, keyMap.IndexOfName(code))));
        }
        ::SendMessageA(grid, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(grid, nullptr, TRUE);
    }

    for (const UpDownLayout& upDown : kUpDowns) {
        auto position = static_cast<std::int16_t>((plugin.settings.*upDown.setting.value).load());
        ::SendMessageA(Item(upDown.upDown), UDM_SETPOS32, 0, position);
    }
}

DialogChoices TSetupForm::CollectChoices() const
{
    HWND modelCombo = Item(Control::ModelCombo);
    int model = SelectedIndex(modelCombo);
    int file = model == CB_ERR ? -1 : static_cast<int>(::SendMessageA(modelCombo, CB_GETITEMDATA, model, 0));
    DialogChoices choices;
    choices.keyMapFile = ChosenKeyMapFileName(keyMapFiles_, file);
    // Without a selected device, as before the card's software is installed
    // or when the stored one is not in the list, the user chose none: the
    // stored one stays.
    if (int device = SelectedIndex(Item(Control::DeviceCombo)); device != CB_ERR)
        choices.device = device;
    choices.chipTypeTM = ::SendMessageA(Item(Control::ChipTypeTMCheckBox), BM_GETCHECK, 0, 0) == BST_CHECKED;
    return choices;
}

void TSetupForm::ShowCardInfo()
{
    ::SetWindowTextA(Item(Control::CardInfoLabel), ReceiverCardTypeText());
}

void TSetupForm::ShowMonitorMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMonitorReleaseMessage) {
        ::SetWindowTextA(Item(Control::MonitorGroup), "Released");
        return;
    }
    ::SetWindowTextA(Item(Control::MonitorGroup), "Pressed");
    std::uint64_t code =
        (std::uint64_t{static_cast<std::uint32_t>(wParam)} << 32) | static_cast<std::uint32_t>(lParam);
    if (code == lastShownCode_)
        return;
    lastShownCode_ = code;

    const PluginState& plugin = ThePlugin();
    char codeText[kCodeTextMaxDigits + 1];
    FormatCodeText(code, plugin.codeTextDigits, codeText);
    ::SetWindowTextA(Item(Control::CodeLabel), (std::string("Code: ") + codeText).c_str());
    // The name comes from the key map, which only this thread changes, not
    // from the record, which the DispatchThread may be writing meanwhile. It
    // is cut as the record's field cuts it.
    KeyNames names = LookUpKey({plugin.keyMap ? &*plugin.keyMap : nullptr, nullptr, plugin.codeTextDigits}, codeText);
    std::string_view keyName = names.keyName.substr(0, std::min(names.keyName.find('\0'), kKeyNameSize - 1));
    ::SetWindowTextA(Item(Control::KeyLabel), ("Key: " + std::string(keyName)).c_str());
    // The grid holds one row per key-map line, in order.
    if (names.line >= 0)
        ShowCodeRow(names.line);
}

void TSetupForm::ShowCodeRow(int row)
{
    HWND grid = Item(Control::KeyMapListView);
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(grid, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    ::SendMessageA(grid, LVM_ENSUREVISIBLE, row, FALSE);
}

void TSetupForm::OnCommand(int id, int notification)
{
    if ((id == IDOK && notification == BN_CLICKED) || id == IDCANCEL)
        modalDone_ = true;
    else if (id == ControlIdOf(Control::DeviceCombo) && notification == CBN_SELCHANGE)
        DeviceComboChange();
    else if (id == ControlIdOf(Control::ModelCombo) && notification == CBN_SELCHANGE)
        ModelComboChange();
    else if (id == ControlIdOf(Control::ChipTypeTMCheckBox) && notification == BN_CLICKED)
        ChipTypeTMCheckBoxClick();
}

void TSetupForm::DeviceComboChange()
{
    ApplyNewChoice();
    ShowCardInfo();
}

void TSetupForm::ModelComboChange()
{
    ApplyNewChoice();
}

// The plug-in takes the choice up with new lists and a new key map, which
// the controls then show.
void TSetupForm::ApplyNewChoice()
{
    plugin_.ApplyChoices(CollectChoices());
    // A Close that came meanwhile has ended the dialog and emptied the lists.
    if (!modalDone_)
        LoadControls();
}

void TSetupForm::ChipTypeTMCheckBoxClick()
{
    ReceiverSetChipTypeTM(::SendMessageA(Item(Control::ChipTypeTMCheckBox), BM_GETCHECK, 0, 0) == BST_CHECKED);
}

void TSetupForm::UpDownChanging(const UpDownLayout& upDown, int proposed)
{
    // At a limit the control proposes a step beyond it, and then stays put.
    const TimingSetting& setting = upDown.setting;
    ThePlugin().settings.*setting.value = std::clamp(proposed, setting.min, setting.max);
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
            return form->WndProc(window, message, wParam, lParam);
    } catch (...) {
        // Nothing may leave a window procedure.
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TSetupForm::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kMonitorCodeMessage:
    case kMonitorReleaseMessage:
        ShowMonitorMessage(message, wParam, lParam);
        return 0;
    case DM_GETDEFID:
        // Enter, anywhere in the dialog, presses "Close".
        return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code != UDN_DELTAPOS)
            break;
        const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
        for (const UpDownLayout& upDown : kUpDowns) {
            if (header->hwndFrom == Item(upDown.upDown))
                UpDownChanging(upDown, change->iPos + change->iDelta);
        }
        return 0;  // the change goes ahead
    }
    case WM_CTLCOLORSTATIC:
        // The read-only edits show their numbers on a window's background,
        // as the edits a user types into do.
        for (const UpDownLayout& upDown : kUpDowns) {
            if (reinterpret_cast<HWND>(lParam) == Item(upDown.buddy)) {
                ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
            }
        }
        break;
    case WM_ACTIVATE:
        // Keyboard focus stays with the control the user left, as in any
        // dialog; at first it is the first control in tab order.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(window, focus))
                lastFocus_ = focus;
        } else {
            ::SetFocus(lastFocus_ ? lastFocus_ : ::GetNextDlgTabItem(window, nullptr, FALSE));
        }
        return 0;
    case WM_CLOSE:
        modalDone_ = true;
        return 0;
    case WM_NCDESTROY:
        // Destroyed with its owner, or by anyone else: the form stays
        // behind without a window and its loop ends.
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        window_ = nullptr;
        controls_ = {};
        modalDone_ = true;
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
