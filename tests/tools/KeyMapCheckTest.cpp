// The key-map checker on folders made to hold one problem each, on files
// whose lines must still be counted right, and on the key maps we ship.

#include "tools/remote/KeyMapCheck.h"

#include "common/win/AnsiText.h"
#include "plugin/config/KeyMap.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/core/RemoteEvent.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// A finding as expected: its place, and a piece of its text.
struct Expected {
    const char* place;  // "File.cfg(4)" or "File.cfg" for the whole file
    const char* says;
};

struct FolderCase {
    const char* what;
    std::vector<std::pair<const char*, std::string>> files;
    std::vector<Expected> findings;
};

// The first key entry of a file made by KeyMap() is on line 4.
std::string KeyMap(const std::string& keys, const std::string& name = "Case remote")
{
    return "[Setup]\r\nName=" + name + "\r\n[Keys]\r\n" + keys;
}

const char kSettings[] = "[Main]\r\nDefaultConfig=Case.cfg\r\n";

std::string Place(const Finding& finding)
{
    return finding.line > 0 ? finding.file + "(" + std::to_string(finding.line) + ")" : finding.file;
}

class CheckedFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(CheckedFolder, ReportsEachProblemAtItsLine)
{
    const FolderCase& test = GetParam();
    ScratchFolder folder(L"keymap-check-test");
    for (const auto& [name, text] : test.files) {
        std::wstring wideName = win::AnsiToWide(name);
        if (wideName.back() == L'\\')
            folder.MakeFolder(wideName);
        else
            folder.Write(wideName, text);
    }
    std::vector<Finding> findings = CheckKeyMapFolder(folder.Path(), folder.PathOf(L"Pelcato.ini"));

    std::string all;
    for (const Finding& finding : findings)
        all += "\n  " + FormatFinding(finding);
    ASSERT_EQ(findings.size(), test.findings.size()) << test.what << all;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        EXPECT_EQ(Place(findings[i]), test.findings[i].place) << test.what << all;
        EXPECT_NE(findings[i].text.find(test.findings[i].says), std::string::npos) << test.what << all;
    }
}

const std::string kLongest(123, 'K');

INSTANTIATE_TEST_SUITE_P(
    Entries, CheckedFolder,
    testing::Values(
        FolderCase{"clean", {{"Case.cfg", KeyMap("0000001A=Power\r\n000000fe=Last\r\n")}, {"Pelcato.ini", kSettings}}, {}},
        FolderCase{"short and prefixed codes",
                   {{"Case.cfg", KeyMap("1A=Power\r\n0x0b=Up\r\n0000001G=Bad\r\n")}, {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(4)", "\"1A\" never matches: a code is 8 hexadecimal digits; write 0000001A"},
                    {"Case.cfg(5)", "write 0000000B"},
                    {"Case.cfg(6)", "such as 0000001A"}}},
        FolderCase{"codes the receiver never reports",
                   {{"Case.cfg", KeyMap("000000FF=NoCode\r\n0000011A=Wide\r\n")}, {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(4)", "codes run from 00000000 to 000000FE"}, {"Case.cfg(5)", "000000FE"}}},
        FolderCase{"a code given twice, in another letter case",
                   {{"Case.cfg", KeyMap("0000001a=Power\r\n0000000B=Up\r\n0000001A=Again\r\n")},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(6)", "code 0000001A is given again; only the first, on line 4, counts"}}},
        FolderCase{"empty, longest and too long key names, and a line without =",
                   {{"Case.cfg", KeyMap("00000001=\r\n00000002=" + kLongest + "\r\n00000003=" + kLongest +
                                        "K\r\n00000004\r\n")},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(4)", "00000001 has an empty key name"},
                    {"Case.cfg(6)", "has 124 characters; the host receives only the first 123"},
                    {"Case.cfg(7)", "\"00000004\" is no entry"}}},
        FolderCase{"comments, blank lines and other sections still count as lines",
                   {{"Case.cfg", "; remote\n\n[Setup]\nName=Case remote\n[Other]\n1A=Elsewhere\n[Keys]\n; power\n"
                                 "  1A  =  Power\n"},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(9)", "\"1A\" never matches"}}},
        FolderCase{"a key map in UTF-16",
                   {{"Case.cfg", std::string("\xFF\xFE[\0S\0e\0t\0u\0p\0]\0\r\0\n\0N\0a\0m\0e\0=\0U\0\r\0\n\0[\0K\0e\0y\0s\0]"
                                             "\0\r\0\n\0" "1\0A\0=\0P\0\r\0\n\0", 64)},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(4)", "\"1A\" never matches"}}}));

INSTANTIATE_TEST_SUITE_P(
    ModelNames, CheckedFolder,
    testing::Values(
        FolderCase{"no Name, and no keys",
                   {{"Case.cfg", "[Setup]\r\nModel=x\r\n"}, {"Pelcato.ini", kSettings}},
                   {{"Case.cfg", "no model name"}, {"Case.cfg", "no entries under [Keys]"}}},
        FolderCase{"an empty Name", {{"Case.cfg", KeyMap("0000001A=Power\r\n", "")}, {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(2)", "no model name"}}},
        FolderCase{"the longest name and one too long",
                   {{"Case.cfg", KeyMap("0000001A=Power\r\n", std::string(63, 'M'))},
                    {"Long.cfg", KeyMap("0000001A=Power\r\n", std::string(64, 'M'))},
                    {"Pelcato.ini", kSettings}},
                   {{"Long.cfg(2)", "the model name has 64 characters; key events carry only the first 63"}}},
        FolderCase{"two files of one model name",
                   {{"Case.cfg", KeyMap("0000001A=Power\r\n", "Same")},
                    {"Other.cfg", "\r\n" + KeyMap("0000001A=Power\r\n", "Same")},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(2)", "\"Same\" is also that of Other.cfg"},
                    {"Other.cfg(3)", "\"Same\" is also that of Case.cfg"}}},
        FolderCase{"a folder named like a key map",
                   {{"Case.cfg", KeyMap("0000001A=Power\r\n")}, {"Folder.cfg\\", ""}, {"Pelcato.ini", kSettings}},
                   {{"Folder.cfg", "a folder, not a key map"}}}));

// The first [Repeat] entry of a file made by KeyMap() with these keys is on line 7.
const std::string kRepeatKeys = "0000001A=Power\r\n0000000B=VolumeUp\r\n[Repeat]\r\n";

INSTANTIATE_TEST_SUITE_P(
    RepeatRules, CheckedFolder,
    testing::Values(
        FolderCase{"rules that apply, in any letter case",
                   {{"Case.cfg", KeyMap(kRepeatKeys + "power=no\r\nVolumeUp = 50 , 1000\r\n")},
                    {"Pelcato.ini", kSettings}},
                   {}},
        FolderCase{"rules that change nothing",
                   {{"Case.cfg", KeyMap(kRepeatKeys + "Powr=no\r\nPower=fast\r\nVolumeUp=20,60\r\nPower=no\r\n"
                                                      "POWER=200,60\r\nVolumeUp\r\nVolumeUp=200,1001\r\n")},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg(7)", "[Repeat] names \"Powr\", which is no key name under [Keys], so the entry changes "
                                    "nothing"},
                    {"Case.cfg(8)", "the rule \"fast\" for \"Power\" is neither \"no\" nor two numbers such as 200,60, "
                                    "so the entry changes nothing"},
                    {"Case.cfg(9)", "the rule \"20,60\" for \"VolumeUp\" lies outside the setup dialog's ranges, 50 to "
                                    "1000 ms before the first repeat and 50 to 1000 ms between repeats"},
                    {"Case.cfg(11)",
                     "\"POWER\" is given a rule again under [Repeat]; only the first, on line 10, counts"},
                    {"Case.cfg(12)", "\"VolumeUp\" is no entry (it has no \"=\"), so it changes nothing"},
                    {"Case.cfg(13)", "the rule \"200,1001\" for \"VolumeUp\" lies outside"}}},
        FolderCase{"a rule in a key map without keys",
                   {{"Case.cfg", "[Setup]\r\nName=Case remote\r\n[Repeat]\r\nPower=no\r\n"},
                    {"Pelcato.ini", kSettings}},
                   {{"Case.cfg", "no entries under [Keys]"}, {"Case.cfg(4)", "[Repeat] names \"Power\""}}}));

INSTANTIATE_TEST_SUITE_P(
    ActiveKeyMap, CheckedFolder,
    testing::Values(
        FolderCase{"DefaultConfig names a file that is not there",
                   {{"Case.cfg", KeyMap("0000001A=Power\r\n")},
                    {"Pelcato.ini", "[Main]\r\nInterval=50\r\nDefaultConfig=Gone.cfg\r\n"}},
                   {{"Pelcato.ini(3)", "DefaultConfig names \"Gone.cfg\", which is not in this folder"}}},
        FolderCase{"DefaultConfig in another letter case",
                   {{"Case.cfg", KeyMap("0000001A=Power\r\n")}, {"Pelcato.ini", "[main]\r\ndefaultconfig=CASE.CFG\r\n"}},
                   {}},
        FolderCase{"no DefaultConfig",
                   {{"Case.cfg", KeyMap("0000001A=Power\r\n")}, {"Pelcato.ini", "[Main]\r\nInterval=50\r\n"}},
                   {{"Pelcato.ini", "no DefaultConfig under [Main]: the plug-in loads \"Mosker.cfg\""}}},
        FolderCase{"no settings file", {{"Case.cfg", KeyMap("0000001A=Power\r\n")}},
                   {{"Pelcato.ini", "no settings file: the plug-in loads \"Mosker.cfg\""}}},
        FolderCase{"no settings file, and the key map loaded without one is there",
                   {{"Mosker.cfg", KeyMap("0000001A=Power\r\n")}}, {}}));

// The names learn takes: each refused name with a piece of the reason, and
// each taken one must come back from a key map as typed, with nothing that
// check would report.
struct KeyNameCase {
    std::string name;
    const char* refusal;  // empty: taken
    std::size_t limit = kKeyNameLimit;
};

void PrintTo(const KeyNameCase& test, std::ostream* out)
{
    *out << testing::PrintToString(test.name);
}

class LearntKeyName : public testing::TestWithParam<KeyNameCase> {};

TEST_P(LearntKeyName, IsRefusedWithItsReasonOrReadsBackAsTyped)
{
    const KeyNameCase& test = GetParam();
    std::string problem = NameProblem(test.name, test.limit);
    if (*test.refusal) {
        EXPECT_NE(problem.find(test.refusal), std::string::npos)
            << "expected \"" << test.refusal << "\" in the refusal, actual: \"" << problem << "\"";
        return;
    }
    EXPECT_EQ(problem, "") << "expected the name to be taken";
    ScratchFolder folder(L"keymap-name-test");
    std::wstring path = folder.Write(L"Case.cfg", KeyMap("0000001A=" + test.name + "\r\n"));
    folder.Write(L"Pelcato.ini", kSettings);
    class KeyMap keyMap;  // the plug-in's, not this file's text maker
    ModelNameList modelNames;
    LoadKeyMapFile(path, keyMap, modelNames);
    EXPECT_EQ(ValueOfLine(keyMap, 0), test.name) << "the name as the plug-in reads it back";
    for (const Finding& finding : CheckKeyMapFolder(folder.Path(), folder.PathOf(L"Pelcato.ini")))
        ADD_FAILURE() << "check reports a taken name: " << FormatFinding(finding);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LearntKeyName,
    testing::Values(KeyNameCase{"Power", ""}, KeyNameCase{"Volume Up", ""}, KeyNameCase{"Ch+ (next)", ""},
                    KeyNameCase{"A;B[C]", ""}, KeyNameCase{kLongest, ""},
                    KeyNameCase{"", "cannot be empty"},
                    KeyNameCase{kLongest + "K", "has 124 characters; the host receives only the first 123"},
                    KeyNameCase{" Power", "begin or end with a blank"}, KeyNameCase{"Power ", "begin or end with a blank"},
                    KeyNameCase{"\"Power\"", "in quotes"}, KeyNameCase{"Pow\ter", "control characters"},
                    KeyNameCase{"Pow\x7F" "er", "control characters"}, KeyNameCase{"Lautst\xE4rke", "plain ASCII"},
                    KeyNameCase{"A=B", "cannot hold \"=\""}, KeyNameCase{";Power", "cannot begin with \";\""},
                    KeyNameCase{"[Power]", "cannot begin with \"[\""},
                    KeyNameCase{std::string(64, 'M'), "has 64 characters; the host receives only the first 63",
                                kModelNameLimit}));

TEST(ShippedKeyMaps, ComeOutClean)
{
    std::vector<Finding> findings = CheckKeyMapFolder(ProgramFolder(), ProgramFolder() + L"Pelcato.ini");
    for (const Finding& finding : findings)
        ADD_FAILURE() << FormatFinding(finding);
}

}  // namespace
