#include "plugin/core/PluginSettings.h"

#include "plugin/core/PluginState.h"

#include "plugin/config/CodeText.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/receiver/DeviceChoice.h"

namespace {

std::wstring PluginSettingsFile(const PluginState& plugin)
{
    return SettingsFilePath(plugin.moduleFileName);
}

}  // namespace

void LoadReceiverConfig()
{
    PluginState& plugin = ThePlugin();
    ReceiverSettings read = ReadReceiverSettings(PluginSettingsFile(plugin), plugin.unsavedSettings, plugin.settings);
    plugin.settings.device = DeviceOfSetting(plugin.settings.device);
    if (plugin.keyMap && plugin.modelNames)
        LoadKeyMapFile(PluginFolder(plugin.moduleFileName) + read.keyMapFile, *plugin.keyMap, *plugin.modelNames);
    plugin.codeTextDigits = kKeyMapCodeDigits;
}

void ReadTimingSettings()
{
    PluginState& plugin = ThePlugin();
    ReadWaitSettings(PluginSettingsFile(plugin), plugin.unsavedSettings, plugin.settings);
}

SettingsWriteResult SaveTimingSettings()
{
    PluginState& plugin = ThePlugin();
    return WriteWaitSettings(PluginSettingsFile(plugin), plugin.unsavedSettings, plugin.settings);
}

DialogChoices ReadDialogChoices()
{
    const PluginState& plugin = ThePlugin();
    return ReadDialogSettings(PluginSettingsFile(plugin), plugin.unsavedSettings, plugin.settings);
}

SettingsWriteResult WriteDialogChoices(const DialogChoices& choices)
{
    PluginState& plugin = ThePlugin();
    return WriteDialogSettings(PluginSettingsFile(plugin), plugin.unsavedSettings, plugin.settings, choices);
}
