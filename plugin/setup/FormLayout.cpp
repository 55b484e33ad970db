#include "plugin/setup/FormLayout.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr int kFirstControlId = 1000;
constexpr int kDropDownHeight = 160;
constexpr int kCodeColumnWidth = 100;
constexpr int kKeyColumnWidth = 103;

constexpr DWORD kPanel = SS_LEFT | WS_CLIPSIBLINGS;
// A text longer than its label ends in an ellipsis, so that a cut name
// reads as cut.
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | WS_CLIPSIBLINGS;
constexpr DWORD kGroup = BS_GROUPBOX | WS_CLIPSIBLINGS;
constexpr DWORD kPickList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kSortedPickList = kPickList | CBS_SORT;
constexpr DWORD kReadOnlyEdit = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kUpDown = UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kPushButton = BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kGrid = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP;

}  // namespace

// The labels whose text the dialog changes have the room that their
// containers leave them, as a label that sizes itself to its text would.
// Of two labels that a wide font makes overlap, the earlier lies on top.
const ControlLayout kFormLayout[kControlCount] = {
    {Control::KeyMapListView, Control::Form, WC_LISTVIEWA, nullptr, kGrid, 261, 41, 209, 186},
    {Control::DevicePanel, Control::Form, WC_STATICA, nullptr, kPanel, 0, 0, 470, 41},
    {Control::CardInfoLabel, Control::DevicePanel, WC_STATICA, "", kLabel, 120, 2, 346, 13},
    {Control::DeviceLabel, Control::DevicePanel, WC_STATICA, "Video Capture Device:", kLabel, 4, 2, 107, 13},
    {Control::DeviceCombo, Control::DevicePanel, WC_COMBOBOXA, nullptr, kPickList, 4, 16, 461, 21},
    {Control::SettingsPanel, Control::Form, WC_STATICA, nullptr, kPanel, 0, 41, 261, 186},
    {Control::ModelLabel, Control::SettingsPanel, WC_STATICA, "Model:", kLabel, 4, -2, 32, 13},
    {Control::ModelCombo, Control::SettingsPanel, WC_COMBOBOXA, nullptr, kSortedPickList, 4, 12, 249, 21},
    {Control::MonitorGroup, Control::SettingsPanel, WC_BUTTONA, "Monitoring", kGroup, 0, 35, 261, 61},
    {Control::CodeLabel, Control::MonitorGroup, WC_STATICA, "Code:", kLabel, 12, 20, 241, 13},
    {Control::KeyLabel, Control::MonitorGroup, WC_STATICA, "", kLabel, 12, 40, 241, 13},
    {Control::TimingGroup, Control::SettingsPanel, WC_BUTTONA, "Timing", kGroup, 0, 96, 261, 90},
    {Control::Wait1Label, Control::TimingGroup, WC_STATICA, "Wait before repeat", kLabel, 8, 16, 88, 13},
    {Control::Wait1Edit, Control::TimingGroup, WC_EDITA, "300", kReadOnlyEdit, 104, 12, 33, 21},
    {Control::Wait1UpDown, Control::TimingGroup, UPDOWN_CLASSA, nullptr, kUpDown, 137, 12, 15, 21},
    {Control::WaitNLabel, Control::TimingGroup, WC_STATICA, "Repeat period", kLabel, 8, 40, 67, 13},
    {Control::WaitNEdit, Control::TimingGroup, WC_EDITA, "100", kReadOnlyEdit, 104, 36, 33, 21},
    {Control::WaitNUpDown, Control::TimingGroup, UPDOWN_CLASSA, nullptr, kUpDown, 137, 36, 15, 21},
    {Control::WaitRLabel, Control::TimingGroup, WC_STATICA, "Release timeout", kLabel, 8, 64, 76, 13},
    {Control::WaitREdit, Control::TimingGroup, WC_EDITA, "200", kReadOnlyEdit, 104, 60, 33, 21},
    {Control::WaitRUpDown, Control::TimingGroup, UPDOWN_CLASSA, nullptr, kUpDown, 137, 60, 15, 21},
    {Control::IntervalLabel, Control::TimingGroup, WC_STATICA, "Update", kLabel, 164, 16, 35, 13},
    {Control::IntervalEdit, Control::TimingGroup, WC_EDITA, "50", kReadOnlyEdit, 204, 12, 33, 21},
    {Control::IntervalUpDown, Control::TimingGroup, UPDOWN_CLASSA, nullptr, kUpDown, 237, 12, 15, 21},
    {Control::ChipTypeTMCheckBox, Control::TimingGroup, WC_BUTTONA, "ChipTypeTM", kCheckBox, 160, 64, 89, 17},
    {Control::ButtonPanel, Control::Form, WC_STATICA, nullptr, kPanel, 0, 227, 470, 32},
    {Control::CloseButton, Control::ButtonPanel, WC_BUTTONA, "Close", kPushButton, 4, 4, 75, 25},
};

const UpDownLayout kUpDowns[4] = {
    {Control::IntervalUpDown, Control::IntervalEdit, kIntervalSetting},
    {Control::Wait1UpDown, Control::Wait1Edit, kWait1Setting},
    {Control::WaitNUpDown, Control::WaitNEdit, kWaitNSetting},
    {Control::WaitRUpDown, Control::WaitREdit, kWaitRSetting},
};

int ControlIdOf(Control control)
{
    return control == Control::CloseButton ? IDOK : kFirstControlId + static_cast<int>(control);
}

const ControlLayout& LayoutOf(Control control)
{
    for (const ControlLayout& layout : kFormLayout) {
        if (layout.control == control)
            return layout;
    }
    return kFormLayout[0];  // every control has an entry; a test holds the table to that
}

RECT FormRectOf(Control control)
{
    const ControlLayout& layout = LayoutOf(control);
    RECT rect = {layout.left, layout.top, layout.left + layout.width, layout.top + layout.height};
    for (Control parent = layout.parent; parent != Control::Form; parent = LayoutOf(parent).parent)
        ::OffsetRect(&rect, LayoutOf(parent).left, LayoutOf(parent).top);
    return rect;
}

int TextWidth(HFONT font, std::string_view text)
{
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ previous = ::SelectObject(screen, font);
    SIZE size = {};
    ::GetTextExtentPoint32A(screen, text.data(), static_cast<int>(text.size()), &size);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    return size.cx;
}

namespace {

bool IsContainer(Control control)
{
    return std::any_of(std::begin(kFormLayout), std::end(kFormLayout),
                       [control](const ControlLayout& layout) { return layout.parent == control; });
}

bool IsLabel(const ControlLayout& layout)
{
    return layout.windowClass == std::string_view(WC_STATICA) && !IsContainer(layout.control);
}

// A window made later lies beneath the ones made before it. Labels lie
// beneath the controls they may run into when the font is wider than the
// design's, as labels drawn on their parent would, and containers beneath
// everything they contain; Tab follows the order of the rest.
constexpr int kLayers = 4;
int LayerOf(const ControlLayout& layout)
{
    if (IsContainer(layout.control))
        return layout.parent == Control::Form ? 3 : 2;
    return IsLabel(layout) ? 1 : 0;
}

HWND CreateControl(HWND form, HFONT font, const ControlLayout& layout)
{
    RECT rect = FormRectOf(layout.control);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (IsLabel(layout) && layout.text)
        width = std::max(width, TextWidth(font, layout.text));
    if (layout.windowClass == std::string_view(WC_COMBOBOXA))
        height += kDropDownHeight;
    auto module = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(form, GWLP_HINSTANCE));
    HWND control = ::CreateWindowExA(0, layout.windowClass, layout.text, WS_CHILD | WS_VISIBLE | layout.style,
                                     rect.left, rect.top, width, height, form,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdOf(layout.control))),
                                     module, nullptr);
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void AddGridColumn(HWND grid, int index, const char* title, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    ::SendMessageA(grid, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

FormControls CreateFormControls(HWND form, HFONT font)
{
    FormControls controls = {};
    for (int layer = 0; layer < kLayers; ++layer) {
        for (const ControlLayout& layout : kFormLayout) {
            if (LayerOf(layout) == layer)
                controls[static_cast<int>(layout.control)] = CreateControl(form, font, layout);
        }
    }

    for (const UpDownLayout& upDown : kUpDowns) {
        HWND control = controls[static_cast<int>(upDown.upDown)];
        ::SendMessageA(control, UDM_SETBUDDY, reinterpret_cast<WPARAM>(controls[static_cast<int>(upDown.buddy)]), 0);
        ::SendMessageA(control, UDM_SETRANGE32, upDown.setting.min, upDown.setting.max);
        UDACCEL step = {0, static_cast<UINT>(upDown.setting.step)};
        ::SendMessageA(control, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    }

    HWND grid = controls[static_cast<int>(Control::KeyMapListView)];
    ::SendMessageA(grid, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    AddGridColumn(grid, 0, "Code", kCodeColumnWidth);
    AddGridColumn(grid, 1, "Key", kKeyColumnWidth);
    return controls;
}
