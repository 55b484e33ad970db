#include "Settings.h"

#include "IniFile.h"
#include "KeyMapFiles.h"

#include "core/PluginState.h"

namespace {

// In the order they are read and written.
constexpr const TimingSetting* kWaitSettings[] = {&kWait1Setting, &kWaitNSetting, &kWaitRSetting};

IniFile TheSettingsFile()
{
    return IniFile(SettingsFilePath(ThePlugin().moduleFileName));
}

void ReadTiming(const IniFile& settings, const TimingSetting& setting, SettingsValues& values)
{
    std::atomic<std::int32_t>& value = values.*setting.value;
    value = settings.ReadInteger(kSettingsSection, setting.key, value);
}

void WriteTiming(const IniFile& settings, const TimingSetting& setting, const SettingsValues& values)
{
    settings.WriteInteger(kSettingsSection, setting.key, values.*setting.value);
}

std::int32_t ReadDevice(const IniFile& settings, const SettingsValues& values)
{
    return settings.ReadInteger(kSettingsSection, kDeviceKey, values.device);
}

bool ReadChipTypeTM(const IniFile& settings, const SettingsValues& values)
{
    return settings.ReadBool(kSettingsSection, kChipTypeTMKey, values.chipTypeTM);
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

std::string SettingsFilePath(std::string_view moduleFileName)
{
    std::size_t lastDelimiter = moduleFileName.find_last_of(".\\:");
    if (lastDelimiter != std::string_view::npos && moduleFileName[lastDelimiter] == '.')
        moduleFileName = moduleFileName.substr(0, lastDelimiter);
    return std::string(moduleFileName) + ".ini";
}

std::string PluginFolder(std::string_view moduleFileName)
{
    std::size_t lastDelimiter = moduleFileName.find_last_of("\\:");
    return std::string(lastDelimiter == std::string_view::npos ? std::string_view{}
                                                               : moduleFileName.substr(0, lastDelimiter + 1));
}

std::string ReadActiveKeyMapFileName(const IniFile& settings)
{
    return settings.ReadString(kSettingsSection, kKeyMapFileKey, kLoadedKeyMapFile);
}

void LoadReceiverConfig()
{
    PluginState& plugin = ThePlugin();
    SettingsValues& values = plugin.settings;
    std::string keyMapFile;
    {
        IniFile settings = TheSettingsFile();
        keyMapFile = ReadActiveKeyMapFileName(settings);
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
    IniFile settings = TheSettingsFile();
    for (const TimingSetting* wait : kWaitSettings)
        ReadTiming(settings, *wait, ThePlugin().settings);
}

void SaveTimingSettings()
{
    IniFile settings = TheSettingsFile();
    for (const TimingSetting* wait : kWaitSettings)
        WriteTiming(settings, *wait, ThePlugin().settings);
}

DialogChoices ReadDialogChoices()
{
    const SettingsValues& values = ThePlugin().settings;
    IniFile settings = TheSettingsFile();
    DialogChoices stored;
    stored.keyMapFile = settings.ReadString(kSettingsSection, kKeyMapFileKey, kProposedKeyMapFile);
    stored.device = ReadDevice(settings, values);
    stored.chipTypeTM = ReadChipTypeTM(settings, values);
    return stored;
}

void WriteDialogChoices(const DialogChoices& choices)
{
    IniFile settings = TheSettingsFile();
    settings.WriteBool(kSettingsSection, kChipTypeTMKey, choices.chipTypeTM);
    WriteTiming(settings, kIntervalSetting, ThePlugin().settings);
    settings.WriteInteger(kSettingsSection, kDeviceKey, choices.device);
    settings.WriteString(kSettingsSection, kKeyMapFileKey, choices.keyMapFile);
}
