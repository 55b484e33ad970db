#include "plugin/config/Settings.h"

#include "plugin/config/IniFile.h"

#include "common/win/AnsiText.h"

#include <algorithm>

namespace {

// In the order they are read and written.
constexpr const TimingSetting* kWaitSettings[] = {&kWait1Setting, &kWaitNSetting, &kWaitRSetting};

// The settings file as the plug-in sees it: the entries it did not take
// stand in for its own.
class SettingsFile {
public:
    SettingsFile(const std::wstring& file, const UnsavedSettings& unsaved) : file_(file), unsaved_(unsaved) {}

    std::wstring ReadWideString(const char* key, const std::wstring& defaultValue) const
    {
        const std::wstring* unsaved = unsaved_.Find(key);
        return unsaved ? *unsaved : file_.ReadWideString(kSettingsSection, key, defaultValue);
    }

    std::optional<std::int32_t> ReadInteger(const char* key) const
    {
        std::int32_t value;
        if (!ParseDecimal(win::WideToAnsi(ReadWideString(key, L"")), value))
            return std::nullopt;
        return value;
    }

    bool ReadBool(const char* key, bool defaultValue) const { return ReadInteger(key).value_or(defaultValue) != 0; }

private:
    IniFile file_;
    const UnsavedSettings& unsaved_;
};

// Writes go on after a failed one, so that every key the file does take is
// stored; the first failure is the one reported. An entry the file did not
// take becomes a stand-in, and one it took no longer needs one.
class SettingsWriter {
public:
    SettingsWriter(const std::wstring& file, UnsavedSettings& unsaved) : file_(file), unsaved_(unsaved) {}

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
    value = settings.ReadInteger(setting.key).value_or(value);
}

void WriteTiming(SettingsWriter& settings, const TimingSetting& setting, const SettingsValues& values)
{
    settings.WriteInteger(setting.key, values.*setting.value);
}

// None when neither the file nor a stand-in gives a number.
std::optional<std::int32_t> ReadDevice(const SettingsFile& settings)
{
    return settings.ReadInteger(kDeviceKey);
}

bool ReadChipTypeTM(const SettingsFile& settings, const SettingsValues& values)
{
    return settings.ReadBool(kChipTypeTMKey, values.chipTypeTM);
}

}  // namespace

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

ReceiverSettings ReadReceiverSettings(const std::wstring& file, const UnsavedSettings& unsaved,
                                      SettingsValues& values)
{
    SettingsFile settings(file, unsaved);
    ReceiverSettings read;
    read.keyMapFile = settings.ReadWideString(kKeyMapFileKey, kLoadedKeyMapFile);
    ReadTiming(settings, kIntervalSetting, values);
    std::optional<std::int32_t> device = ReadDevice(settings);
    read.deviceStored = device.has_value();
    values.device = device.value_or(values.device);
    values.chipTypeTM = ReadChipTypeTM(settings, values);
    return read;
}

void ReadWaitSettings(const std::wstring& file, const UnsavedSettings& unsaved, SettingsValues& values)
{
    SettingsFile settings(file, unsaved);
    for (const TimingSetting* wait : kWaitSettings)
        ReadTiming(settings, *wait, values);
}

SettingsWriteResult WriteWaitSettings(const std::wstring& file, UnsavedSettings& unsaved,
                                      const SettingsValues& values)
{
    SettingsWriter settings(file, unsaved);
    for (const TimingSetting* wait : kWaitSettings)
        WriteTiming(settings, *wait, values);
    return settings.FirstFailure();
}

DialogChoices ReadDialogSettings(const std::wstring& file, const UnsavedSettings& unsaved,
                                 const SettingsValues& values)
{
    SettingsFile settings(file, unsaved);
    DialogChoices stored;
    stored.keyMapFile = settings.ReadWideString(kKeyMapFileKey, kProposedKeyMapFile);
    stored.device = ReadDevice(settings).value_or(values.device);
    stored.chipTypeTM = ReadChipTypeTM(settings, values);
    return stored;
}

SettingsWriteResult WriteDialogSettings(const std::wstring& file, UnsavedSettings& unsaved,
                                        const SettingsValues& values, const DialogChoices& choices)
{
    SettingsWriter settings(file, unsaved);
    settings.WriteBool(kChipTypeTMKey, choices.chipTypeTM);
    WriteTiming(settings, kIntervalSetting, values);
    if (choices.device)
        settings.WriteInteger(kDeviceKey, *choices.device);
    settings.Write(kKeyMapFileKey, choices.keyMapFile);
    return settings.FirstFailure();
}
