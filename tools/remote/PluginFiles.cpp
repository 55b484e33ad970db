#include "PluginFiles.h"

#include "common/win/ModulePath.h"
#include "config/IniFile.h"
#include "config/KeyMapFiles.h"
#include "config/Settings.h"
#include "core/PluginState.h"

#include <windows.h>

#include <cstring>
#include <ostream>

namespace {

constexpr char kPluginFileName[] = "Pelcato.dll";

bool FileExists(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string ToolFolder()
{
    return win::ModuleFolder();
}

std::string VirtualStorePath(const std::string& path)
{
    char localAppData[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA("LOCALAPPDATA", localAppData, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || path.size() < 3 || path[1] != ':' || path[2] != '\\')
        return {};
    return std::string(localAppData) + "\\VirtualStore" + path.substr(2);
}

PluginFiles FindPluginFiles(const std::string& folder)
{
    PluginFiles files;
    files.folder = folder;
    std::string besidePlugin = SettingsFilePath(folder + kPluginFileName);
    std::string virtualised = VirtualStorePath(besidePlugin);
    if (!virtualised.empty() && FileExists(virtualised)) {
        files.settingsFile = virtualised;
        files.shadowedFile = besidePlugin;
    } else {
        files.settingsFile = besidePlugin;
    }
    return files;
}

namespace {

void ReportShadowedSettings(const PluginFiles& files, std::ostream& out)
{
    if (files.shadowedFile.empty())
        return;
    out << "Settings in effect: " << files.settingsFile << "\n"
        << "  Windows keeps this copy for the host and gives it to the plug-in in place of\n"
        << "  " << files.shadowedFile << ": edits to that file do nothing while the copy exists.\n";
}

}  // namespace

PluginSettings ReadPluginSettings(const PluginFiles& files, std::ostream& out)
{
    ReportShadowedSettings(files, out);
    // The plug-in's routines read the file beside the module they are told
    // of; a module named like the settings file in effect reads that one.
    PluginState& plugin = ThePlugin();
    std::string module = files.settingsFile.substr(0, files.settingsFile.size() - 4) + ".dll";
    std::strncpy(plugin.moduleFileName, module.c_str(), sizeof plugin.moduleFileName - 1);
    // The routines keep a value in memory for a key the file lacks; every
    // read starts from the built-in values, as a freshly loaded plug-in does.
    SettingsValues& values = plugin.settings;
    values = SettingsValues();
    LoadReceiverConfig();
    ReadTimingSettings();

    PluginSettings settings;
    settings.interval = values.interval;
    settings.wait1 = values.wait1;
    settings.waitN = values.waitN;
    settings.waitR = values.waitR;
    settings.chipTypeTM = values.chipTypeTM;
    settings.codeTextDigits = plugin.codeTextDigits;
    IniFile file(files.settingsFile);
    std::int32_t device = 0;
    if (ParseDecimal(file.ReadString(kSettingsSection, kDeviceKey, ""), device))
        settings.device = values.device;
    settings.keyMapFile = ReadActiveKeyMapFileName(file);
    // Key maps are only read, so Windows never redirects them: they come
    // from the plug-in's folder whatever happened to the settings file.
    LoadKeyMapFile(files.folder + settings.keyMapFile, settings.keyMap, settings.modelNames);
    return settings;
}
