#include "plugin/config/KeyMapFiles.h"

#include <windows.h>

#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "plugin/config/PlainFile.h"
#include "plugin/config/Settings.h"
#include "plugin/config/TextCase.h"

#include <charconv>
#include <limits>
#include <optional>
#include <unordered_map>

namespace {

std::string ModelNameOf(const IniFile& file)
{
    return file.ReadString("Setup", "Name", kUnknownModelName);
}

std::string_view Trimmed(std::string_view text)
{
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number with an optional minus sign. One too large for 64
// bits still is a number, the largest, which no range holds.
std::optional<std::int64_t> WholeNumber(std::string_view text)
{
    std::int64_t value = 0;
    const char* last = text.data() + text.size();
    auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || end != last || (error != std::errc{} && error != std::errc::result_out_of_range))
        return std::nullopt;
    return error == std::errc{} ? value : std::numeric_limits<std::int64_t>::max();
}

bool InRange(std::int64_t value, const TimingSetting& setting)
{
    return value >= setting.min && value <= setting.max;
}

// Gives each key-map line the rule of its key name and judges every entry of
// section "Repeat". A file without the section costs nothing here; one with
// it costs a pass over the key map, on the host's thread at the load.
void ApplyRepeatSection(std::vector<std::string> section, KeyMap& keyMap, std::vector<RepeatEntry>& entries)
{
    if (section.empty())
        return;
    struct KeyName {
        bool inKeys = false;
        std::optional<std::size_t> counting;  // the entry whose rule the key takes
        KeyRepeat repeat;                     // that entry's rule
    };
    std::unordered_map<std::string, KeyName> names;
    std::vector<KeyName*> nameOfEntry;  // the elements of an unordered_map stay where they are
    for (std::string& line : section) {
        // The profile functions call the whole of a line without "=" its
        // name; such a line gives no rule.
        NameValue parts = SplitNameValue(line);
        ParsedRepeat parsed = parts.hasSeparator ? ParseRepeatRule(parts.value)
                                                 : ParsedRepeat{{}, RepeatVerdict::kNotNoOrTwoNumbers};
        KeyName& name = names[AsciiUpperCase(Trimmed(parts.hasSeparator ? parts.name : std::string_view(line)))];
        std::size_t index = entries.size();
        std::size_t counting = index;
        if (parsed.verdict == RepeatVerdict::kApplies) {
            if (name.counting) {
                parsed.verdict = RepeatVerdict::kGivenAgain;
                counting = *name.counting;
            } else {
                name.counting = index;
                name.repeat = parsed.repeat;
            }
        }
        nameOfEntry.push_back(&name);
        entries.push_back({std::move(line), parsed.verdict, counting});
    }

    for (int i = 0; i < keyMap.Count(); ++i) {
        NameValue parts = SplitNameValue(keyMap.Line(i));
        if (!parts.hasSeparator)
            continue;
        auto found = names.find(AsciiUpperCase(parts.value));
        if (found == names.end())
            continue;
        found->second.inKeys = true;
        if (found->second.counting)
            keyMap.SetRepeat(i, found->second.repeat);
    }

    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!nameOfEntry[i]->inKeys)
            entries[i].verdict = RepeatVerdict::kNamesNoKey;
    }
}

}  // namespace

ParsedRepeat ParseRepeatRule(std::string_view rule)
{
    rule = Trimmed(rule);
    if (EqualIgnoringCase(rule, "no"))
        return {{KeyRepeat::Kind::kNever}, RepeatVerdict::kApplies};
    std::size_t comma = rule.find(',');
    if (comma == std::string_view::npos)
        return {{}, RepeatVerdict::kNotNoOrTwoNumbers};
    std::optional<std::int64_t> wait1 = WholeNumber(Trimmed(rule.substr(0, comma)));
    std::optional<std::int64_t> waitN = WholeNumber(Trimmed(rule.substr(comma + 1)));
    if (!wait1 || !waitN)
        return {{}, RepeatVerdict::kNotNoOrTwoNumbers};
    if (!InRange(*wait1, kWait1Setting) || !InRange(*waitN, kWaitNSetting))
        return {{}, RepeatVerdict::kOutOfRange};
    return {{KeyRepeat::Kind::kOwnPace, static_cast<std::int32_t>(*wait1), static_cast<std::int32_t>(*waitN)},
            RepeatVerdict::kApplies};
}

void LoadKeyMapFile(const std::wstring& path, KeyMap& keyMap, ModelNameList& modelNames,
                    std::vector<RepeatEntry>* repeatEntries)
{
    std::vector<RepeatEntry> ownEntries;
    std::vector<RepeatEntry>& entries = repeatEntries ? *repeatEntries : ownEntries;
    entries.clear();
    modelNames.clear();
    keyMap.Clear();
    // The profile functions would open a device behind the name, and Open
    // would wait on it; anything but a plain file reads as a missing one.
    if (!IsPlainFile(path)) {
        modelNames.push_back(kUnknownModelName);
        return;
    }
    IniFile file(path);
    modelNames.push_back(ModelNameOf(file));
    for (std::string& line : file.ReadSectionValues("Keys"))
        keyMap.AddLine(std::move(line));
    ApplyRepeatSection(file.ReadSectionValues(kRepeatSection), keyMap, entries);
}

KeyMapCatalog ListKeyMapFiles(const std::wstring& folder, std::wstring_view defaultConfig)
{
    KeyMapCatalog catalog;
    WIN32_FIND_DATAW entry;
    win::FindHandle search = win::FindFirst(folder + L"*.cfg", entry);
    if (!search)
        return catalog;
    do {
        // A folder named like a key map is listed too, as "<Unknown>", and is
        // not opened; nor is a file whose name Windows takes for a device.
        bool readable = !(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) &&
                        !IsDeviceNameOrPattern(entry.cFileName);
        if (SameFileName(entry.cFileName, defaultConfig))
            catalog.chosen = static_cast<int>(catalog.files.size());
        catalog.files.push_back(
            {entry.cFileName, readable ? ModelNameOf(IniFile(folder + entry.cFileName)) : kUnknownModelName});
    } while (::FindNextFileW(search.Get(), &entry));
    return catalog;
}

std::wstring ChosenKeyMapFileName(const KeyMapCatalog& catalog, int selected)
{
    if (selected < 0 || selected >= static_cast<int>(catalog.files.size()))
        return kProposedKeyMapFile;
    return catalog.files[selected].fileName;
}
