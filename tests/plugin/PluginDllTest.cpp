// The plug-in as a host meets it: Pelcato.dll loaded with LoadLibrary and
// driven through GetProcAddress, a fresh copy for each test.

#include "core/HostLayout.h"
#include "SimControl.h"
#include "PluginLibrary.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

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
    plugin.Folder().Write("Pelcato.ini", "[Main]\r\nDefaultConfig=living.CFG\r\n");
    plugin.Folder().Write("Living.cfg", "[Setup]\r\nName=Living room\r\n[Keys]\r\n0000001A=Power\r\n");
    plugin.Folder().Write("Mosker.cfg", "[Setup]\r\nName=Not chosen\r\n[Keys]\r\n0000001A=Wrong\r\n");
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

}  // namespace
