// The plug-in as a host meets it: Pelcato.dll loaded with LoadLibrary and
// driven through GetProcAddress. Each test loads a fresh copy of the library
// from a folder of its own, so no state carries over between tests, and
// unloads it at the end, as a host may right after Close.

#include "SimControl.h"
#include "common/win/ProcAddress.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr DWORD kPatienceMs = 5000;
constexpr char kDescription[] = "Pelcato TV tuner";

using OpenFunction = const char*(WINAPI*)(const char*, HWND, const void*);
using VoidFunction = void(WINAPI*)();

std::string ProgramFolder()
{
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

class PluginLibrary {
public:
    PluginLibrary()
    {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "pelcato-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                  std::to_string(counter_++) + "\\";
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        path_ = folder_ + "Pelcato.dll";
        ::CopyFileA((ProgramFolder() + "Pelcato.dll").c_str(), path_.c_str(), FALSE);
        module_ = ::LoadLibraryA(path_.c_str());
        if (!module_)
            return;
        Open = win::ProcAddress<OpenFunction>(module_, "Open");
        Start = win::ProcAddress<VoidFunction>(module_, "Start");
        Stop = win::ProcAddress<VoidFunction>(module_, "Stop");
        Setup = win::ProcAddress<VoidFunction>(module_, "Setup");
        Close = win::ProcAddress<VoidFunction>(module_, "Close");
        SetupForm = win::ProcAddress<void* const*>(module_, "_SetupForm");
    }
    ~PluginLibrary()
    {
        if (module_)
            ::FreeLibrary(module_);
        ::DeleteFileA(path_.c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }

    bool Loaded() const { return module_ && Open && Start && Stop && Setup && Close && SetupForm; }

    OpenFunction Open = nullptr;
    VoidFunction Start = nullptr;
    VoidFunction Stop = nullptr;
    VoidFunction Setup = nullptr;
    VoidFunction Close = nullptr;
    void* const* SetupForm = nullptr;

private:
    static inline int counter_ = 0;
    std::string folder_;
    std::string path_;
    HMODULE module_ = nullptr;
};

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
    EXPECT_EQ(std::memcmp(bytes, "REMOTE", 7), 0) << "source name without a name from the host";
    EXPECT_TRUE(zeroFrom(7, 64));
    EXPECT_EQ(std::memcmp(bytes + 64, "0000001A", 9), 0) << "unmapped key: its code text";
    EXPECT_TRUE(zeroFrom(73, 188));
    EXPECT_EQ(std::memcmp(bytes + 188, "EXT", 4), 0);
    std::int32_t integers[3];
    std::memcpy(integers, bytes + 192, sizeof integers);
    EXPECT_EQ(integers[0], 2);
    EXPECT_EQ(integers[1], 0);
    EXPECT_EQ(integers[2], 0);
    EXPECT_TRUE(zeroFrom(204, 212));
    EXPECT_TRUE(zeroFrom(220, 228));
    EXPECT_EQ(messages[0].codeText, "0000001A") << "text at the address in bytes 212..215";
    EXPECT_EQ(messages[0].modelName, "<undefined>") << "text at the address in bytes 216..219";
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

HWND WaitForSetupForm()
{
    return WaitForVisibleWindow("PelcatoSetupForm", kDescription, kPatienceMs);
}

TEST_F(PluginDll, SetupWithARefusedCoreVersionShowsTheMessageThenTheDialog)
{
    host.Run([&] { plugin.Open("Source", host.Window(), nullptr); });
    std::future<void> setup = host.Post(plugin.Setup);
    EXPECT_EQ(CloseMessageBox(), "Incorrect core version.");
    HWND form = WaitForSetupForm();
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

    HWND form = WaitForSetupForm();
    ASSERT_TRUE(form);
    EXPECT_NE(*plugin.SetupForm, nullptr);

    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    ::Sleep(400);
    EXPECT_TRUE(host.Messages().empty()) << "in TestMode the keys go to the dialog only";

    ::PostMessageA(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_EQ(*plugin.SetupForm, nullptr);
    host.Run(plugin.Close);
}

}  // namespace
