#include "plugin/config/Settings.h"

#include "plugin/config/IniFile.h"
#include "plugin/config/KeyMapFiles.h"

#include "common/win/AnsiText.h"
#include "plugin/core/PluginState.h"

#include <algorithm>

namespace {

// In the order they are read and written.
constexpr const TimingSetting* kWaitSettings[] = {&kWait1Setting, &kWaitNSetting, &kWaitRSetting};

// The settings file as the plug-in sees it: the entries it did not take
// stand in for its own. Writes go on after a failed one, so that every key
// the file does take is stored; the first failure is the one reported.
class SettingsFile {
public:
    explicit SettingsFile(PluginState& plugin)
        : file_(SettingsFilePath(plugin.moduleFileName)), unsaved_(plugin.unsavedSettings)
    {
    }

    std::wstring ReadWideString(const char* key, const std::wstring& defaultValue) const
    {
        const std::wstring* unsaved = unsaved_.Find(key);
        return unsaved ? *unsaved : file_.ReadWideString(kSettingsSection, key, defaultValue);
    }

    std::int32_t ReadInteger(const char* key, std::int32_t defaultValue) const
    {
        std::int32_t value;
        return ParseDecimal(win::WideToAnsi(ReadWideString(key, L"")), value) ? value : defaultValue;
    }

    bool ReadBool(const char* key, bool defaultValue) const { return ReadInteger(key, defaultValue ? 1 : 0) != 0; }

    void Write(const char* key, const std::wstring& value)
    {
        IniWriteResult result = file_.WriteString(kSettingsSection, key, value);
        if (result == 0) {
            unsaved_.Forget(key);
            return;
        }
        unsaved_.Remember(key, value);
        if (!firstFailure_)
            firstFailure_ = SettingsWriteFailure{file_.Path(), result};
    }
    void WriteInteger(const char* key, std::int32_t value) { Write(key, std::to_wstring(value)); }
    void WriteBool(const char* key, bool value) { Write(key, value ? L"1" : L"0"); }

    const SettingsWriteResult& FirstFailure() const { return firstFailure_; }

private:
    IniFile file_;
    UnsavedSettings& unsaved_;
    SettingsWriteResult firstFailure_;
};

void ReadTiming(const SettingsFile& settings, const TimingSetting& setting, SettingsValues& values)
{
    std::atomic<std::int32_t>& value = values.*setting.value;
    value = settings.ReadInteger(setting.key, value);
}

void WriteTiming(SettingsFile& settings, const TimingSetting& setting, const SettingsValues& values)
{
    settings.WriteInteger(setting.key, values.*setting.value);
}

std::int32_t ReadDevice(const SettingsFile& settings, const SettingsValues& values)
{
    return settings.ReadInteger(kDeviceKey, values.device);
}

bool ReadChipTypeTM(const SettingsFile& settings, const SettingsValues& values)
{
    return settings.ReadBool(kChipTypeTMKey, values.chipTypeTM);
}

}  // namespace

SettingsValues& SettingsValues::operator=(const SettingsValues& other)
{
    interval = other.interval.load();
    wait1 = other.wait1.load();
    waitN = other.waitN.load();
    waitR = other.waitR.load();
    device = other.device;
    chipTypeTM = other.chipTypeTM;
    return *this;
}

std::wstring SettingsFilePath(std::wstring_view moduleFileName)
{
    std::size_t lastDelimiter = moduleFileName.find_last_of(L".\\:");
    if (lastDelimiter != std::wstring_view::npos && moduleFileName[lastDelimiter] == L'.')
        moduleFileName = moduleFileName.substr(0, lastDelimiter);
    return std::wstring(moduleFileName) + L".ini";
}

std::wstring PluginFolder(std::wstring_view moduleFileName)
{
    std::size_t lastDelimiter = moduleFileName.find_last_of(L"\\:");
    return std::wstring(lastDelimiter == std::wstring_view::npos ? std::wstring_view{}
                                                                 : moduleFileName.substr(0, lastDelimiter + 1));
}

std::wstring ReadActiveKeyMapFileName(const IniFile& settings)
{
    return settings.ReadWideString(kSettingsSection, kKeyMapFileKey, kLoadedKeyMapFile);
}

const std::wstring* UnsavedSettings::Find(std::string_view key) const
{
    auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.key == key; });
    return entry == entries_.end() ? nullptr : &entry->value;
}

void UnsavedSettings::Remember(std::string_view key, std::wstring value)
{
    Forget(key);
    entries_.push_back({std::string(key), std::move(value)});
}

void UnsavedSettings::Forget(std::string_view key)
{
    std::erase_if(entries_, [&](const Entry& e) { return e.key == key; });
}

void LoadReceiverConfig()
{
    PluginState& plugin = ThePlugin();
    SettingsValues& values = plugin.settings;
    std::wstring keyMapFile;
    {
        SettingsFile settings(plugin);
        keyMapFile = settings.ReadWideString(kKeyMapFileKey, kLoadedKeyMapFile);
        ReadTiming(settings, kIntervalSetting, values);
        values.device = ReadDevice(settings, values);
        if (values.device < 0)
            values.device = 0;
        values.chipTypeTM = ReadChipTypeTM(settings, values);
    }
    if (plugin.keyMap && plugin.modelNames)
        LoadKeyMapFile(PluginFolder(plugin.moduleFileName) + keyMapFile, *plugin.keyMap, *plugin.modelNames);
    plugin.codeTextDigits = 8;
}

void ReadTimingSettings()
{
    SettingsFile settings(ThePlugin());
    for (const TimingSetting* wait : kWaitSettings)
        ReadTiming(settings, *wait, ThePlugin().settings);
}

SettingsWriteResult SaveTimingSettings()
{
    SettingsFile settings(ThePlugin());
    for (const TimingSetting* wait : kWaitSettings)
        WriteTiming(settings, *wait, ThePlugin().settings);
    return settings.FirstFailure();
}

DialogChoices ReadDialogChoices()
{
    const SettingsValues& values = ThePlugin().settings;
    SettingsFile settings(ThePlugin());
    DialogChoices stored;
    stored.keyMapFile = settings.ReadWideString(kKeyMapFileKey, kProposedKeyMapFile);
    stored.device = ReadDevice(settings, values);
    stored.chipTypeTM = ReadChipTypeTM(settings, values);
    return stored;
}

SettingsWriteResult WriteDialogChoices(const DialogChoices& choices)
{
    SettingsFile settings(ThePlugin());
    settings.WriteBool(kChipTypeTMKey, choices.chipTypeTM);
    WriteTiming(settings, kIntervalSetting, ThePlugin().settings);
    if (choices.device)
        settings.WriteInteger(kDeviceKey, *choices.device);
    settings.Write(kKeyMapFileKey, choices.keyMapFile);
    return settings.FirstFailure();
}
