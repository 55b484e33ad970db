// Key-map files as the plug-in reads them: the load into the key map and the
// model names, and the folder listing from which the dialog offers models.

#include "plugin/config/KeyMapFiles.h"

#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string ValueFor(const KeyMap& keyMap, const char* codeText)
{
    return std::string(ValueOfLine(keyMap, keyMap.IndexOfName(codeText)));
}

TEST(KeyMapFile, LoadKeepsTheFileOrderAndTheFirstOfTwoEqualCodesWins)
{
    ScratchFolder folder(L"keymap-test");
    std::wstring path = folder.Write(L"Remote.cfg", "; a remote\r\n"
                                                  "[Setup]\r\nName=Living room\r\n"
                                                  "[Keys]\r\n"
                                                  "0000001a=Power\r\n"
                                                  "1A=Never\r\n"
                                                  "0000000B=VolumeUp\r\n"
                                                  "0000000b=Second\r\n"
                                                  "00000030 = A=B\r\n"
                                                  "[Other]\r\n00000031=Elsewhere\r\n");
    KeyMap keyMap;
    keyMap.AddLine("00000031=Stale");
    ModelNameList modelNames{"Stale", "Names"};
    LoadKeyMapFile(path, keyMap, modelNames);

    EXPECT_EQ(modelNames, ModelNameList{"Living room"});
    EXPECT_EQ(ValueFor(keyMap, "0000001A"), "Power") << "code texts match in either case";
    EXPECT_EQ(keyMap.IndexOfName("1A"), 1) << "an entry 1A is kept, but no code text is ever 1A";
    EXPECT_EQ(ValueFor(keyMap, "0000000B"), "VolumeUp");
    EXPECT_EQ(ValueFor(keyMap, "00000030"), "A=B");
    EXPECT_EQ(keyMap.IndexOfName("00000031"), -1) << "only section Keys is read, and the old map is gone";
    EXPECT_EQ(keyMap.ModelIndex(0), 0);
}

// Section Repeat gives its rules to the key-map lines of the key names it
// names; an entry that cannot apply changes nothing.
struct RepeatSectionCase {
    const char* what;
    std::string repeat;  // the section's entries
    std::vector<KeyRepeat> rules;  // of each line of section Keys below
    std::vector<std::pair<std::string, std::string>> entries;  // line and verdict
    std::vector<std::size_t> counting = {};  // of each entry given again
};

// In the order of RepeatVerdict.
constexpr const char* kVerdictNames[] = {"applies", "names no key", "neither no nor two numbers", "out of range",
                                         "given again"};

std::string VerdictName(RepeatVerdict verdict)
{
    auto index = static_cast<std::size_t>(verdict);
    return index < std::size(kVerdictNames) ? kVerdictNames[index] : "verdict " + std::to_string(index);
}

std::string Describe(const KeyRepeat& repeat)
{
    return "{kind " + std::to_string(static_cast<int>(repeat.kind)) + ", " + std::to_string(repeat.wait1) + ", " +
           std::to_string(repeat.waitN) + "}";
}

class RepeatSection : public testing::TestWithParam<RepeatSectionCase> {};

TEST_P(RepeatSection, GivesEachKeyItsRuleAndJudgesEachEntry)
{
    const RepeatSectionCase& test = GetParam();
    ScratchFolder folder(L"keymap-test");
    std::wstring path = folder.Write(L"Remote.cfg", "[Setup]\r\nName=Living room\r\n"
                                                  "[Keys]\r\n"
                                                  "0000001A=Power\r\n"
                                                  "0000000B=VolumeUp\r\n"
                                                  "0000000C=VolumeDown\r\n"
                                                  "0000000D=volumeup\r\n"
                                                  "0000000E\r\n"
                                                  "[Repeat]\r\n" + test.repeat);
    KeyMap keyMap;
    ModelNameList modelNames;
    std::vector<RepeatEntry> entries{{"stale=no", RepeatVerdict::kApplies, 0}};
    LoadKeyMapFile(path, keyMap, modelNames, &entries);

    ASSERT_EQ(keyMap.Count(), static_cast<int>(test.rules.size())) << test.what;
    for (int i = 0; i < keyMap.Count(); ++i)
        EXPECT_EQ(Describe(keyMap.Repeat(i)), Describe(test.rules[i])) << test.what << ": " << keyMap.Line(i);
    EXPECT_EQ(ValueFor(keyMap, "0000000B"), "VolumeUp") << test.what << ": section Keys reads as without Repeat";
    std::vector<std::pair<std::string, std::string>> verdicts;
    std::vector<std::size_t> counting;
    for (const RepeatEntry& entry : entries) {
        verdicts.emplace_back(entry.line, VerdictName(entry.verdict));
        if (entry.verdict == RepeatVerdict::kGivenAgain)
            counting.push_back(entry.counting);
    }
    EXPECT_EQ(verdicts, test.entries) << test.what;
    EXPECT_EQ(counting, test.counting) << test.what;
}

constexpr KeyRepeat kSettingsPace{};
constexpr KeyRepeat kNever{KeyRepeat::Kind::kNever};
constexpr KeyRepeat kPace{KeyRepeat::Kind::kOwnPace, 200, 60};

INSTANTIATE_TEST_SUITE_P(
    Entries, RepeatSection,
    testing::Values(
        RepeatSectionCase{"no section",
                          "",
                          {kSettingsPace, kSettingsPace, kSettingsPace, kSettingsPace, kSettingsPace},
                          {}},
        RepeatSectionCase{"key names in another letter case, each code of a key",
                          "power=no\r\nVOLUMEUP = 200,60\r\n",
                          {kNever, kPace, kSettingsPace, kPace, kSettingsPace},
                          {{"power=no", "applies"}, {"VOLUMEUP=200,60", "applies"}}},
        RepeatSectionCase{"entries that cannot apply change nothing",
                          "Powr=no\r\nVolumeDown=fast\r\nVolumeUp=20,60\r\nPower\r\n0000000E=no\r\n",
                          {kSettingsPace, kSettingsPace, kSettingsPace, kSettingsPace, kSettingsPace},
                          {{"Powr=no", "names no key"},
                           {"VolumeDown=fast", "neither no nor two numbers"},
                           {"VolumeUp=20,60", "out of range"},
                           {"Power", "neither no nor two numbers"},
                           {"0000000E=no", "names no key"}}},
        RepeatSectionCase{"the first entry that applies counts",
                          "Power=no\r\nPower=200,60\r\nVolumeUp=x\r\nVolumeUp=200,60\r\n",
                          {kNever, kPace, kSettingsPace, kPace, kSettingsPace},
                          {{"Power=no", "applies"},
                           {"Power=200,60", "given again"},
                           {"VolumeUp=x", "neither no nor two numbers"},
                           {"VolumeUp=200,60", "applies"}},
                          {0}}),
    [](const testing::TestParamInfo<RepeatSectionCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(KeyMapFile, MissingFileOrSectionsGiveAnEmptyMapUnderUnknown)
{
    ScratchFolder folder(L"keymap-test");
    for (const std::wstring& path : {folder.PathOf(L"Missing.cfg"), folder.Write(L"Empty.cfg", ""),
                                     folder.Write(L"NoName.cfg", "[Setup]\nModel=x\n[Other]\n00000001=One\n")}) {
        KeyMap keyMap;
        keyMap.AddLine("00000001=Stale");
        ModelNameList modelNames{"Stale"};
        LoadKeyMapFile(path, keyMap, modelNames);
        EXPECT_EQ(modelNames, ModelNameList{"<Unknown>"}) << testing::PrintToString(path);
        EXPECT_EQ(keyMap.Count(), 0) << testing::PrintToString(path);
    }
}

// A named pipe stands in for a serial port that never sends: whoever opens
// it is seen by the server, and a read from it could wait for ever.
TEST(KeyMapFile, ADeviceIsNeverOpenedAndReadsAsAMissingFile)
{
    std::wstring pipeName = L"\\\\.\\pipe\\pelcato-keymap-test-" + std::to_wstring(::GetCurrentProcessId());
    win::File pipe(::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1,
                                      4096, 4096, 0, nullptr));
    ASSERT_TRUE(pipe) << "CreateNamedPipe failed with error " << ::GetLastError();
    win::Event connected = win::Event::CreateManualReset();
    OVERLAPPED waiting = {};
    waiting.hEvent = connected.Get();
    ASSERT_FALSE(::ConnectNamedPipe(pipe.Get(), &waiting));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));

    KeyMap keyMap;
    keyMap.AddLine("00000001=Stale");
    ModelNameList modelNames{"Stale"};
    LoadKeyMapFile(pipeName, keyMap, modelNames);
    EXPECT_EQ(connected.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the key map opened " << testing::PrintToString(pipeName);
    EXPECT_EQ(modelNames, ModelNameList{"<Unknown>"});
    EXPECT_EQ(keyMap.Count(), 0);
    ::CancelIo(pipe.Get());
}

std::vector<std::wstring> FileNames(const KeyMapCatalog& catalog)
{
    std::vector<std::wstring> names;
    for (const KeyMapFile& file : catalog.files)
        names.push_back(file.fileName + L": " + win::AnsiToWide(file.modelName));
    std::sort(names.begin(), names.end());
    return names;
}

int IndexOf(const KeyMapCatalog& catalog, const std::wstring& fileName)
{
    for (std::size_t i = 0; i < catalog.files.size(); ++i) {
        if (catalog.files[i].fileName == fileName)
            return static_cast<int>(i);
    }
    return -1;
}

// In a folder whose name lies outside any ANSI code page but Cyrillic ones,
// with a key map named so too: paths are wide, the files' text is ANSI.
TEST(KeyMapFolder, ListsEveryCfgEntryWithItsModelName)
{
    ScratchFolder folder(L"keymap-folder-test-\u041f\u0443\u043b\u044c\u0442\u044b");
    folder.Write(L"Beta.cfg", "[Setup]\nName=Same name\n");
    folder.Write(L"alpha.CFG", "[Setup]\nName=Same name\n");
    folder.Write(L"NoName.cfg", "[Keys]\n0000001A=Power\n");
    folder.Write(L"\u0417\u0430\u043b.cfg", "[Setup]\nName=Caf\xE9 remote\n[Keys]\n0000001A=Power\n");
    folder.Write(L"notes.txt", "[Setup]\nName=Not a key map\n");
    folder.MakeFolder(L"Folder.cfg");

    KeyMapCatalog catalog = ListKeyMapFiles(folder.Path(), L"ALPHA.cfg");
    EXPECT_EQ(FileNames(catalog),
              (std::vector<std::wstring>{L"Beta.cfg: Same name", L"Folder.cfg: <Unknown>", L"NoName.cfg: <Unknown>",
                                         L"alpha.CFG: Same name",
                                         L"\u0417\u0430\u043b.cfg: " + win::AnsiToWide("Caf\xE9 remote")}));
    EXPECT_EQ(catalog.chosen, IndexOf(catalog, L"alpha.CFG")) << "the setting matches whatever the letter case";
    EXPECT_EQ(ChosenKeyMapFileName(catalog, IndexOf(catalog, L"Beta.cfg")), L"Beta.cfg")
        << "of two models with the same name, each stores its own file";
    EXPECT_EQ(ListKeyMapFiles(folder.Path(), L"\u0437\u0430\u043b.CFG").chosen,
              IndexOf(catalog, L"\u0417\u0430\u043b.cfg"))
        << "a file name beyond the ANSI code page matches in any letter case";

    KeyMap keyMap;
    ModelNameList modelNames;
    LoadKeyMapFile(folder.PathOf(L"\u0417\u0430\u043b.cfg"), keyMap, modelNames);
    EXPECT_EQ(modelNames, ModelNameList{"Caf\xE9 remote"}) << "the text stays ANSI";
    EXPECT_EQ(ValueFor(keyMap, "0000001A"), "Power");

    EXPECT_EQ(ListKeyMapFiles(folder.Path(), L"Gone.cfg").chosen, 0) << "no match: the first file listed";
}

TEST(KeyMapFolder, WithoutKeyMapsNothingIsChosenAndTheDVDRemoteIsStored)
{
    ScratchFolder folder(L"keymap-folder-test");
    folder.Write(L"readme.txt", "");
    KeyMapCatalog catalog = ListKeyMapFiles(folder.Path(), L"PelcatoPCIDVD.cfg");
    EXPECT_TRUE(catalog.files.empty());
    EXPECT_EQ(ChosenKeyMapFileName(catalog, -1), L"PelcatoPCIDVD.cfg");
    EXPECT_EQ(ChosenKeyMapFileName(catalog, 0), L"PelcatoPCIDVD.cfg");
    EXPECT_TRUE(ListKeyMapFiles(folder.PathOf(L"missing\\"), L"x.cfg").files.empty());
}

TEST(ShippedKeyMaps, EveryEntryIsAReachableCodeAndModelsAreDistinct)
{
    KeyMapCatalog catalog = ListKeyMapFiles(ProgramFolder(), L"PelcatoPCIDVD.cfg");
    ASSERT_EQ(catalog.files.size(), 2u);
    EXPECT_EQ(catalog.files[catalog.chosen].fileName, L"PelcatoPCIDVD.cfg");
    EXPECT_NE(catalog.files[0].modelName, catalog.files[1].modelName);
    for (const KeyMapFile& file : catalog.files) {
        std::string shownName = win::WideToAnsi(file.fileName);
        KeyMap keyMap;
        ModelNameList modelNames;
        LoadKeyMapFile(ProgramFolder() + file.fileName, keyMap, modelNames);
        EXPECT_GT(keyMap.Count(), 0) << shownName;
        EXPECT_LE(modelNames[0].size(), 63u) << shownName;
        for (int i = 0; i < keyMap.Count(); ++i) {
            std::string name(NameOfLine(keyMap, i));
            EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF"), std::string::npos) << shownName << ": " << name;
            EXPECT_EQ(name.size(), 8u) << shownName << ": " << name;
            EXPECT_EQ(keyMap.IndexOfName(name), i) << shownName << ": " << name << " twice";
            EXPECT_FALSE(ValueOfLine(keyMap, i).empty()) << shownName << ": " << name;
            EXPECT_EQ(Describe(keyMap.Repeat(i)), Describe(kSettingsPace))
                << shownName << ": " << name << " repeats as the settings say until a user says otherwise";
        }
    }
}

}  // namespace
