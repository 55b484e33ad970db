#pragma once
// The setup dialog's layout as data: every control with its parent, window
// class, text, style and place. The form is built from these tables alone.
//
// Positions are in pixels within the parent's client area, as designed at
// 96 dpi. Panels and group boxes are containers in the layout only: every
// control is a child of the form itself, placed at its position inside its
// containers, so all notifications reach the form and Tab walks the controls
// in table order. A label is at least as wide as its text in the form's font.

#include "core/PluginState.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>

enum class Control : int {
    Form = -1,
    Panel1,
    OKButton,
    Panel2,
    TestGroup,
    CodeLabel,
    KeyLabel,
    ValueListEditor,
    GroupBox1,
    Edit1,
    Wait1UpDown,
    Label1,
    Label3,
    Edit2,
    WaitNUpDown,
    Label4,
    Edit3,
    WaitRUpDown,
    Label5,
    Edit4,
    IntervalUpDown,
    ModelCombo,
    Label6,
    Panel3,
    Label2,
    DeviceCombo,
    ChipTypeTMCombo,
    LabelCardInfo,
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
// setting in memory that it changes at once.
struct UpDownLayout {
    Control upDown;
    Control buddy;
    int min, max, increment;
    std::atomic<std::int32_t> PluginState::*value;
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

using FormControls = std::array<HWND, kControlCount>;

// Makes every control of the tables as a child of form, in font, and sets up
// the arrows and the grid's columns.
FormControls CreateFormControls(HWND form, HFONT font);
