// The plug-in as a host meets it: Pelcato.dll loaded with LoadLibrary and
// driven through GetProcAddress, a fresh copy for each test; and as hosts
// are installed, with the plug-in in a folder of its own and a host
// program elsewhere.

#include "plugin/core/HostLayout.h"
#include "plugin/receiver/WrapperLibrary.h"
#include "plugin/setup/FormLayout.h"

#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "simreceiver/SimControl.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHost.h"
#include "tests/support/TextFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 5000;
constexpr char kDescription[] = "Pelcato TV tuner";

class PluginDll : public testing::Test {
protected:
    void SetUp() override
    {
        SimReset();
        ASSERT_TRUE(plugin.Loaded()) << "Pelcato.dll with all its exports";
    }

    PluginLibrary plugin;
    TestHost host;
};

TEST_F(PluginDll, OpenReturnsTheDescriptionAndTheFormPointerIsNullOutsideSetup)
{
    HostInfo info(kAcceptedCoreVersion);
    const char* description = nullptr;
    host.Run([&] { description = plugin.Open("Source", host.Window(), info.bytes); });
    EXPECT_STREQ(description, kDescription);
    EXPECT_EQ(*plugin.SetupForm, nullptr);
    host.Run(plugin.Close);
}

TEST_F(PluginDll, KeyMessagesCarryTheRecordByteForByte)
{
    HostInfo info(kAcceptedCoreVersion);
    host.Run([&] {
        plugin.Open(nullptr, host.Window(), info.bytes);
        plugin.Start();
    });
    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    ASSERT_TRUE(host.WaitForRelease(kPatienceMs));
    host.Run(plugin.Close);

    std::vector<KeyMessage> messages = host.Messages();
    ASSERT_EQ(messages.size(), 2u) << "press and release of a single tap";
    EXPECT_EQ(messages[0].param, 0);
    EXPECT_EQ(messages[1].param, -1);

    const auto* bytes = reinterpret_cast<const unsigned char*>(&messages[0].record);
    auto zeroFrom = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (bytes[i] != 0)
                return false;
        }
        return true;
    };
    using namespace host_layout;
    EXPECT_EQ(std::memcmp(bytes + kSourceNameOffset, "REMOTE", 7), 0) << "source name without a name from the host";
    EXPECT_TRUE(zeroFrom(kSourceNameOffset + 7, kKeyNameOffset));
    EXPECT_EQ(std::memcmp(bytes + kKeyNameOffset, "0000001A", 9), 0) << "unmapped key: its code text";
    EXPECT_TRUE(zeroFrom(kKeyNameOffset + 9, kExtTagOffset));
    EXPECT_EQ(std::memcmp(bytes + kExtTagOffset, "EXT", 4), 0);
    std::int32_t integers[3];
    std::memcpy(integers, bytes + kVersionOffset, sizeof integers);
    EXPECT_EQ(integers[0], 2);
    EXPECT_EQ(integers[1], 0);
    EXPECT_EQ(integers[2], 0);
    EXPECT_TRUE(zeroFrom(kVersionOffset + sizeof integers, kVersionOffset + sizeof integers + 8));
    EXPECT_TRUE(zeroFrom(kReservedTailOffset, kRecordSize));
    EXPECT_EQ(messages[0].codeText, "0000001A") << "text at the address in bytes " << kCodeTextOffset << "...";
    EXPECT_EQ(messages[0].modelName, "<undefined>") << "text at the address in bytes " << kModelNameOffset << "...";
}

TEST_F(PluginDll, KeysAreNamedByTheKeyMapThatTheSettingsFileChooses)
{
    plugin.Folder().Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=living.CFG\r\n");
    plugin.Folder().Write(L"Living.cfg", "[Setup]\r\nName=Living room\r\n[Keys]\r\n0000001A=Power\r\n");
    plugin.Folder().Write(L"Mosker.cfg", "[Setup]\r\nName=Not chosen\r\n[Keys]\r\n0000001A=Wrong\r\n");
    HostInfo info(kAcceptedCoreVersion);
    host.Run([&] {
        plugin.Open("Source", host.Window(), info.bytes);
        plugin.Start();
    });
    for (unsigned char code : {0x1A, 0xFE}) {
        std::size_t before = host.Messages().size();
        SimPushCodes(&code, 1);
        ASSERT_TRUE(WaitUntil([&] { return host.Messages().size() >= before + 2; }, kPatienceMs)) << int(code);
    }
    host.Run(plugin.Close);

    std::vector<KeyMessage> messages = host.Messages();
    ASSERT_EQ(messages.size(), 4u) << "press and release of two taps";
    EXPECT_STREQ(messages[0].record.keyName, "Power");
    EXPECT_EQ(messages[0].modelName, "Living room");
    EXPECT_EQ(messages[0].codeText, "0000001A");
    EXPECT_STREQ(messages[2].record.keyName, "000000FE") << "an unmapped code goes out as its code text";
    EXPECT_EQ(messages[2].modelName, "<undefined>");
}

// Closes the message box that Start shows, once it appears, and reports its text.
std::string CloseMessageBox()
{
    HWND box = WaitForVisibleWindow("#32770", kDescription, kPatienceMs);
    if (!box)
        return "(no message box)";
    std::string text = WindowText(::GetDlgItem(box, 0xFFFF));
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    return text;
}

class RefusedCoreVersion : public PluginDll, public testing::WithParamInterface<std::uint32_t> {};

TEST_P(RefusedCoreVersion, StartShowsTheMessageAndStartsNothing)
{
    HostInfo info(GetParam());
    bool withInfo = GetParam() != 0;
    host.Run([&] { plugin.Open("Source", host.Window(), withInfo ? info.bytes : nullptr); });

    std::string shown;
    std::thread closer([&] { shown = CloseMessageBox(); });
    plugin.Start();
    closer.join();
    EXPECT_EQ(shown, "Incorrect core version.");

    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    ::Sleep(300);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(SimPendingCodes(), 1) << "nobody polls the receiver";
    host.Run(plugin.Close);
}

// 0 stands for a host that passes no record at all.
INSTANTIATE_TEST_SUITE_P(Versions, RefusedCoreVersion, testing::Values(0u, 0x02070BFFu, 0x02080000u, 0x01070C00u));

TEST_F(PluginDll, SetupWithARefusedCoreVersionShowsTheMessageThenTheDialog)
{
    host.Run([&] { plugin.Open("Source", host.Window(), nullptr); });
    std::future<void> setup = host.Post(plugin.Setup);
    EXPECT_EQ(CloseMessageBox(), "Incorrect core version.");
    HWND form = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form) << "the dialog is shown all the same";

    SimStats stats;
    SimGetStats(&stats);
    EXPECT_EQ(stats.getCodeCalls, 0) << "but nothing polls the receiver";
    ::PostMessageA(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    host.Run(plugin.Close);
}

TEST_F(PluginDll, FormPointerNamesTheDialogWhileSetupRuns)
{
    HostInfo info(kAcceptedCoreVersion);
    host.Run([&] { plugin.Open("Source", host.Window(), info.bytes); });
    std::future<void> setup = host.Post(plugin.Setup);

    HWND form = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form);
    EXPECT_NE(*plugin.SetupForm, nullptr);

    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    ::Sleep(400);
    EXPECT_TRUE(host.Messages().empty()) << "while the dialog is open the keys go to it only";

    ::PostMessageA(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_EQ(*plugin.SetupForm, nullptr);
    host.Run(plugin.Close);
}

// Where the files lie, below a host program in a folder of its own.
enum class Layout {
    kBesidePlugin,        // the wrapper and the card's receiver library beside the plug-in
    kBesideHost,          // both beside the host's program, the plug-in alone in its folder
    kNoReceiverLibrary,   // the wrapper beside the plug-in, the card's software not installed yet
};

struct FolderCase {
    const char* what;
    const wchar_t* pluginFolder;  // below the host's folder
    Layout layout;
};

constexpr DWORD kHostPatienceMs = 30000;

// The host runs PluginFolderHost.exe in its own folder, with the scratch
// folder as its current folder, so that nothing of the plug-in's lies where
// Windows looks for a plain LoadLibrary's imports. The simulated receiver
// in the child plays a script of its own: a tap on Power, then on VolumeUp.
class PluginFolder : public testing::TestWithParam<FolderCase> {
protected:
    void SetUp() override
    {
        const FolderCase& c = GetParam();
        hostFolder_ = scratch_.MakeFolder(L"Host");
        pluginFolder_ = scratch_.MakeFolder(std::wstring(L"Host\\") + c.pluginFolder);
        const std::wstring& receiverFolder = c.layout == Layout::kBesideHost ? hostFolder_ : pluginFolder_;
        Copy(L"PluginFolderHost.exe", hostFolder_);
        Copy(L"Pelcato.dll", pluginFolder_);
        Copy(L"pltremotewrap.dll", receiverFolder);
        if (c.layout != Layout::kNoReceiverLibrary)
            Copy(L"pltremote.dll", receiverFolder);
        Write(receiverFolder + L"pltremote-sim.ini", "[Script]\r\nFile=session.txt\r\n");
        Write(receiverFolder + L"session.txt", "tap 1A\npause 400\ntap 0B\n");
        Write(pluginFolder_ + L"Pelcato.ini", "[Main]\r\nDevice=1\r\nDefaultConfig=Living.cfg\r\n");
        Write(pluginFolder_ + L"Living.cfg", "[Setup]\r\nName=Living room\r\n[Keys]\r\n0000001A=Power\r\n"
                                             "0000000B=VolumeUp\r\n");
    }

    static void Copy(const wchar_t* file, const std::wstring& folder)
    {
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + file).c_str(), (folder + file).c_str(), FALSE))
            << testing::PrintToString(std::wstring(file));
    }
    static void Write(const std::wstring& path, const std::string& text)
    {
        std::ofstream(std::filesystem::path{path}, std::ios::binary) << text;
    }

    // Starts the host with arguments after the plug-in's path.
    std::unique_ptr<ChildProcess> StartHost(const std::wstring& arguments) const
    {
        return std::make_unique<ChildProcess>(L"\"" + hostFolder_ + L"PluginFolderHost.exe\" \"" + pluginFolder_ +
                                                  L"Pelcato.dll\" " + arguments,
                                              scratch_.Path(), scratch_.PathOf(L"host-output.txt"));
    }

    ScratchFolder scratch_{L"plugin-folder"};
    std::wstring hostFolder_;
    std::wstring pluginFolder_;
};

TEST_P(PluginFolder, KeysComeWithItsKeyMapAndTheDialogWritesItsSettings)
{
    const FolderCase& c = GetParam();
    if (std::wstring name = c.pluginFolder; win::AnsiToWide(win::WideToAnsi(name)) != name)
        std::printf("The test prefix's ANSI code page is %u, which cannot write the folder's name.\n", ::GetACP());
    bool keysArrive = c.layout != Layout::kNoReceiverLibrary;

    std::unique_ptr<ChildProcess> host = StartHost(keysArrive ? L"keys 4 10000" : L"keys 1 1500");
    ASSERT_EQ(host->Wait(kHostPatienceMs), 0) << c.what << ":\n" << host->Output();
    std::vector<std::string> expected = {"open: Pelcato TV tuner"};
    if (keysArrive) {
        for (const char* message : {"press Power Living room", "release Power Living room",
                                    "press VolumeUp Living room", "release VolumeUp Living room"})
            expected.push_back(message);
    }
    expected.push_back("closed");
    EXPECT_EQ(Lines(host->Output()), expected) << c.what;

    host = StartHost(L"setup");
    HWND form = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form) << c.what << ":\n" << host->Output();
    HWND devices = ::GetDlgItem(form, ControlIdOf(Control::DeviceCombo));
    EXPECT_EQ(::SendMessageW(devices, CB_GETCOUNT, 0, 0), keysArrive ? 2 : 0) << c.what;
    EXPECT_EQ(WindowText(::GetDlgItem(form, ControlIdOf(Control::CardInfoLabel))),
              keysArrive ? "CardType CARD_UNKNOWN" : WrapperProblemText(WrapperState::kReceiverLibraryMissing))
        << c.what;
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(host->Wait(kHostPatienceMs), 0) << c.what << ":\n" << host->Output();
    std::vector<std::string> settings = FileLines(pluginFolder_ + L"Pelcato.ini");
    for (const char* line : {"Device=1", "DefaultConfig=Living.cfg", "Interval=50", "WaitR=200"})
        EXPECT_NE(std::find(settings.begin(), settings.end(), line), settings.end())
            << c.what << ": expected " << line << " in the plug-in's own settings file, which holds\n"
            << testing::PrintToString(settings);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PluginFolder,
    testing::Values(FolderCase{"plug-ins in a folder of their own", L"Plug-ins", Layout::kBesidePlugin},
                    FolderCase{"a folder named outside the ANSI code page",
                               L"\u041f\u043b\u0430\u0433\u0438\u043d\u044b", Layout::kBesidePlugin},
                    FolderCase{"the wrapper beside the host's program, the plug-in's folder named outside the ANSI "
                               "code page",
                               L"\u041f\u043b\u0430\u0433\u0438\u043d\u044b", Layout::kBesideHost},
                    FolderCase{"the card's software not installed yet", L"Plug-ins", Layout::kNoReceiverLibrary}));

}  // namespace
