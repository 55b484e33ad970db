// PelcatoRemote's devices command against the simulated receiver: which
// device it marks and why, each device's own card type, the receiver that
// lists nothing; and, for every command that reads the settings, a
// settings file that a VirtualStore copy shadows.

#include "tools/remote/Commands.h"
#include "tools/remote/DevicesCommand.h"

#include "common/win/AnsiText.h"
#include "simreceiver/SimControl.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TextFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kMarkText[] = "<- the plug-in uses this one";

struct Device {
    const char* name;
    long cardType;
};

void OfferDevices(const std::vector<Device>& devices)
{
    std::vector<const char*> names;
    std::vector<long> cardTypes;
    for (const Device& device : devices) {
        names.push_back(device.name);
        cardTypes.push_back(device.cardType);
    }
    SimSetDevices(names.data(), cardTypes.data(), static_cast<int>(devices.size()));
}

// The indexes of the device lines that carry the mark.
std::vector<unsigned long> MarkedDevices(const std::string& output)
{
    std::vector<unsigned long> marked;
    for (const std::string& line : Lines(output)) {
        if (line.find(kMarkText) != std::string::npos)
            marked.push_back(std::stoul(line));
    }
    return marked;
}

std::string DeviceLine(const std::string& output, const char* name)
{
    for (const std::string& line : Lines(output)) {
        if (line.find(name) != std::string::npos)
            return line;
    }
    return {};
}

struct ListedDevices {
    int exitCode;
    std::string output;
    SimStats stats;  // after the session has ended
};

ListedDevices ListIn(const std::wstring& folder)
{
    ListedDevices result;
    std::ostringstream out;
    {
        ReceiverSession session;
        result.exitCode = ListDevices(FindPluginFiles(folder), session, out);
    }
    result.output = out.str();
    SimGetStats(&result.stats);
    return result;
}

class DevicesCommand : public testing::Test {
protected:
    void SetUp() override { SimReset(); }
    void TearDown() override { SimReset(); }
};

struct RuleCase {
    const char* what;
    const char* settings;  // Pelcato.ini's text
    std::vector<Device> devices;
    std::vector<unsigned long> marked;
    const char* reason;    // a piece of the explanation under the list
};

class DeviceRule : public DevicesCommand, public testing::WithParamInterface<RuleCase> {};

TEST_P(DeviceRule, MarksTheDeviceThePluginUsesAndSaysWhy)
{
    const RuleCase& test = GetParam();
    ScratchFolder folder(L"devices-rule");
    folder.Write(L"Pelcato.ini", test.settings);
    OfferDevices(test.devices);

    ListedDevices listed = ListIn(folder.Path());

    EXPECT_EQ(listed.exitCode, kExitOk) << test.what << "\n" << listed.output;
    EXPECT_EQ(MarkedDevices(listed.output), test.marked) << test.what << "\n" << listed.output;
    EXPECT_NE(listed.output.find(test.reason), std::string::npos)
        << test.what << ": expected \"" << test.reason << "\" in\n" << listed.output;
}

const std::vector<Device> kWebcamThenTuner = {{"USB Webcam", 0}, {"pelcato Mini TV", 4}};
const std::vector<Device> kNoVendorName = {{"USB Webcam", 0}, {"Generic Video Capture", 1}};

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceRule,
    testing::Values(
        RuleCase{"the Device setting wins over the name search", "[Main]\r\nDevice=0\r\n", kWebcamThenTuner,
                 {0}, "The Device setting in "},
        RuleCase{"a negative Device setting counts as device 0", "[Main]\r\nDevice=-3\r\n", kWebcamThenTuner,
                 {0}, "chooses device 0."},
        RuleCase{"no Device setting: the name search, in any letter case", "[Main]\r\nInterval=70\r\n",
                 kWebcamThenTuner, {1}, "the first device with\n\"Pelcato\" in its name"},
        RuleCase{"no setting and no name holds Pelcato: the first device", "", kNoVendorName, {0},
                 "no device has \"Pelcato\" in its name"},
        RuleCase{"a Device setting past the last device marks none and says what to do",
                 "[Main]\r\nDevice=5\r\n", kNoVendorName, {}, "There is no device 5: set Device to"}));

TEST_F(DevicesCommand, ReadsEachDevicesOwnCardTypeAndLeavesTheLastSelected)
{
    ScratchFolder folder(L"devices-card-type");
    folder.Write(L"Pelcato.ini", "[Main]\r\nChipTypeTM=1\r\n");
    OfferDevices({{"Generic Video Capture", 0}, {"Pelcato PCI DVD Tuner", 3}, {"Pelcato Raptor", 7}});

    ListedDevices listed = ListIn(folder.Path());

    ASSERT_EQ(listed.exitCode, kExitOk) << listed.output;
    struct Row {
        const char* name;
        const char* line;
    };
    for (const Row& row : {Row{"Generic Video Capture", "  0  Generic Video Capture  CardType CARD_UNKNOWN"},
                           Row{"Pelcato PCI DVD Tuner", "  1  Pelcato PCI DVD Tuner  CardType CARD_7134  " },
                           Row{"Pelcato Raptor", "  2  Pelcato Raptor         CardType CARD_DVD_RAPTOR"}}) {
        EXPECT_EQ(DeviceLine(listed.output, row.name).rfind(row.line, 0), 0u)
            << "actual:   " << DeviceLine(listed.output, row.name) << "\nexpected: " << row.line << "...";
    }
    EXPECT_EQ(listed.stats.selectDeviceCalls, 3);
    EXPECT_EQ(listed.stats.lastSelectedDevice, 2);
    EXPECT_EQ(listed.stats.chipTypeAtSelect, 1) << "the chip type goes in before each selection";
    EXPECT_EQ(listed.stats.objectsAlive, 0) << "the receiver object outlived the session";
}

TEST_F(DevicesCommand, ReceiverWithoutDevicesGivesTheAdviceAndCannot)
{
    ScratchFolder folder(L"devices-none");
    folder.Write(L"Pelcato.ini", "[Main]\r\nDevice=1\r\n");
    SimSetDevices(nullptr, nullptr, 0);

    ListedDevices listed = ListIn(folder.Path());

    EXPECT_EQ(listed.exitCode, kExitCannot);
    EXPECT_EQ(listed.output, kNoReceiverText);
    EXPECT_EQ(listed.stats.selectDeviceCalls, 0);
    EXPECT_EQ(listed.stats.objectsAlive, 0);
}

TEST_F(DevicesCommand, AnyArgumentGivesTheUsage)
{
    std::ostringstream out;
    EXPECT_EQ(RunDevices({L"--all"}, out), kExitCannot);
    EXPECT_EQ(out.str().rfind("Usage: PelcatoRemote devices\n", 0), 0u) << out.str();
    SimStats stats;
    SimGetStats(&stats);
    EXPECT_EQ(stats.constructed, 0) << "the receiver was opened for a wrong command line";
}

// Sets an environment variable for one test and puts the old value back.
class EnvironmentVariable {
public:
    EnvironmentVariable(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        wchar_t old[MAX_PATH] = {};
        DWORD length = ::GetEnvironmentVariableW(name, old, MAX_PATH);
        hadValue_ = length > 0 && length < MAX_PATH;
        old_ = hadValue_ ? old : L"";
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~EnvironmentVariable() { ::SetEnvironmentVariableW(name_, hadValue_ ? old_.c_str() : nullptr); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const wchar_t* name_;
    bool hadValue_;
    std::wstring old_;
};

// Windows keeps a copy of the settings for a host that it virtualises. Every
// command that reads the settings says first that the copy is in effect,
// and goes by it.
class VirtualStoreCopy : public DevicesCommand, public testing::WithParamInterface<const char*> {};

TEST_P(VirtualStoreCopy, IsTheSettingsInEffect)
{
    ScratchFolder folder(L"devices-plugin");
    std::wstring beside = folder.Write(L"Pelcato.ini", "[Main]\r\nDevice=0\r\nDefaultConfig=Remote.cfg\r\n");
    folder.Write(L"Remote.cfg", "[Setup]\r\nName=Remote\r\n[Keys]\r\n0000001A=Power\r\n");
    ScratchFolder localAppData(L"devices-local-app-data");
    std::wstring localAppDataPath = localAppData.Path().substr(0, localAppData.Path().size() - 1);
    EnvironmentVariable redirected(L"LOCALAPPDATA", localAppDataPath);
    // Where Windows keeps a redirected write: the path without its drive,
    // under the user's VirtualStore folder.
    std::wstring copy = localAppDataPath + L"\\VirtualStore" + beside.substr(2);
    std::filesystem::create_directories(std::filesystem::path(copy).parent_path());
    std::ofstream(std::filesystem::path(copy), std::ios::binary)
        << "[Main]\r\nDevice=1\r\nDefaultConfig=Gone.cfg\r\n";
    OfferDevices({{"Pelcato PCI DVD Tuner", 3}, {"Generic Video Capture", 0}});

    const std::string command = GetParam();
    std::ostringstream out;
    int exitCode;
    if (command == "devices") {
        ReceiverSession session;
        exitCode = ListDevices(FindPluginFiles(folder.Path()), session, out);
    } else {
        exitCode = RunCheck({folder.Path()}, out);
    }
    std::string output = out.str();

    std::string inEffect = "Settings in effect: " + Printable(copy) + "\n";
    EXPECT_EQ(output.rfind(inEffect, 0), 0u) << command << ": expected first:\n" << inEffect << "actual:\n" << output;
    std::string shadowed = Printable(beside) + ": edits to that file do nothing";
    EXPECT_NE(output.find(shadowed), std::string::npos) << command << ": expected \"" << shadowed << "\" in\n" << output;
    if (command == "devices") {
        EXPECT_EQ(exitCode, kExitOk) << output;
        EXPECT_EQ(MarkedDevices(output), std::vector<unsigned long>{1}) << output;
        EXPECT_NE(output.find("The Device setting in " + Printable(copy)), std::string::npos) << output;
    } else {
        EXPECT_EQ(exitCode, kExitFindings) << output;
        std::string finding = "Pelcato.ini(3): DefaultConfig names \"Gone.cfg\"";
        EXPECT_NE(output.find(finding), std::string::npos) << "expected \"" << finding << "\" in\n" << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, VirtualStoreCopy, testing::Values("devices", "check"));

// PelcatoRemote.exe itself where users put it: beside the plug-in, in a
// folder named outside the ANSI code page, run from a command prompt there.
struct FolderRun {
    const char* what;
    bool folderArgument;  // names the folder on the command line rather than by default
    const char* command;
    const char* expected;
};

class ToolInAFolderNamedInAnyScript : public testing::TestWithParam<FolderRun> {};

TEST_P(ToolInAFolderNamedInAnyScript, FindsItsFilesAndItsReceiver)
{
    const FolderRun& run = GetParam();
    ScratchFolder folder(L"remote-tool-\u041f\u043b\u0430\u0433\u0438\u043d\u044b");
    for (const wchar_t* file : {L"PelcatoRemote.exe", L"pltremotewrap.dll", L"pltremote.dll", L"PelcatoPCIDVD.cfg",
                                L"PelcatoMini.cfg"})
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + file).c_str(), folder.PathOf(file).c_str(), FALSE))
            << testing::PrintToString(std::wstring(file));
    folder.Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=PelcatoMini.cfg\r\n");

    std::wstring commandLine = L"\"" + folder.PathOf(L"PelcatoRemote.exe") + L"\" " + win::AnsiToWide(run.command);
    // Without the trailing separator, which would escape the closing quote.
    if (run.folderArgument)
        commandLine += L" \"" + folder.Path().substr(0, folder.Path().size() - 1) + L"\"";
    ChildProcess tool(commandLine, folder.Path(), folder.PathOf(L"output.txt"));
    ASSERT_EQ(tool.Wait(30000), kExitOk) << run.what << ":\n" << tool.Output();
    EXPECT_NE(tool.Output().find(run.expected), std::string::npos)
        << run.what << ": expected \"" << run.expected << "\" in\n" << tool.Output();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ToolInAFolderNamedInAnyScript,
    testing::Values(FolderRun{"check, in its own folder", false, "check", ": every key map works as written.\n"},
                    FolderRun{"check, the folder named on the command line", true, "check",
                              ": every key map works as written.\n"},
                    FolderRun{"devices, through the wrapper beside it", false, "devices",
                              "Pelcato PCI DVD Tuner  CardType CARD_7134  <- the plug-in uses this one\n"}));

}  // namespace
