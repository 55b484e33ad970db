// The settings file: where it lies, what each routine reads with which
// default, what the dialog's routines write and in which order, and that a
// file that cannot be written loses nothing in memory.

#include "plugin/config/Settings.h"
#include "plugin/core/PluginSettings.h"
#include "plugin/core/PluginState.h"

#include "common/win/FileKind.h"
#include "common/win/Handle.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TextFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PathCase {
    const wchar_t* module;
    const wchar_t* settings;
    const wchar_t* folder;
};

class Paths : public testing::TestWithParam<PathCase> {};

TEST_P(Paths, SettingsFileReplacesTheFileNamesExtension)
{
    EXPECT_EQ(SettingsFilePath(GetParam().module), GetParam().settings);
    EXPECT_EQ(PluginFolder(GetParam().module), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, Paths,
    testing::Values(PathCase{L"C:\\host\\plugins\\Pelcato.dll", L"C:\\host\\plugins\\Pelcato.ini", L"C:\\host\\plugins\\"},
                    PathCase{L"C:\\host\\Pelcato", L"C:\\host\\Pelcato.ini", L"C:\\host\\"},
                    PathCase{L"C:\\host.d\\Pelcato", L"C:\\host.d\\Pelcato.ini", L"C:\\host.d\\"},
                    PathCase{L"C:\\host\\Pelcato.v2.dll", L"C:\\host\\Pelcato.v2.ini", L"C:\\host\\"},
                    PathCase{L"C:\\\u041f\u043b\u0430\u0433\\Pelcato.dll", L"C:\\\u041f\u043b\u0430\u0433\\Pelcato.ini",
                             L"C:\\\u041f\u043b\u0430\u0433\\"},
                    PathCase{L"C:Pelcato.dll", L"C:Pelcato.ini", L"C:"},
                    PathCase{L"Pelcato.dll", L"Pelcato.ini", L""}));

// The plug-in with its module in a scratch folder, its settings as loaded.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        plugin.moduleFileName = folder.PathOf(L"Pelcato.dll");
        plugin.unsavedSettings = {};
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

    void WriteSettings(const std::string& text) const { folder.Write(L"Pelcato.ini", text); }

    std::vector<std::string> SettingsLines() const { return FileLines(folder.PathOf(L"Pelcato.ini")); }

    PluginState& plugin = ThePlugin();
    ScratchFolder folder{L"settings-test"};
};

TEST_F(SettingsFile, WithoutAFileOpenKeepsTheValuesAndLoadsMoskerWhileTheDialogProposesTheDVDRemote)
{
    folder.Write(L"Mosker.cfg", "[Setup]\nName=Loaded by default\n[Keys]\n0000001A=Power\n");
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
    EXPECT_FALSE(win::IsFile(folder.PathOf(L"Pelcato.ini"))) << "reading creates no file";

    DialogChoices presets = ReadDialogChoices();
    EXPECT_EQ(presets.keyMapFile, L"PelcatoPCIDVD.cfg");
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
    EXPECT_EQ(WriteDialogChoices({L"Remote.cfg", -1, true}), std::nullopt);
    EXPECT_EQ(SaveTimingSettings(), std::nullopt);
    EXPECT_EQ(SettingsLines(), (std::vector<std::string>{"[Main]", "ChipTypeTM=1", "Interval=70", "Device=-1",
                                                         "DefaultConfig=Remote.cfg", "Wait1=350", "WaitN=100",
                                                         "WaitR=200"}));

    LoadReceiverConfig();
    EXPECT_EQ(plugin.settings.device, 0) << "no device chosen in the dialog reads as device 0";
    EXPECT_TRUE(plugin.settings.chipTypeTM);
    DialogChoices presets = ReadDialogChoices();
    EXPECT_EQ(presets.keyMapFile, L"Remote.cfg");
    EXPECT_EQ(presets.device, -1);

    WriteDialogChoices({L"Other.cfg", std::nullopt, false});
    EXPECT_EQ(ReadDialogChoices().device, -1) << "a dialog that listed no device leaves the stored one";
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

// Three ways a settings file refuses writes: a folder where the file should
// be, a folder that does not exist, and a file that another program holds
// open without sharing writes (which fails even for an administrator).
enum class Refusal { kFolderInItsPlace, kNoSuchFolder, kHeldOpen };

class UnwritableSettings : public SettingsFile, public testing::WithParamInterface<Refusal> {
protected:
    // Makes the file refuse writes until the returned handle closes.
    win::File Refuse(Refusal refusal)
    {
        switch (refusal) {
        case Refusal::kFolderInItsPlace:
            folder.MakeFolder(L"Pelcato.ini");
            return {};
        case Refusal::kNoSuchFolder:
            plugin.moduleFileName = folder.PathOf(L"no such folder\\Pelcato.dll");
            return {};
        case Refusal::kHeldOpen:
            WriteSettings("[Main]\r\nDevice=3\r\nDefaultConfig=Remote.cfg\r\n");
            return win::File(::CreateFileW(folder.PathOf(L"Pelcato.ini").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        }
        return {};
    }
};

// A failed write is reported with the file and the system's reason, and what
// the user chose applies all the same, through every later read, until a
// write of the same key succeeds.
TEST_P(UnwritableSettings, ReportTheFailureAndKeepTheChoicesInForce)
{
    folder.Write(L"Other.cfg", "[Setup]\nName=Chosen\n[Keys]\n0000001A=Power\n");
    win::File holder = Refuse(GetParam());
    std::wstring settingsFile = SettingsFilePath(plugin.moduleFileName);
    std::vector<std::string> before = SettingsLines();

    plugin.settings.wait1 = 450;
    plugin.settings.interval = 70;
    SettingsWriteResult timings = SaveTimingSettings();
    SettingsWriteResult choices = WriteDialogChoices({L"Other.cfg", 1, true});
    ASSERT_TRUE(timings.has_value());
    ASSERT_TRUE(choices.has_value());
    EXPECT_EQ(choices->file, settingsFile);
    EXPECT_NE(choices->error, 0u);
    if (GetParam() == Refusal::kHeldOpen) {
        EXPECT_EQ(choices->error, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    }

    plugin.settings.wait1 = 300;
    plugin.settings.interval = 50;
    LoadReceiverConfig();
    ReadTimingSettings();
    EXPECT_EQ(plugin.settings.wait1, 450);
    EXPECT_EQ(plugin.settings.interval, 70);
    EXPECT_EQ(plugin.settings.device, 1);
    EXPECT_TRUE(plugin.settings.chipTypeTM);
    // A plug-in whose folder is gone has no key map either.
    EXPECT_EQ(*plugin.modelNames, ModelNameList{GetParam() == Refusal::kNoSuchFolder ? "<Unknown>" : "Chosen"})
        << "the chosen key map is loaded";
    EXPECT_EQ(ReadDialogChoices().keyMapFile, L"Other.cfg") << "the dialog shows the choice in force";
    EXPECT_EQ(SettingsLines(), before) << "the file stays as it was";

    // Once the file takes writes again, the next store empties the stand-ins.
    holder.Close();
    if (GetParam() == Refusal::kNoSuchFolder)
        plugin.moduleFileName = folder.PathOf(L"Pelcato.dll");
    else if (GetParam() == Refusal::kFolderInItsPlace)
        ::RemoveDirectoryW(settingsFile.c_str());
    EXPECT_EQ(WriteDialogChoices({L"Other.cfg", 2, false}), std::nullopt);
    EXPECT_EQ(SaveTimingSettings(), std::nullopt);
    EXPECT_TRUE(plugin.unsavedSettings.Empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, UnwritableSettings,
                         testing::Values(Refusal::kFolderInItsPlace, Refusal::kNoSuchFolder, Refusal::kHeldOpen));

}  // namespace
