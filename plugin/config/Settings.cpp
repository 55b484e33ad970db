#include "Settings.h"

#include "IniFile.h"
#include "KeyMapFiles.h"

#include "core/PluginState.h"

namespace {

constexpr char kMain[] = "Main";

IniFile TheSettingsFile()
{
    return IniFile(SettingsFilePath(ThePlugin().moduleFileName));
}

}  // namespace

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

void LoadReceiverConfig()
{
    PluginState& plugin = ThePlugin();
    std::string keyMapFile;
    {
        IniFile settings = TheSettingsFile();
        keyMapFile = ReadActiveKeyMapFileName(settings);
        plugin.interval = settings.ReadInteger(kMain, "Interval", plugin.interval);
        plugin.device = settings.ReadInteger(kMain, "Device", plugin.device);
        if (plugin.device < 0)
            plugin.device = 0;
        plugin.chipTypeTM = settings.ReadBool(kMain, "ChipTypeTM", plugin.chipTypeTM);
    }
    if (plugin.keyMap && plugin.modelNames)
        LoadKeyMapFile(PluginFolder(plugin.moduleFileName) + keyMapFile, *plugin.keyMap, *plugin.modelNames);
    plugin.codeTextDigits = 8;
}

void ReadTimingSettings()
{
    PluginState& plugin = ThePlugin();
    IniFile settings = TheSettingsFile();
    plugin.wait1 = settings.ReadInteger(kMain, "Wait1", plugin.wait1);
    plugin.waitN = settings.ReadInteger(kMain, "WaitN", plugin.waitN);
    plugin.waitR = settings.ReadInteger(kMain, "WaitR", plugin.waitR);
}

void SaveTimingSettings()
{
    const PluginState& plugin = ThePlugin();
    IniFile settings = TheSettingsFile();
    settings.WriteInteger(kMain, "Wait1", plugin.wait1);
    settings.WriteInteger(kMain, "WaitN", plugin.waitN);
    settings.WriteInteger(kMain, "WaitR", plugin.waitR);
}

DialogSettings ReadDialogSettings()
{
    const PluginState& plugin = ThePlugin();
    IniFile settings = TheSettingsFile();
    DialogSettings presets;
    presets.defaultConfig = settings.ReadString(kMain, "DefaultConfig", kDialogDefaultKeyMapFile);
    // Without the keys, the dialog shows what the plug-in uses: the device
    // that the receiver picked by its name, not simply the first one.
    presets.device = settings.ReadInteger(kMain, "Device", plugin.device);
    presets.chipTypeTM = settings.ReadBool(kMain, "ChipTypeTM", plugin.chipTypeTM);
    return presets;
}

void WriteDialogSettings(const DialogSettings& choices)
{
    IniFile settings = TheSettingsFile();
    settings.WriteBool(kMain, "ChipTypeTM", choices.chipTypeTM);
    settings.WriteInteger(kMain, "Interval", ThePlugin().interval);
    settings.WriteInteger(kMain, "Device", choices.device);
    settings.WriteString(kMain, "DefaultConfig", choices.defaultConfig);
}
