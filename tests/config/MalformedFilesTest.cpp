// Settings and key-map files are edited by hand. A few hundred generated
// files, from slightly wrong to plain garbage, go through every routine that
// reads them, the key-map checker's included; each must come back with a
// bounded, usable result, and every key event made from what was loaded must
// fit its record.

#include "plugin/config/KeyMapFiles.h"
#include "plugin/config/Settings.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PluginSettings.h"
#include "plugin/core/PluginState.h"
#include "tools/remote/KeyMapCheck.h"

#include "tests/support/ScratchFolder.h"
#include "tests/support/SoakLength.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>

namespace {

// A few hundred in every test run; ten thousand in the soak (PELCATO_SOAK=full).
int CaseCount()
{
    return FullSoakRequested() ? 10000 : 300;
}
// The checker reads every key map in full, where the plug-in reads only the
// active one; every third case is enough for it and keeps the test short.
constexpr int kCheckerEvery = 3;

class FileMaker {
public:
    explicit FileMaker(unsigned seed) : random_(seed) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

    std::string Bytes(int length)
    {
        static constexpr char kTroublesome[] = "[]=;\r\n\0\"\\ ";
        std::string text;
        for (int i = 0; i < length; ++i)
            text += Below(3) == 0 ? kTroublesome[Below(sizeof kTroublesome)] : static_cast<char>(Below(256));
        return text;
    }

    std::string Number()
    {
        static const char* const kNumbers[] = {"0", "-1", "50", "-2147483648", "2147483647", "2147483648",
                                               "99999999999999999999", "-", "+", "+-5", "1e3", "0x10", "$10",
                                               " 7 ", "12abc", "", "\xEF\xBC\x91", "007"};
        return kNumbers[Below(std::size(kNumbers))];
    }

    std::string Name(int maxLength) { return std::string(Below(maxLength), static_cast<char>('A' + Below(26))); }

    std::string Settings(const std::string& keyMapFile)
    {
        std::string text = Below(4) ? "[Main]\r\n" : "[Main\r\n";
        for (const char* key : {"DefaultConfig", "Interval", "Device", "ChipTypeTM", "Wait1", "WaitN", "WaitR"}) {
            if (Below(5) == 0)
                continue;
            std::string value = std::strcmp(key, "DefaultConfig") == 0 ? keyMapFile : Number();
            text += std::string(Below(2) ? key : "interval") + "=" + value + "\r\n";
        }
        return Spoil(text);
    }

    std::string KeyMapFile()
    {
        std::string text = "[Setup]\r\nName=" + Name(Below(4) ? 40 : 300) + "\r\n[Keys]\r\n";
        int entries = Below(10) == 0 ? 3000 : Below(40);
        for (int i = 0; i < entries; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, Below(4) ? "%08X" : "%X", Below(300));
            text += std::string(code) + "=" + Name(Below(8) ? 30 : 400) + "\r\n";
        }
        if (Below(3) == 0) {
            static const char* const kRules[] = {"no", "NO", "200,60", "50,1000", "20,60", "fast", ",", "no,no"};
            text += "[Repeat]\r\n";
            for (int rules = Below(6); rules > 0; --rules) {
                std::string rule = Below(2) ? kRules[Below(std::size(kRules))] : Number() + "," + Number();
                text += Name(Below(8) ? 30 : 400) + "=" + rule + "\r\n";
            }
        }
        return Spoil(text);
    }

    std::string DefaultConfig()
    {
        static const char* const kNames[] = {"Remote.cfg", "REMOTE.CFG", "Missing.cfg", "", "..\\Remote.cfg",
                                             "Sub.cfg", "*.cfg", "Remote.cfg\\x", "C:\\nowhere\\x.cfg", "CON", "NUL", "COM1", "CONIN$"};
        return Below(8) == 0 ? std::string(Below(2) ? 300 : 70000, 'x') : kNames[Below(std::size(kNames))];
    }

private:
    // Damage of the kinds a hand or a broken disk does.
    std::string Spoil(std::string text)
    {
        switch (Below(8)) {
        case 0:
            return Bytes(Below(4096));
        case 1:
            return text.insert(Below(static_cast<int>(text.size())), Bytes(Below(200)));
        case 2:
            return text + std::string(300000, 'L');
        case 3:
            return "\xFF\xFE" + text;  // the mark of a UTF-16 file, on ANSI text
        case 4:
            return text.substr(0, Below(static_cast<int>(text.size()) + 1));
        default:
            return text;
        }
    }

    std::mt19937 random_;
};

class NullSink final : public KeySink {
public:
    bool SendKey(std::int32_t) override { return ++sent, true; }
    void ShowCode(std::uint64_t) override {}
    void ShowRelease() override {}
    int sent = 0;
};

// Every code's key event, made from the loaded key map, fits its record.
void ExpectEveryKeyEventFits(const PluginState& plugin, int caseNumber)
{
    RemoteEvent record{};
    KeyEventTexts texts{};
    NullSink sink;
    KeyTiming timing{300, 100, 200};
    KeyDispatcher dispatcher(record, texts, sink, timing);
    KeyTable table{&*plugin.keyMap, &*plugin.modelNames, plugin.codeTextDigits};
    for (std::uint32_t code = 0; code < 255; code += 17) {
        dispatcher.CodeArrived(code, code * 1000);
        dispatcher.RunPass(code * 1000, timing, table);
        ASSERT_LT(strnlen(record.keyName, sizeof record.keyName), sizeof record.keyName) << "case " << caseNumber;
        ASSERT_LT(strnlen(texts.modelName, sizeof texts.modelName), sizeof texts.modelName) << "case " << caseNumber;
        ASSERT_EQ(std::strlen(texts.codeText), 8u) << "case " << caseNumber;
    }
    EXPECT_GT(sink.sent, 0) << "case " << caseNumber;
}

TEST(MalformedFiles, GiveBoundedResultsAndNeverStall)
{
    PluginState& plugin = ThePlugin();
    FileMaker maker(20261208);
    double slowestMs = 0;
    const int cases = CaseCount();
    for (int caseNumber = 0; caseNumber < cases; ++caseNumber) {
        ScratchFolder folder(L"malformed-test");
        plugin.moduleFileName = folder.PathOf(L"Pelcato.dll");
        folder.Write(L"Pelcato.ini", maker.Settings(maker.DefaultConfig()));
        folder.Write(L"Remote.cfg", maker.KeyMapFile());
        folder.Write(L"Second.cfg", maker.KeyMapFile());
        folder.MakeFolder(L"Sub.cfg");
        plugin.settings.device = maker.Below(3) - 1;
        plugin.keyMap.emplace();
        plugin.modelNames.emplace();

        auto start = std::chrono::steady_clock::now();
        LoadReceiverConfig();
        ReadTimingSettings();
        DialogChoices presets = ReadDialogChoices();
        KeyMapCatalog catalog = ListKeyMapFiles(folder.Path(), presets.keyMapFile);
        std::vector<Finding> findings;
        if (caseNumber % kCheckerEvery == 0)
            findings = CheckKeyMapFolder(folder.Path(), folder.PathOf(L"Pelcato.ini"));
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        slowestMs = std::max(slowestMs, took.count());

        EXPECT_GE(plugin.settings.device, 0) << "case " << caseNumber;
        EXPECT_EQ(plugin.modelNames->size(), 1u) << "case " << caseNumber;
        EXPECT_EQ(plugin.codeTextDigits, 8) << "case " << caseNumber;
        EXPECT_EQ(catalog.files.size(), 3u) << "case " << caseNumber;
        EXPECT_TRUE(catalog.chosen >= 0 && catalog.chosen < 3) << "case " << caseNumber << ": " << catalog.chosen;
        for (const Finding& finding : findings) {
            EXPECT_TRUE(finding.file == "Remote.cfg" || finding.file == "Second.cfg" || finding.file == "Sub.cfg" ||
                        finding.file == "Pelcato.ini")
                << "case " << caseNumber << ": " << FormatFinding(finding);
            EXPECT_GE(finding.line, 0) << "case " << caseNumber;
        }
        ExpectEveryKeyEventFits(plugin, caseNumber);
        if (HasFailure())
            break;
    }
    plugin.keyMap.reset();
    plugin.modelNames.reset();
    std::printf("%d malformed cases; the slowest took %.1f ms\n", cases, slowestMs);
    EXPECT_LT(slowestMs, 5000) << "a case that takes seconds is a stall, not a slow disk";
}

// A generated key map of half a million lines, each short enough that all
// of them fit the largest section the plug-in reads (4 MB), goes through
// Open's load; then every line's code is looked up, as the setup dialog does
// for its rows.
TEST(MalformedFiles, HalfAMillionLinesLoadWholeAndEveryCodeFindsItsFirstLine)
{
    constexpr int kLines = 500000;
    constexpr int kLowerCaseTwin = 10;  // "0000A"; the last line spells it "0000a"
    ScratchFolder folder(L"malformed-test");
    std::string text = "[Setup]\r\nName=Huge\r\n[Keys]\r\n";
    for (int line = 0; line < kLines - 1; ++line) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "%05X=K\r\n", line);
        text += entry;
    }
    text += "0000a=K\r\n";
    folder.Write(L"Huge.cfg", text);
    folder.Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Huge.cfg\r\n");
    PluginState& plugin = ThePlugin();
    plugin.moduleFileName = folder.PathOf(L"Pelcato.dll");
    plugin.keyMap.emplace();
    plugin.modelNames.emplace();

    auto start = std::chrono::steady_clock::now();
    LoadReceiverConfig();
    std::chrono::duration<double, std::milli> loadMs = std::chrono::steady_clock::now() - start;
    const KeyMap& keyMap = *plugin.keyMap;
    EXPECT_EQ(keyMap.Count(), kLines);
    EXPECT_EQ(*plugin.modelNames, ModelNameList{"Huge"});

    start = std::chrono::steady_clock::now();
    int firstWrong = -1;
    for (int line = 0; line < keyMap.Count() && firstWrong < 0; ++line) {
        int expected = line == kLines - 1 ? kLowerCaseTwin : line;
        if (keyMap.IndexOfName(NameOfLine(keyMap, line)) != expected)
            firstWrong = line;
    }
    std::chrono::duration<double, std::milli> lookUpMs = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(firstWrong, -1) << "line " << firstWrong << " is found at "
                              << keyMap.IndexOfName(NameOfLine(keyMap, firstWrong));
    EXPECT_EQ(keyMap.IndexOfName("7A120"), -1) << "one past the last code";
    std::printf("%d key-map lines loaded in %.0f ms, each looked up in %.0f ms in all\n", keyMap.Count(),
                loadMs.count(), lookUpMs.count());
    plugin.keyMap.reset();
    plugin.modelNames.reset();
}

}  // namespace
