// The simulated receiver as the wrapper sees it: devices and a script from
// its settings file, and codes from the control interface before the script.

#include "common/win/AnsiText.h"
#include "simreceiver/SimControl.h"
#include "tests/support/ScratchFolder.h"
#include "wrapper/PltRemoteWrap.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

class Simulator : public testing::Test {
protected:
    void SetUp() override
    {
        SimReset();
        RemoteCreate();
    }
    void TearDown() override
    {
        RemoteRelease();
        SimReset();
    }

    std::wstring Write(std::wstring_view name, const std::string& text) { return folder_.Write(name, text); }

    static std::vector<std::string> DeviceNames()
    {
        std::vector<std::string> names;
        for (unsigned long i = 0; const char* name = GetDeviceName(i); ++i)
            names.push_back(name);
        return names;
    }

    static int NextCode()
    {
        unsigned char code = 0;
        GetCode(&code);
        return code;
    }

private:
    ScratchFolder folder_{L"simulator-test"};
};

TEST_F(Simulator, SettingsFileNamesTheDevicesAndItsScriptPlaysFromTheFirstPoll)
{
    Write(L"session.txt", "tap 2C\npause 300\n");
    std::wstring ini = Write(L"pltremote-sim.ini", "[Device0]\r\nName=Tuner A\r\nCardType=5\r\n"
                                                 "[Device1]\r\nName=tuner b\r\nCardType=9\r\n"
                                                 "[Script]\r\nFile=session.txt\r\n");
    ASSERT_EQ(SimLoadSettings(ini.c_str()), 0);

    EXPECT_EQ(DeviceNames(), (std::vector<std::string>{"Tuner A", "tuner b"}));
    SelectDevice(1);
    EXPECT_EQ(GetCardType(), 9);
    EXPECT_EQ(NextCode(), 0x2C);
    EXPECT_EQ(NextCode(), 255) << "a report is handed out once";
    EXPECT_TRUE(SimScriptPlaying()) << "the pause after the tap is part of the script";
}

TEST_F(Simulator, ShippedSettingsAndSampleScriptAreRead)
{
    std::wstring bin = ProgramFolder();
    ASSERT_EQ(SimLoadSettings((bin + L"pltremote-sim.ini").c_str()), 0);
    EXPECT_EQ(DeviceNames(), (std::vector<std::string>{"Pelcato PCI DVD Tuner", "Generic Video Capture"}));

    std::wstring withScript = Write(L"sample.ini", "[Script]\nFile=" + win::WideToAnsi(bin) + "remote-session.txt\n");
    EXPECT_EQ(SimLoadSettings(withScript.c_str()), 0);
    EXPECT_EQ(NextCode(), 0x1A);
}

TEST_F(Simulator, SettingsFileProblemsAreReportedAndTheDevicesStillTaken)
{
    std::wstring missingScript = Write(L"missing.ini", "[Device0]\nName=Only\n[Script]\nFile=nowhere.txt\n");
    EXPECT_EQ(SimLoadSettings(missingScript.c_str()), -1);
    EXPECT_EQ(DeviceNames(), (std::vector<std::string>{"Only"}));

    Write(L"bad.txt", "tap 01\n\ntap 1FF\n");
    std::wstring badScript = Write(L"bad.ini", "[Script]\nFile=bad.txt\n");
    EXPECT_EQ(SimLoadSettings(badScript.c_str()), 3) << "the script's first bad line";
    EXPECT_EQ(DeviceNames(), (std::vector<std::string>{"Pelcato PCI DVD Tuner", "Generic Video Capture"}))
        << "without devices in the file, the built-in ones";
    EXPECT_EQ(NextCode(), 255) << "nothing of a bad script plays";
}

TEST_F(Simulator, QueuedCodesComeBeforeTheScriptAndABadScriptLeavesTheOldOnePlaying)
{
    ASSERT_EQ(SimPlayScript("hold 05 60000", 0), 0);
    EXPECT_EQ(SimPlayScript("hold 06", 0), 1);
    const unsigned char queued[] = {7, 8};
    SimPushCodes(queued, 2);
    EXPECT_EQ(NextCode(), 7);
    EXPECT_EQ(NextCode(), 8);
    EXPECT_EQ(NextCode(), 5);
}

}  // namespace
