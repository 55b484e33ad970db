// The setup dialog driven as a user drives it: keys, clicks on the arrows,
// the check box, the buttons, with Pelcato.dll loaded from a folder of its
// own and the simulated receiver sending codes. What the dialog shows is
// read from its controls; what it writes, from the settings file.

#include "plugin/setup/FormLayout.h"

#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "common/win/Handle.h"

#include "simreceiver/SimControl.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestHost.h"
#include "tests/support/TextFile.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 5000;
constexpr char kPluginDescription[] = "Pelcato TV tuner";

const char kDvdKeyMap[] = "[Setup]\r\nName=DVD remote\r\n[Keys]\r\n"
                          "00000014=OK\r\n0000001a=Power\r\n0000000B=VolumeUp\r\n0000000B=Twice\r\n";
const char kMiniKeyMap[] = "[Setup]\r\nName=A mini remote\r\n[Keys]\r\n0000001A=Standby\r\n";

using Rows = std::vector<std::pair<std::string, std::string>>;

class SetupDialog : public testing::Test {
protected:
    void SetUp() override
    {
        SimReset();
        ASSERT_TRUE(plugin.Loaded()) << "Pelcato.dll with all its exports";
    }
    void TearDown() override
    {
        if (SetupRunning()) {
            // A dialog slower than the test's patience is closed once it is up.
            while (!form_ && SetupRunning())
                form_ = WaitForSetupForm(kPatienceMs);
            ::PostMessageA(form_, WM_CLOSE, 0, 0);
            setup_.wait();
        }
        host.Run(plugin.Close);
    }

    void Write(std::wstring_view name, const std::string& text) const { plugin.Folder().Write(name, text); }

    // Opens the plug-in and, on the host's thread, the dialog.
    HWND OpenDialog()
    {
        host.Run([this] { plugin.Open("Test", host.Window(), hostInfo.bytes); });
        setup_ = host.Post(plugin.Setup);
        form_ = WaitForSetupForm(kPatienceMs);
        return form_;
    }
    bool SetupRunning() const
    {
        return setup_.valid() && setup_.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready;
    }
    bool WaitUntilClosed() { return setup_.wait_for(std::chrono::milliseconds(kPatienceMs)) == std::future_status::ready; }

    HWND ControlWindow(Control control) const { return ::GetDlgItem(form_, ControlIdOf(control)); }
    std::string Text(Control control) const { return WindowText(ControlWindow(control)); }
    bool WaitForText(Control control, const std::string& text) const
    {
        return WaitUntil([&] { return Text(control) == text; }, kPatienceMs);
    }
    void PostKey(Control control, WPARAM key) const
    {
        ::PostMessageA(ControlWindow(control), WM_KEYDOWN, key, 0);
        ::PostMessageA(ControlWindow(control), WM_KEYUP, key, 0);
    }
    // A click on the upper or lower arrow of an up-down control.
    void ClickArrow(Control upDown, bool up) const
    {
        RECT rect;
        ::GetClientRect(ControlWindow(upDown), &rect);
        LPARAM point = MAKELPARAM(rect.right / 2, up ? rect.bottom / 4 : rect.bottom * 3 / 4);
        ::PostMessageA(ControlWindow(upDown), WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::PostMessageA(ControlWindow(upDown), WM_LBUTTONUP, 0, point);
    }
    // Waits until the dialog's thread has handled everything posted so far.
    void Settle() const { ::SendMessageA(form_, WM_NULL, 0, 0); }

    std::vector<std::string> ComboItems(Control combo) const
    {
        std::vector<std::string> items;
        int count = static_cast<int>(::SendMessageA(ControlWindow(combo), CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[256] = {};
            ::SendMessageA(ControlWindow(combo), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }
    int Selection(Control combo) const { return static_cast<int>(::SendMessageA(ControlWindow(combo), CB_GETCURSEL, 0, 0)); }

    Rows GridRows() const
    {
        Rows rows;
        HWND grid = ControlWindow(Control::KeyMapListView);
        int count = static_cast<int>(::SendMessageA(grid, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row)
            rows.emplace_back(CellText(row, 0), CellText(row, 1));
        return rows;
    }
    std::string CellText(int row, int column) const
    {
        char text[256] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(ControlWindow(Control::KeyMapListView), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    int CurrentRow() const
    {
        return static_cast<int>(
            ::SendMessageA(ControlWindow(Control::KeyMapListView), LVM_GETNEXTITEM, -1, LVNI_FOCUSED | LVNI_SELECTED));
    }

    std::vector<std::string> SettingsLines() const { return FileLines(plugin.Folder().PathOf(L"Pelcato.ini")); }

    static SimStats Stats()
    {
        SimStats stats;
        SimGetStats(&stats);
        return stats;
    }

    PluginLibrary plugin;
    TestHost host;
    HostInfo hostInfo{kAcceptedCoreVersion};
    HWND form_ = nullptr;
    std::future<void> setup_;
};

TEST_F(SetupDialog, ShowsTheFormOverTheHostWithEveryChoiceLoaded)
{
    Write(L"Pelcato.ini", "[Main]\r\nDevice=1\r\nChipTypeTM=1\r\nDefaultConfig=mini.CFG\r\nWait1=450\r\n");
    Write(L"Dvd.cfg", kDvdKeyMap);
    Write(L"Mini.cfg", kMiniKeyMap);
    ASSERT_TRUE(OpenDialog());

    RECT client;
    ::GetClientRect(form_, &client);
    EXPECT_EQ(client.right, 470);
    EXPECT_EQ(client.bottom, 259);
    EXPECT_EQ(::GetWindow(form_, GW_OWNER), host.Window());
    EXPECT_FALSE(::IsWindowEnabled(host.Window())) << "modal over the host";
    EXPECT_NE(*plugin.SetupForm, nullptr);
    EXPECT_NE(::SendMessageA(form_, WM_GETICON, ICON_SMALL, 0), 0) << "the form's own icon, from Pelcato.dll";
    EXPECT_NE(::SendMessageA(form_, WM_GETICON, ICON_BIG, 0), 0);

    EXPECT_EQ(ComboItems(Control::DeviceCombo),
              (std::vector<std::string>{"Pelcato PCI DVD Tuner", "Generic Video Capture"}));
    EXPECT_EQ(Selection(Control::DeviceCombo), 1);
    EXPECT_EQ(Text(Control::CardInfoLabel), "CardType CARD_UNKNOWN") << "device 1 has no card type";
    EXPECT_EQ(::SendMessageA(ControlWindow(Control::ChipTypeTMCheckBox), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(ComboItems(Control::ModelCombo), (std::vector<std::string>{"A mini remote", "DVD remote"}))
        << "sorted by name";
    EXPECT_EQ(Selection(Control::ModelCombo), 0) << "the file the settings name, in any letter case";
    EXPECT_EQ(GridRows(), (Rows{{"0000001A", "Standby"}})) << "the key map loaded by Open";
    EXPECT_EQ(::SendMessageA(ControlWindow(Control::KeyMapListView), LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 0)
        << "the grid has the focus, and its first row shows it";
    EXPECT_EQ(Text(Control::Wait1Edit), "450") << "timings from memory";
    EXPECT_EQ(Text(Control::IntervalEdit), "50");
    EXPECT_EQ(Text(Control::MonitorGroup), "Monitoring");
    EXPECT_EQ(Text(Control::CodeLabel), "Code:");

    ::SendMessageA(ControlWindow(Control::CloseButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntilClosed());
    EXPECT_TRUE(::IsWindowEnabled(host.Window()));
    EXPECT_EQ(*plugin.SetupForm, nullptr);
    EXPECT_EQ(SettingsLines(), (std::vector<std::string>{"[Main]", "Device=1", "ChipTypeTM=1",
                                                         "DefaultConfig=Mini.cfg", "Wait1=450", "Interval=50",
                                                         "WaitN=100", "WaitR=200"}))
        << "the chosen file in its own letter case; new keys after the old ones";
}

// A machine whose tuner card is not the first device: without a Device key,
// the plug-in finds the card by its name, and the dialog must neither show
// nor store another device than the one the plug-in polls.
// A dialog closed without a choice of device keeps the one the plug-in
// uses: the tuner card it found without a Device key, or a stored device
// that is not in the list (the dialog then selects none).
struct DeviceKept {
    const char* name;
    const char* deviceLine;  // in the settings file before, or "" for none
    int selection;
    long device;
};

class DeviceWithoutAChoice : public SetupDialog, public testing::WithParamInterface<DeviceKept> {};

TEST_P(DeviceWithoutAChoice, StaysTheDeviceThePlugInUses)
{
    const DeviceKept& kept = GetParam();
    const char* names[] = {"USB Webcam", "Pelcato PCI DVD Tuner"};
    SimSetDevices(names, nullptr, 2);
    Write(L"Pelcato.ini", std::string("[Main]\r\nDefaultConfig=Dvd.cfg\r\n") + kept.deviceLine);
    Write(L"Dvd.cfg", kDvdKeyMap);
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ(Selection(Control::DeviceCombo), kept.selection);

    ::SendMessageA(ControlWindow(Control::CloseButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntilClosed());
    std::vector<std::string> lines = SettingsLines();
    std::string stored = "Device=" + std::to_string(kept.device);
    EXPECT_NE(std::find(lines.begin(), lines.end(), stored), lines.end()) << "expected " << stored << " in:\n"
                                                                          << ReadTextFile(plugin.Folder().PathOf(L"Pelcato.ini"));
    host.Run(plugin.Start);
    EXPECT_EQ(Stats().lastSelectedDevice, kept.device) << "the device the plug-in polls";
}

INSTANTIATE_TEST_SUITE_P(Settings, DeviceWithoutAChoice,
                         testing::Values(DeviceKept{"NoDeviceKeyKeepsTheTunerCard", "", 1, 1},
                                         DeviceKept{"DevicePastTheListStaysStored", "Device=5\r\n", -1, 5}),
                         [](const testing::TestParamInfo<DeviceKept>& info) { return std::string(info.param.name); });

// The longest names the files and the receiver may give show whole in the
// open lists, which stay on the screen; a cut label ends in an ellipsis.
TEST_F(SetupDialog, LongNamesShowWholeInTheOpenLists)
{
    const std::string device(100, 'D');
    const char* devices[] = {"Pelcato PCI DVD Tuner", device.c_str()};
    SimSetDevices(devices, nullptr, 2);
    const std::string model(63, 'M');
    Write(L"Long.cfg", "[Setup]\r\nName=" + model + "\r\n[Keys]\r\n0000001A=" + std::string(123, 'K') + "\r\n");
    Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Long.cfg\r\n");
    ASSERT_TRUE(OpenDialog());

    auto font = reinterpret_cast<HFONT>(::SendMessageA(ControlWindow(Control::DeviceCombo), WM_GETFONT, 0, 0));
    for (auto [combo, name] : {std::pair{Control::DeviceCombo, device}, std::pair{Control::ModelCombo, model}}) {
        auto dropped = static_cast<int>(::SendMessageA(ControlWindow(combo), CB_GETDROPPEDWIDTH, 0, 0));
        EXPECT_GT(dropped, TextWidth(font, name)) << name.size() << " characters";
        EXPECT_LE(dropped, ::GetSystemMetrics(SM_CXSCREEN)) << name.size() << " characters";
    }
    ::SendMessageA(form_, WM_APP, 0, 0x1A);
    EXPECT_EQ(Text(Control::KeyLabel), "Key: " + std::string(123, 'K')) << "the whole name, drawn cut";
    EXPECT_TRUE(::GetWindowLongA(ControlWindow(Control::KeyLabel), GWL_STYLE) & SS_ENDELLIPSIS);
}

// Without a capture device the card line says so, rather than naming an
// unknown card.
TEST_F(SetupDialog, NoCaptureDeviceIsToldOnTheCardLine)
{
    SimSetDevices(nullptr, nullptr, 0);
    ASSERT_TRUE(OpenDialog());
    EXPECT_TRUE(ComboItems(Control::DeviceCombo).empty());
    EXPECT_EQ(Text(Control::CardInfoLabel), "No capture device was found");
}

// The host's window goes away while the dialog is open: the dialog goes
// with it, Setup returns, and the file keeps every choice it held.
TEST_F(SetupDialog, OwnerDestroyedWhileOpenEndsTheDialogAndWritesNothing)
{
    const std::string settings = "[Main]\r\nDevice=1\r\nChipTypeTM=1\r\nDefaultConfig=Mini.cfg\r\n";
    Write(L"Pelcato.ini", settings);
    Write(L"Mini.cfg", kMiniKeyMap);
    HWND owner = nullptr;
    host.Run([&] { owner = ::CreateWindowA("STATIC", "Short-lived host", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                           nullptr, nullptr, nullptr); });
    ASSERT_TRUE(owner);
    host.Run([&] { plugin.Open("Test", owner, hostInfo.bytes); });
    setup_ = host.Post(plugin.Setup);
    form_ = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form_);

    host.Post([owner] { ::DestroyWindow(owner); });
    ASSERT_TRUE(WaitUntilClosed()) << "Setup returned";
    EXPECT_FALSE(::IsWindow(form_));
    EXPECT_EQ(*plugin.SetupForm, nullptr);
    std::vector<std::string> lines = SettingsLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"[Main]", "Device=1", "ChipTypeTM=1", "DefaultConfig=Mini.cfg"}))
        << "what the file held stays";
}

// The monitor's messages are the window's own: they show in any modal loop
// on the host's thread, here a message box that the host opens meanwhile.
TEST_F(SetupDialog, MonitorShowsCodesWhileAnotherModalLoopRuns)
{
    Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Dvd.cfg\r\n");
    Write(L"Dvd.cfg", kDvdKeyMap);
    ASSERT_TRUE(OpenDialog());
    std::future<void> box = host.Post([this] { ::MessageBoxA(form_, "Busy", "Host", MB_OK); });
    HWND boxWindow = WaitForVisibleWindow("#32770", "Host", kPatienceMs);
    ASSERT_TRUE(boxWindow);

    const unsigned char power = 0x1A;
    SimPushCodes(&power, 1);
    EXPECT_TRUE(WaitForText(Control::KeyLabel, "Key: Power"));
    EXPECT_EQ(Text(Control::CodeLabel), "Code: 0000001A");
    ::PostMessageA(boxWindow, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(box.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
}

// The dialog activates its own manifest, so that its controls are common
// controls 6 whatever the host's manifest says. When the activation fails,
// Windows falls back to the old controls without a word; only a version-6
// message tells the two apart.
TEST_F(SetupDialog, ControlsAreCommonControlsSix)
{
    ASSERT_TRUE(OpenDialog());
    SIZE ideal = {};
    EXPECT_TRUE(::SendMessageA(ControlWindow(Control::CloseButton), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)))
        << "only a version-6 button answers BCM_GETIDEALSIZE";
    EXPECT_GT(ideal.cx, 0);
}

// Each way of closing writes the same: without a settings file or key maps,
// the first device, no chip type and the DVD remote's file.
class ClosingTheDialog : public SetupDialog, public testing::WithParamInterface<const char*> {};

TEST_P(ClosingTheDialog, WritesTheSevenKeysInOrder)
{
    ASSERT_TRUE(OpenDialog());
    EXPECT_TRUE(ComboItems(Control::ModelCombo).empty());
    EXPECT_EQ(Selection(Control::ModelCombo), CB_ERR);
    EXPECT_TRUE(GridRows().empty());

    std::string way = GetParam();
    if (way == "Close")
        ::SendMessageA(ControlWindow(Control::CloseButton), BM_CLICK, 0, 0);
    else if (way == "close box")
        ::PostMessageA(form_, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (way == "Escape")
        PostKey(Control::KeyMapListView, VK_ESCAPE);
    else if (way == "Enter")
        PostKey(Control::DeviceCombo, VK_RETURN);
    ASSERT_TRUE(WaitUntilClosed()) << way;
    EXPECT_EQ(SettingsLines(), (std::vector<std::string>{"[Main]", "ChipTypeTM=0", "Interval=50", "Device=0",
                                                         "DefaultConfig=PelcatoPCIDVD.cfg", "Wait1=300", "WaitN=100",
                                                         "WaitR=200"}))
        << way;
}

INSTANTIATE_TEST_SUITE_P(Ways, ClosingTheDialog, testing::Values("Close", "close box", "Escape", "Enter"));

TEST_F(SetupDialog, DeviceChangeSavesAndRestartsAtOnce)
{
    Write(L"Dvd.cfg", kDvdKeyMap);
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ(Text(Control::CardInfoLabel), "CardType CARD_7134");
    EXPECT_EQ(Stats().lastSelectedDevice, 0);

    PostKey(Control::DeviceCombo, VK_DOWN);
    ASSERT_TRUE(WaitForText(Control::CardInfoLabel, "CardType CARD_UNKNOWN"));
    EXPECT_EQ(Selection(Control::DeviceCombo), 1);
    EXPECT_EQ(Stats().lastSelectedDevice, 1) << "the receiver runs on the new device";
    EXPECT_EQ(SettingsLines(), (std::vector<std::string>{"[Main]", "ChipTypeTM=0", "Interval=50", "Device=1",
                                                         "DefaultConfig=Dvd.cfg", "Wait1=300", "WaitN=100",
                                                         "WaitR=200"}))
        << "written before the dialog closes";

    const unsigned char code = 0x14;
    SimPushCodes(&code, 1);
    EXPECT_TRUE(WaitForText(Control::KeyLabel, "Key: OK")) << "codes still reach the dialog";
}

// Another program holds the settings file open and shares no writes. The
// choices apply all the same, and the user is told once, after the dialog,
// which file could not be written and why; once the file takes writes
// again, the next dialog stores what is in force.
TEST_F(SetupDialog, SettingsThatCannotBeSavedAreToldOnceAndStillApply)
{
    Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Dvd.cfg\r\n");
    Write(L"Dvd.cfg", kDvdKeyMap);
    Write(L"Mini.cfg", kMiniKeyMap);
    const std::wstring settingsPath = plugin.Folder().PathOf(L"Pelcato.ini");
    const std::vector<std::string> before = SettingsLines();
    win::File holder(::CreateFileW(settingsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
    ASSERT_TRUE(holder);
    ASSERT_TRUE(OpenDialog());

    PostKey(Control::ModelCombo, VK_UP);
    ASSERT_TRUE(WaitUntil([&] { return GridRows() == Rows{{"0000001A", "Standby"}}; }, kPatienceMs))
        << "the new model is taken up although the file refused it";
    EXPECT_FALSE(::FindWindowA("#32770", kPluginDescription)) << "no message while the dialog is open";
    ::SendMessageA(ControlWindow(Control::CloseButton), BM_CLICK, 0, 0);

    HWND box = WaitForVisibleWindow("#32770", kPluginDescription, kPatienceMs);
    ASSERT_TRUE(box) << "no message about the settings";
    EXPECT_EQ(::GetWindow(box, GW_OWNER), host.Window());
    std::string text = WindowText(::GetDlgItem(box, 0xFFFF));
    for (const std::string& part : {win::WideToAnsi(settingsPath), win::WideToAnsi(win::ErrorText(ERROR_SHARING_VIOLATION)),
                                    std::string("apply until the host application closes")})
        EXPECT_NE(text.find(part), std::string::npos) << "expected \"" << part << "\" in\n" << text;
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilClosed()) << "one message for the two stores that failed";
    EXPECT_EQ(SettingsLines(), before) << "the file stays as it was";

    host.Run(plugin.Start);
    const unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    ASSERT_TRUE(host.WaitForRelease(kPatienceMs));
    EXPECT_STREQ(host.Messages().front().record.keyName, "Standby") << "the unsaved model is in force";

    holder.Close();
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ(ComboItems(Control::ModelCombo)[Selection(Control::ModelCombo)], "A mini remote");
    ::SendMessageA(ControlWindow(Control::CloseButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntilClosed()) << "no message once the file takes writes";
    std::vector<std::string> lines = SettingsLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "DefaultConfig=Mini.cfg"), lines.end())
        << testing::PrintToString(lines);
}

TEST_F(SetupDialog, MonitorShowsCodesWithTheirKeysAndRowsAndNothingReachesTheHost)
{
    Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Dvd.cfg\r\n");
    Write(L"Dvd.cfg", kDvdKeyMap);
    ASSERT_TRUE(OpenDialog());

    // The key's name comes from the key map, not from the record that the
    // DispatchThread may be writing meanwhile (here it names no key yet).
    ::SendMessageA(form_, WM_APP, 0, 0x14);
    EXPECT_EQ(Text(Control::KeyLabel), "Key: OK");
    EXPECT_EQ(CurrentRow(), 0);

    const unsigned char power = 0x1A;
    SimPushCodes(&power, 1);
    ASSERT_TRUE(WaitForText(Control::KeyLabel, "Key: Power"));
    EXPECT_EQ(Text(Control::CodeLabel), "Code: 0000001A");
    EXPECT_EQ(CurrentRow(), 1) << "a row written in small letters matches";
    ASSERT_TRUE(WaitForText(Control::MonitorGroup, "Released"));
    EXPECT_EQ(Text(Control::KeyLabel), "Key: Power") << "a release leaves the labels";

    const unsigned char unmapped = 0xFE;
    SimPushCodes(&unmapped, 1);
    ASSERT_TRUE(WaitForText(Control::KeyLabel, "Key: 000000FE"));
    EXPECT_EQ(CurrentRow(), 1) << "an unmapped code leaves the row";

    const unsigned char volume = 0x0B;
    SimPushCodes(&volume, 1);
    ASSERT_TRUE(WaitForText(Control::KeyLabel, "Key: VolumeUp"));
    EXPECT_EQ(CurrentRow(), 2) << "the first of two rows with the code";
    EXPECT_EQ(GridRows()[3], (std::pair<std::string, std::string>{"0000000B", "VolumeUp"}))
        << "a code's second row shows the first line's key";

    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntilClosed());
    EXPECT_TRUE(host.Messages().empty()) << "nothing reaches the host while the dialog is open";
}

TEST_F(SetupDialog, EveryNewDialogAndEveryReloadShowsTheFirstPress)
{
    Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Dvd.cfg\r\n");
    Write(L"Dvd.cfg", kDvdKeyMap);
    Write(L"Mini.cfg", kMiniKeyMap);
    const unsigned char power = 0x1A;
    ASSERT_TRUE(OpenDialog());
    SimPushCodes(&power, 1);
    ASSERT_TRUE(WaitForText(Control::KeyLabel, "Key: Power"));
    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntilClosed());

    setup_ = host.Post(plugin.Setup);
    form_ = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form_);
    SimPushCodes(&power, 1);
    EXPECT_TRUE(WaitForText(Control::KeyLabel, "Key: Power")) << "the same key as last time, in a new dialog";

    PostKey(Control::ModelCombo, VK_UP);  // "A mini remote" sorts first
    ASSERT_TRUE(WaitUntil([&] { return GridRows() == Rows{{"0000001A", "Standby"}}; }, kPatienceMs));
    SimPushCodes(&power, 1);
    EXPECT_TRUE(WaitForText(Control::KeyLabel, "Key: Standby")) << "the same key, named by the new key map";
    EXPECT_EQ(CurrentRow(), 0);
}

// A key map a generator wrote. The dialog is up within the fixture's
// patience only when filling the grid costs the same for every row.
TEST_F(SetupDialog, ShowsAHundredThousandLineKeyMapRowByRow)
{
    constexpr int kLines = 100000;
    std::string keyMap = "[Setup]\r\nName=Generated\r\n[Keys]\r\n";
    for (int line = 0; line < kLines - 1; ++line) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%08X=Key%d\r\n", line, line);
        keyMap += entry;
    }
    keyMap += "0000000a=Late\r\n";
    Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Big.cfg\r\n");
    Write(L"Big.cfg", keyMap);
    ASSERT_TRUE(OpenDialog());

    HWND grid = ControlWindow(Control::KeyMapListView);
    EXPECT_EQ(::SendMessageA(grid, LVM_GETITEMCOUNT, 0, 0), kLines);
    EXPECT_EQ(CellText(kLines - 2, 0), "0001869E");
    EXPECT_EQ(CellText(kLines - 2, 1), "Key99998");
    EXPECT_EQ(CellText(kLines - 1, 0), "0000000a") << "the last row, with its own spelling of the code";
    EXPECT_EQ(CellText(kLines - 1, 1), "Key10") << "and the key of the code's first line";
}

TEST_F(SetupDialog, ArrowsChangeTheTimingsAndNeverGoPastTheirLimits)
{
    Write(L"Pelcato.ini", "[Main]\r\nWaitR=1000\r\nInterval=10\r\n");
    ASSERT_TRUE(OpenDialog());

    ClickArrow(Control::Wait1UpDown, true);
    ASSERT_TRUE(WaitForText(Control::Wait1Edit, "350"));
    PostKey(Control::WaitNEdit, VK_DOWN);
    ASSERT_TRUE(WaitForText(Control::WaitNEdit, "50"));
    ClickArrow(Control::WaitRUpDown, true);
    PostKey(Control::IntervalEdit, VK_DOWN);
    Settle();
    EXPECT_EQ(Text(Control::WaitREdit), "1000");
    EXPECT_EQ(Text(Control::IntervalEdit), "10");

    ::SendMessageA(ControlWindow(Control::CloseButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntilClosed());
    std::vector<std::string> lines = SettingsLines();
    for (const char* expected : {"Wait1=350", "WaitN=50", "WaitR=1000", "Interval=10"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected << " in the settings";
}

TEST_F(SetupDialog, ChipTypeBoxSwitchesTheReceiverAtOnce)
{
    ASSERT_TRUE(OpenDialog());
    ::SendMessageA(ControlWindow(Control::ChipTypeTMCheckBox), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([] { return Stats().chipTypeAtGetCode == 1; }, kPatienceMs));
    ::SendMessageA(ControlWindow(Control::ChipTypeTMCheckBox), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([] { return Stats().chipTypeAtGetCode == 0; }, kPatienceMs));
}

TEST_F(SetupDialog, TabWalksTheControlsAndNoDialogMessageShowsAsACode)
{
    ASSERT_TRUE(OpenDialog());
    auto focus = [this] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(host.ThreadId(), &info);
        return info.hwndFocus;
    };
    auto closeIsDefault = [this] {
        return (::GetWindowLongA(ControlWindow(Control::CloseButton), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    };
    ASSERT_TRUE(WaitUntil([&] { return focus() == ControlWindow(Control::KeyMapListView); }, kPatienceMs))
        << "the grid comes first";
    EXPECT_EQ(::SendMessageA(form_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0) << "focus shows from the start";
    PostKey(Control::KeyMapListView, VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return focus() == ControlWindow(Control::DeviceCombo); }, kPatienceMs));
    // The focus moves inside the dialog's handling of Tab, before the dialog
    // has finished with the key.
    Settle();
    EXPECT_TRUE(closeIsDefault()) << "Enter still presses Close, and Close shows it";
    PostKey(Control::DeviceCombo, VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return focus() == ControlWindow(Control::ModelCombo); }, kPatienceMs));
    Settle();
    EXPECT_TRUE(closeIsDefault());

    // The dialog manager's messages are not the monitor's.
    EXPECT_EQ(::SendMessageA(form_, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    ::SendMessageA(form_, DM_SETDEFID, IDOK, 0);
    ::SendMessageA(form_, WM_USER + 1, 0, 0x1A);
    EXPECT_EQ(Text(Control::MonitorGroup), "Monitoring");
    EXPECT_EQ(Text(Control::CodeLabel), "Code:");
}

// The picture of the dialog in the README: the shipped key map, a held
// button in the monitor.
TEST_F(SetupDialog, PictureWithACodeInTheMonitor)
{
    for (const wchar_t* file : {L"PelcatoPCIDVD.cfg", L"PelcatoMini.cfg", L"Pelcato.ini"})
        ::CopyFileW((ProgramFolder() + file).c_str(), plugin.Folder().PathOf(file).c_str(), FALSE);
    ASSERT_TRUE(OpenDialog());
    SimPlayScript("hold 1A 10000", 0);
    ASSERT_TRUE(WaitForText(Control::KeyLabel, "Key: Power"));
    ASSERT_TRUE(WaitForText(Control::MonitorGroup, "Pressed"));
    // What the picture must show: the code and its key in the monitor, and
    // the code's row of the shipped key map selected in the grid.
    EXPECT_EQ(Text(Control::CodeLabel), "Code: 0000001A");
    Rows rows = GridRows();
    auto power = std::find(rows.begin(), rows.end(), std::pair<std::string, std::string>("0000001A", "Power"));
    ASSERT_NE(power, rows.end()) << "the shipped key map maps 0000001A to Power";
    EXPECT_EQ(CurrentRow(), power - rows.begin());
    ::RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(300);  // for the display to show what was drawn
    EXPECT_TRUE(SaveWindowPicture(form_, ProgramFolder() + L"..\\setup-dialog.bmp"));

    // Once the user has moved on to another control, the row still shows in
    // the highlight colours, not near-white on white.
    HWND grid = ControlWindow(Control::KeyMapListView);
    PostKey(Control::KeyMapListView, VK_TAB);
    Settle();
    ::RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    ::Sleep(300);
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(::SendMessageA(grid, LVM_GETITEMRECT, power - rows.begin(), reinterpret_cast<LPARAM>(&row)));
    int codeColumnWidth = static_cast<int>(::SendMessageA(grid, LVM_GETCOLUMNWIDTH, 0, 0));
    POINT end = {row.left + codeColumnWidth - 4, (row.top + row.bottom) / 2};
    ::ClientToScreen(grid, &end);
    HDC screen = ::GetDC(nullptr);
    COLORREF shown = ::GetPixel(screen, end.x, end.y);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(shown, ::GetSysColor(COLOR_HIGHLIGHT)) << std::hex << "the row's colour right of its code, without focus";
}

}  // namespace
