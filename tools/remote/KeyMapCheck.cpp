#include "tools/remote/KeyMapCheck.h"

#include "tools/remote/IniLines.h"
#include "tools/remote/PluginFiles.h"

#include "common/win/FileKind.h"
#include "plugin/config/CodeText.h"
#include "plugin/config/IniFile.h"
#include "plugin/config/KeyMap.h"
#include "plugin/config/TextCase.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/config/Settings.h"
#include "plugin/core/RemoteEvent.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace {

// A code text is 8 hexadecimal digits; 255 means "no code" and never
// reaches the key map.
constexpr std::size_t kCodeTextLength = 8;
constexpr std::uint32_t kHighestCode = 0xFE;

std::string Quoted(std::string_view text)
{
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

// The value of text read as hexadecimal digits alone, if that is all it is.
std::optional<std::uint32_t> HexValue(std::string_view text)
{
    std::uint32_t value = 0;
    auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc{} || last != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string CodeTextOf(std::uint32_t code)
{
    char text[kCodeTextMaxDigits + 1];
    FormatCodeText(code, kCodeTextLength, text);
    return text;
}

// Why an entry called name can never match a code; empty when it can.
std::string WhyNeverMatched(std::string_view name)
{
    std::optional<std::uint32_t> code = HexValue(name);
    if (name.size() == kCodeTextLength && code) {
        if (*code <= kHighestCode)
            return {};
        return Quoted(name) + " never matches: the receiver's codes run from 00000000 to 000000FE";
    }
    // A code written some other way, such as 1A or 0x1A: say how to write it.
    std::string_view digits = name;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    std::optional<std::uint32_t> meant = HexValue(digits);
    std::string example = meant && *meant <= kHighestCode ? "; write " + CodeTextOf(*meant) : ", such as 0000001A";
    return Quoted(name) + " never matches: a code is 8 hexadecimal digits" + example;
}

// The line of each entry that the profile functions gave for section, named
// in their order: they return a section's entries in file order, so the n-th
// entry of a name is that name's n-th raw entry there.
std::vector<int> LineNumbersOf(std::string_view section, const std::vector<std::string_view>& names,
                               const std::vector<IniLine>& rawLines)
{
    std::map<std::string_view, std::vector<int>> rawNumbers;
    for (const IniLine& raw : rawLines) {
        if (EqualIgnoringCase(raw.section, section))
            rawNumbers[raw.name].push_back(raw.number);
    }
    std::map<std::string_view, std::size_t> used;
    std::vector<int> numbers;
    for (std::string_view name : names) {
        auto raw = rawNumbers.find(name);
        std::size_t nth = used[name]++;
        numbers.push_back(raw != rawNumbers.end() && nth < raw->second.size() ? raw->second[nth] : 0);
    }
    return numbers;
}

std::vector<int> LineNumbersOfKeys(const KeyMap& keyMap, const std::vector<IniLine>& rawLines)
{
    std::vector<std::string_view> names;
    for (int i = 0; i < keyMap.Count(); ++i)
        names.push_back(RawEntryName(keyMap.Line(i)));
    return LineNumbersOf("Keys", names, rawLines);
}

// The findings of one file, which go out ordered by line.
class FileFindings {
public:
    explicit FileFindings(std::string file) : file_(std::move(file)) {}

    void Add(int line, std::string text) { findings_.push_back({file_, line, std::move(text)}); }

    void MoveTo(std::vector<Finding>& all)
    {
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        all.insert(all.end(), findings_.begin(), findings_.end());
    }

private:
    std::string file_;
    std::vector<Finding> findings_;
};

void CheckKeys(const KeyMap& keyMap, const std::vector<int>& lineNumbers, FileFindings& findings)
{
    if (keyMap.Count() == 0) {
        findings.Add(0, "no entries under [Keys]: every button reaches the host as its code text");
        return;
    }
    std::map<std::string, int> firstLineOfCode;
    for (int i = 0; i < keyMap.Count(); ++i) {
        int number = lineNumbers[i];
        std::string_view line = keyMap.Line(i);
        NameValue entry = SplitNameValue(line);
        if (!entry.hasSeparator) {
            findings.Add(number, Quoted(line) + " is no entry (it has no \"=\"), so it maps nothing");
            continue;
        }
        std::string name(entry.name);
        if (std::string why = WhyNeverMatched(name); !why.empty()) {
            findings.Add(number, why);
            continue;
        }
        std::string code = CodeTextOf(*HexValue(name));
        auto [first, isFirst] = firstLineOfCode.emplace(code, number);
        if (!isFirst) {
            std::string where = first->second > 0 ? ", on line " + std::to_string(first->second) + "," : "";
            findings.Add(number, "code " + code + " is given again; only the first" + where + " counts");
            continue;
        }
        std::string_view keyName = entry.value;
        if (keyName.empty())
            findings.Add(number, "code " + code + " has an empty key name: the host receives a key without a name");
        else if (keyName.size() > kKeyNameLimit)
            findings.Add(number, "the key name of " + code + " has " + std::to_string(keyName.size()) +
                                     " characters; the host receives only the first 123");
    }
}

std::string RangeText(const TimingSetting& setting)
{
    return std::to_string(setting.min) + " to " + std::to_string(setting.max) + " ms";
}

// An entry of section Repeat that does not apply changes nothing, without a
// word from the plug-in. The finding says no more than that: a later entry
// for the same key may still give it a rule.
void CheckRepeats(const std::vector<RepeatEntry>& entries, const std::vector<IniLine>& rawLines,
                  FileFindings& findings)
{
    std::vector<std::string_view> names;
    for (const RepeatEntry& entry : entries)
        names.push_back(RawEntryName(entry.line));
    std::vector<int> lineNumbers = LineNumbersOf(kRepeatSection, names, rawLines);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const RepeatEntry& entry = entries[i];
        NameValue parts = SplitNameValue(entry.line);
        std::string key = Quoted(parts.name);
        switch (entry.verdict) {
        case RepeatVerdict::kApplies:
            break;
        case RepeatVerdict::kNamesNoKey:
            findings.Add(lineNumbers[i], "[Repeat] names " + Quoted(names[i]) +
                                             ", which is no key name under [Keys], so the entry changes nothing");
            break;
        case RepeatVerdict::kNotNoOrTwoNumbers:
            if (!parts.hasSeparator)
                findings.Add(lineNumbers[i],
                             Quoted(entry.line) + " is no entry (it has no \"=\"), so it changes nothing");
            else
                findings.Add(lineNumbers[i], "the rule " + Quoted(parts.value) + " for " + key +
                                                 " is neither \"no\" nor two numbers such as 200,60, so the entry "
                                                 "changes nothing");
            break;
        case RepeatVerdict::kOutOfRange:
            findings.Add(lineNumbers[i], "the rule " + Quoted(parts.value) + " for " + key +
                                             " lies outside the setup dialog's ranges, " + RangeText(kWait1Setting) +
                                             " before the first repeat and " + RangeText(kWaitNSetting) +
                                             " between repeats, so the entry changes nothing");
            break;
        case RepeatVerdict::kGivenAgain: {
            int first = entry.counting < lineNumbers.size() ? lineNumbers[entry.counting] : 0;
            std::string where = first > 0 ? ", on line " + std::to_string(first) + "," : "";
            findings.Add(lineNumbers[i], key + " is given a rule again under [Repeat]; only the first" + where +
                                             " counts");
            break;
        }
        }
    }
}

void CheckModelName(const std::string& modelName, int nameLine, FileFindings& findings)
{
    if (modelName.empty() || (nameLine == 0 && modelName == kUnknownModelName))
        findings.Add(nameLine, "no model name (Name= under [Setup]): the dialog lists it as <Unknown>, and its "
                             "keys reach the host under that name");
    else if (modelName.size() > kModelNameLimit)
        findings.Add(nameLine, "the model name has " + std::to_string(modelName.size()) +
                                 " characters; key events carry only the first 63");
}

// Two models of one name look alike in the dialog, and their keys reach the
// host under the same model name. Files without a name are told so already.
void CheckModelNameIsOwn(const KeyMapCatalog& catalog, std::size_t index, int nameLine, FileFindings& findings)
{
    const std::string& name = catalog.files[index].modelName;
    if (name.empty() || name == kUnknownModelName)
        return;
    for (std::size_t other = 0; other < catalog.files.size(); ++other) {
        if (other != index && catalog.files[other].modelName == name)
            findings.Add(nameLine, "the model name " + Quoted(name) + " is also that of " +
                                       Printable(catalog.files[other].fileName) +
                                       ": the setup dialog lists the two alike");
    }
}

void CheckKeyMapFile(const std::wstring& folder, const KeyMapCatalog& catalog, std::size_t index,
                     FileFindings& findings)
{
    std::wstring path = folder + catalog.files[index].fileName;
    if (win::IsFolder(path)) {
        findings.Add(0, "a folder, not a key map; the setup dialog still lists it, as <Unknown>");
        return;
    }
    KeyMap keyMap;
    ModelNameList modelNames;
    std::vector<RepeatEntry> repeatEntries;
    LoadKeyMapFile(path, keyMap, modelNames, &repeatEntries);
    std::vector<IniLine> rawLines = ReadIniLines(path);
    int nameLine = FindIniLine(rawLines, "Setup", "Name");
    CheckModelName(modelNames[0], nameLine, findings);
    CheckModelNameIsOwn(catalog, index, nameLine, findings);
    CheckKeys(keyMap, LineNumbersOfKeys(keyMap, rawLines), findings);
    CheckRepeats(repeatEntries, rawLines, findings);
}

void CheckActiveKeyMap(const std::wstring& folder, const std::wstring& settingsPath, std::vector<Finding>& findings)
{
    std::wstring active = ReadActiveKeyMapFileName(IniFile(settingsPath));
    if (win::IsFile(folder + active))
        return;
    int line = FindIniLine(ReadIniLines(settingsPath), kSettingsSection, kKeyMapFileKey);
    std::string consequence = ": every button reaches the host as its code text until a model is chosen in the setup "
                              "dialog";
    std::string missing = Quoted(Printable(active)) + ", which is not in this folder" + consequence;
    if (line > 0)
        findings.push_back({kSettingsFileName, line, "DefaultConfig names " + missing});
    else if (win::IsFile(settingsPath))
        findings.push_back({kSettingsFileName, 0, "no DefaultConfig under [Main]: the plug-in loads " + missing});
    else
        findings.push_back({kSettingsFileName, 0, "no settings file: the plug-in loads " + missing});
}

}  // namespace

std::vector<Finding> CheckKeyMapFolder(const std::wstring& folder, const std::wstring& settingsFile)
{
    std::vector<Finding> findings;
    KeyMapCatalog catalog = ListKeyMapFiles(folder, L"");
    for (std::size_t i = 0; i < catalog.files.size(); ++i) {
        FileFindings fileFindings(Printable(catalog.files[i].fileName));
        CheckKeyMapFile(folder, catalog, i, fileFindings);
        fileFindings.MoveTo(findings);
    }
    CheckActiveKeyMap(folder, settingsFile, findings);
    return findings;
}

std::string FormatFinding(const Finding& finding)
{
    std::string text = finding.file;
    if (finding.line > 0)
        text.append("(").append(std::to_string(finding.line)).append(")");
    return text.append(": ").append(finding.text);
}

std::string NameProblem(std::string_view name, std::size_t limit)
{
    if (name.empty())
        return "cannot be empty";
    if (name.size() > limit)
        return "has " + std::to_string(name.size()) + " characters; the host receives only the first " +
               std::to_string(limit);
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return "cannot hold control characters";
        if (byte > 0x7F)
            return "takes letters, digits and punctuation of plain ASCII only: the console's other letters reach "
                   "the key map as different ones";
    }
    if (name.front() == ' ' || name.back() == ' ')
        return "cannot begin or end with a blank: the key map's reader drops it";
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return "cannot be in quotes: the key map's reader drops them";
    if (name.find('=') != std::string_view::npos)
        return "cannot hold \"=\": where a line begins with a name, \"=\" ends it";
    if (name.front() == ';' || name.front() == '[')
        return std::string("cannot begin with \"") + name.front() +
               "\": at the start of a line it begins a comment or a section";
    return {};
}
