// PelcatoRemote's devices command against the simulated receiver: which
// device it marks and why, each device's own card type, the receiver that
// lists nothing, and a settings file that a VirtualStore copy shadows.

#include "Commands.h"
#include "DevicesCommand.h"

#include "OutputLines.h"
#include "ScratchFolder.h"
#include "SimControl.h"

#include <gtest/gtest.h>
#include <windows.h>

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

ListedDevices ListIn(const std::string& folder)
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
    ScratchFolder folder("devices-rule");
    folder.Write("Pelcato.ini", test.settings);
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
    ScratchFolder folder("devices-card-type");
    folder.Write("Pelcato.ini", "[Main]\r\nChipTypeTM=1\r\n");
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
    ScratchFolder folder("devices-none");
    folder.Write("Pelcato.ini", "[Main]\r\nDevice=1\r\n");
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
    EXPECT_EQ(RunDevices({"--all"}, out), kExitCannot);
    EXPECT_EQ(out.str().rfind("Usage: PelcatoRemote devices\n", 0), 0u) << out.str();
    SimStats stats;
    SimGetStats(&stats);
    EXPECT_EQ(stats.constructed, 0) << "the receiver was opened for a wrong command line";
}

// Sets an environment variable for one test and puts the old value back.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value) : name_(name)
    {
        char old[MAX_PATH] = {};
        DWORD length = ::GetEnvironmentVariableA(name, old, MAX_PATH);
        hadValue_ = length > 0 && length < MAX_PATH;
        old_ = hadValue_ ? old : "";
        ::SetEnvironmentVariableA(name, value.c_str());
    }
    ~EnvironmentVariable() { ::SetEnvironmentVariableA(name_, hadValue_ ? old_.c_str() : nullptr); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* name_;
    bool hadValue_;
    std::string old_;
};

void CreateFolders(const std::string& path)
{
    for (std::size_t end = path.find('\\', 3); end != std::string::npos; end = path.find('\\', end + 1))
        ::CreateDirectoryA(path.substr(0, end).c_str(), nullptr);
}

TEST_F(DevicesCommand, VirtualStoreCopyIsTheSettingsInEffect)
{
    ScratchFolder folder("devices-plugin");
    std::string beside = folder.Write("Pelcato.ini", "[Main]\r\nDevice=0\r\n");
    ScratchFolder localAppData("devices-local-app-data");
    std::string localAppDataPath = localAppData.Path().substr(0, localAppData.Path().size() - 1);
    EnvironmentVariable redirected("LOCALAPPDATA", localAppDataPath);
    // Where Windows keeps a redirected write: the path without its drive,
    // under the user's VirtualStore folder.
    std::string copy = localAppDataPath + "\\VirtualStore" + beside.substr(2);
    CreateFolders(copy);
    localAppData.Write(copy.substr(localAppData.Path().size()), "[Main]\r\nDevice=1\r\n");
    OfferDevices({{"Pelcato PCI DVD Tuner", 3}, {"Generic Video Capture", 0}});

    ListedDevices listed = ListIn(folder.Path());

    ASSERT_EQ(listed.exitCode, kExitOk) << listed.output;
    std::string inEffect = "Settings in effect: " + copy + "\n";
    EXPECT_EQ(listed.output.rfind(inEffect, 0), 0u) << "expected first:\n" << inEffect << "actual:\n" << listed.output;
    std::string shadowed = beside + ": edits to that file do nothing";
    EXPECT_NE(listed.output.find(shadowed), std::string::npos)
        << "expected \"" << shadowed << "\" in\n" << listed.output;
    EXPECT_EQ(MarkedDevices(listed.output), std::vector<unsigned long>{1}) << listed.output;
    EXPECT_NE(listed.output.find("The Device setting in " + copy), std::string::npos) << listed.output;
}

}  // namespace
