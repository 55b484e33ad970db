#pragma once
// The setup dialog's layout as data: every control with its parent, window
// class, text, style and place. The form is built from these tables alone.
//
// Positions are in pixels within the parent's client area, as designed at
// 96 dpi. Panels and group boxes are containers in the layout only: every
// control is a child of the form itself, placed at its position inside its
// containers, so all notifications reach the form and Tab walks the controls
// in table order. A label is at least as wide as its text in the form's font.

#include "plugin/config/Settings.h"

#include <windows.h>

#include <array>
#include <string_view>

enum class Control : int {
    Form = -1,
    ButtonPanel,
    CloseButton,
    SettingsPanel,
    MonitorGroup,
    CodeLabel,
    KeyLabel,
    KeyMapListView,
    TimingGroup,
    Wait1Edit,
    Wait1UpDown,
    Wait1Label,
    WaitNLabel,
    WaitNEdit,
    WaitNUpDown,
    WaitRLabel,
    WaitREdit,
    WaitRUpDown,
    IntervalLabel,
    IntervalEdit,
    IntervalUpDown,
    ModelCombo,
    ModelLabel,
    DevicePanel,
    DeviceLabel,
    DeviceCombo,
    ChipTypeTMCheckBox,
    CardInfoLabel,
    Count
};

constexpr int kControlCount = static_cast<int>(Control::Count);

struct ControlLayout {
    Control control;
    Control parent;
    const char* windowClass;
    const char* text;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    int left, top, width, height;
};

// In tab order; labels and containers are no tab stops.
extern const ControlLayout kFormLayout[kControlCount];

// An up-down control, the read-only edit that shows its position, and the
// setting in memory that it changes at once, within the setting's range.
struct UpDownLayout {
    Control upDown;
    Control buddy;
    const TimingSetting& setting;
};

extern const UpDownLayout kUpDowns[4];

constexpr int kFormClientWidth = 470;
constexpr int kFormClientHeight = 259;

// The command identifier of a control: IDOK for the Close button, so that
// Enter works as in any dialog.
int ControlIdOf(Control control);
// The layout entry of a control.
const ControlLayout& LayoutOf(Control control);
// The control's place in the form's client area, its containers' offsets
// added.
RECT FormRectOf(Control control);

// The width of text drawn in font, in pixels.
int TextWidth(HFONT font, std::string_view text);

using FormControls = std::array<HWND, kControlCount>;

// Makes every control of the tables as a child of form, in font, and sets up
// the arrows and the grid's columns.
FormControls CreateFormControls(HWND form, HFONT font);
