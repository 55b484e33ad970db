// The settings file: where it lies, what each routine reads with which
// default, what the dialog's routines write and in which order, and that a
// file that cannot be written loses nothing in memory.

#include "config/Settings.h"
#include "core/PluginState.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PathCase {
    const char* module;
    const char* settings;
    const char* folder;
};

class Paths : public testing::TestWithParam<PathCase> {};

TEST_P(Paths, SettingsFileReplacesTheFileNamesExtension)
{
    EXPECT_EQ(SettingsFilePath(GetParam().module), GetParam().settings) << GetParam().module;
    EXPECT_EQ(PluginFolder(GetParam().module), GetParam().folder) << GetParam().module;
}

INSTANTIATE_TEST_SUITE_P(
    Modules, Paths,
    testing::Values(PathCase{"C:\\host\\plugins\\Pelcato.dll", "C:\\host\\plugins\\Pelcato.ini", "C:\\host\\plugins\\"},
                    PathCase{"C:\\host\\Pelcato", "C:\\host\\Pelcato.ini", "C:\\host\\"},
                    PathCase{"C:\\host.d\\Pelcato", "C:\\host.d\\Pelcato.ini", "C:\\host.d\\"},
                    PathCase{"C:\\host\\Pelcato.v2.dll", "C:\\host\\Pelcato.v2.ini", "C:\\host\\"},
                    PathCase{"C:Pelcato.dll", "C:Pelcato.ini", "C:"},
                    PathCase{"Pelcato.dll", "Pelcato.ini", ""}));

// The plug-in with its module in a scratch folder, its settings as loaded.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::strcpy(plugin.moduleFileName, folder.PathOf("Pelcato.dll").c_str());
        plugin.settings.interval = 50;
        plugin.settings.device = 3;
        plugin.settings.chipTypeTM = false;
        plugin.settings.wait1 = 300;
        plugin.settings.waitN = 100;
        plugin.settings.waitR = 200;
        plugin.codeTextDigits = 7;
        plugin.keyMap.emplace();
        plugin.modelNames.emplace();
    }
    void TearDown() override
    {
        plugin.keyMap.reset();
        plugin.modelNames.reset();
    }

    void WriteSettings(const std::string& text) const { folder.Write("Pelcato.ini", text); }

    std::vector<std::string> SettingsLines() const
    {
        std::ifstream file(folder.PathOf("Pelcato.ini"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    static bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    PluginState& plugin = ThePlugin();
    ScratchFolder folder{"settings-test"};
};

TEST_F(SettingsFile, WithoutAFileOpenKeepsTheValuesAndLoadsMoskerWhileTheDialogProposesTheDVDRemote)
{
    folder.Write("Mosker.cfg", "[Setup]\nName=Loaded by default\n[Keys]\n0000001A=Power\n");
    LoadReceiverConfig();
    ReadTimingSettings();

    EXPECT_EQ(plugin.settings.interval, 50);
    EXPECT_EQ(plugin.settings.device, 3) << "the device the receiver picked";
    EXPECT_FALSE(plugin.settings.chipTypeTM);
    EXPECT_EQ(plugin.settings.wait1, 300);
    EXPECT_EQ(plugin.settings.waitN, 100);
    EXPECT_EQ(plugin.settings.waitR, 200);
    EXPECT_EQ(*plugin.modelNames, ModelNameList{"Loaded by default"});
    EXPECT_EQ(plugin.keyMap->Count(), 1);
    EXPECT_EQ(plugin.codeTextDigits, 8);
    EXPECT_FALSE(Exists(folder.PathOf("Pelcato.ini"))) << "reading creates no file";

    DialogChoices presets = ReadDialogChoices();
    EXPECT_EQ(presets.keyMapFile, "PelcatoPCIDVD.cfg");
    EXPECT_EQ(presets.device, 3) << "the device the plug-in uses, not simply the first";
    EXPECT_FALSE(presets.chipTypeTM);
}

struct ReadCase {
    const char* file;
    std::int32_t interval;
    std::int32_t device;
    bool chipTypeTM;
};

class SettingsValues : public SettingsFile, public testing::WithParamInterface<ReadCase> {};

TEST_P(SettingsValues, AreTakenAsReadOrLeftAsTheyWere)
{
    const ReadCase& c = GetParam();
    WriteSettings(c.file);
    LoadReceiverConfig();
    EXPECT_EQ(plugin.settings.interval, c.interval) << c.file;
    EXPECT_EQ(plugin.settings.device, c.device) << c.file;
    EXPECT_EQ(plugin.settings.chipTypeTM, c.chipTypeTM) << c.file;
}

// Before each read: Interval 50, Device 3, ChipTypeTM false.
INSTANTIATE_TEST_SUITE_P(
    Files, SettingsValues,
    testing::Values(ReadCase{"[Main]\nInterval=80\nDevice=7\nChipTypeTM=1\n", 80, 7, true},
                    ReadCase{"[main]\ninterval=80\ndevice=1\nchiptypetm=2\n", 80, 1, true},
                    ReadCase{"[Main]\nDevice=-5\n", 50, 0, false},
                    ReadCase{"[Main]\nInterval=abc\nDevice=2x\nChipTypeTM=yes\n", 50, 3, false},
                    ReadCase{"[Main]\nInterval=0x50\nDevice=1.5\nChipTypeTM=\n", 50, 3, false},
                    ReadCase{"[Main]\nInterval=2147483648\nDevice=-2147483649\n", 50, 3, false},
                    ReadCase{"[Main]\nInterval=-2147483648\nDevice=2147483647\n", INT32_MIN, INT32_MAX, false},
                    ReadCase{"[Main]\nInterval =  +40  \nChipTypeTM=0\n", 40, 3, false},
                    ReadCase{"[Main]\nInterval=+-5\nDevice=++5\nChipTypeTM=-+5\n", 50, 3, false},
                    ReadCase{"[Main]\nInterval=--5\nDevice=-+5\nChipTypeTM=+-5\n", 50, 3, false},
                    ReadCase{"[Other]\nInterval=80\n", 50, 3, false},
                    ReadCase{"Interval=80\n", 50, 3, false}));

TEST_F(SettingsFile, DialogAndTimingsWriteTheSevenKeysInOrder)
{
    plugin.settings.interval = 70;
    plugin.settings.wait1 = 350;
    WriteDialogChoices({"Remote.cfg", -1, true});
    SaveTimingSettings();
    EXPECT_EQ(SettingsLines(), (std::vector<std::string>{"[Main]", "ChipTypeTM=1", "Interval=70", "Device=-1",
                                                         "DefaultConfig=Remote.cfg", "Wait1=350", "WaitN=100",
                                                         "WaitR=200"}));

    LoadReceiverConfig();
    EXPECT_EQ(plugin.settings.device, 0) << "no device chosen in the dialog reads as device 0";
    EXPECT_TRUE(plugin.settings.chipTypeTM);
    DialogChoices presets = ReadDialogChoices();
    EXPECT_EQ(presets.keyMapFile, "Remote.cfg");
    EXPECT_EQ(presets.device, -1);
}

TEST_F(SettingsFile, TimingsAreReadOnlyByTheirOwnStep)
{
    WriteSettings("[Main]\nWait1=500\nWaitN=-20\nWaitR=x\nInterval=60\n");
    LoadReceiverConfig();
    EXPECT_EQ(plugin.settings.wait1, 300) << "the load reads no timing";
    ReadTimingSettings();
    EXPECT_EQ(plugin.settings.wait1, 500);
    EXPECT_EQ(plugin.settings.waitN, -20) << "taken as read; the dispatcher bounds it";
    EXPECT_EQ(plugin.settings.waitR, 200);
}

TEST_F(SettingsFile, FileThatCannotBeWrittenLosesNothingInMemory)
{
    // A folder where the file should be, and a folder that does not exist.
    ::CreateDirectoryA(folder.PathOf("Pelcato.ini").c_str(), nullptr);
    for (const std::string& module : {folder.PathOf("Pelcato.dll"), folder.PathOf("no such folder\\Pelcato.dll")}) {
        std::strcpy(plugin.moduleFileName, module.c_str());
        plugin.settings.wait1 = 450;
        plugin.settings.interval = 70;
        SaveTimingSettings();
        WriteDialogChoices({"Remote.cfg", 1, true});
        LoadReceiverConfig();
        ReadTimingSettings();
        EXPECT_EQ(plugin.settings.wait1, 450) << module;
        EXPECT_EQ(plugin.settings.interval, 70) << module;
        EXPECT_EQ(plugin.settings.device, 3) << module;
        EXPECT_FALSE(plugin.settings.chipTypeTM) << module;
        EXPECT_EQ(*plugin.modelNames, ModelNameList{"<Unknown>"}) << module;
    }
}

}  // namespace
