#include "tools/remote/PluginFiles.h"

#include "common/win/AnsiText.h"
#include "common/win/FileKind.h"
#include "common/win/ModulePath.h"
#include "plugin/config/IniFile.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/config/Settings.h"
#include "plugin/core/PluginState.h"

#include <windows.h>

#include <ostream>

namespace {

constexpr wchar_t kPluginFileName[] = L"Pelcato.dll";

}  // namespace

std::wstring ToolFolder()
{
    return win::ModuleFolder();
}

std::string Printable(const std::wstring& path)
{
    return win::WideToAnsi(path);
}

std::wstring VirtualStorePath(const std::wstring& path)
{
    wchar_t localAppData[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || path.size() < 3 || path[1] != L':' || path[2] != L'\\')
        return {};
    return std::wstring(localAppData) + L"\\VirtualStore" + path.substr(2);
}

PluginFiles FindPluginFiles(const std::wstring& folder)
{
    PluginFiles files;
    files.folder = folder;
    std::wstring besidePlugin = SettingsFilePath(folder + kPluginFileName);
    std::wstring virtualised = VirtualStorePath(besidePlugin);
    if (!virtualised.empty() && win::IsFile(virtualised)) {
        files.settingsFile = virtualised;
        files.shadowedFile = besidePlugin;
    } else {
        files.settingsFile = besidePlugin;
    }
    return files;
}

void ReportShadowedSettings(const PluginFiles& files, std::ostream& out)
{
    if (files.shadowedFile.empty())
        return;
    out << "Settings in effect: " << Printable(files.settingsFile) << "\n"
        << "  Windows keeps this copy for the host and gives it to the plug-in in place of\n"
        << "  " << Printable(files.shadowedFile) << ": edits to that file do nothing while the copy exists.\n";
}

PluginSettings ReadPluginSettings(const PluginFiles& files, std::ostream& out)
{
    ReportShadowedSettings(files, out);
    // The plug-in's routines read the file beside the module they are told
    // of; a module named like the settings file in effect reads that one.
    PluginState& plugin = ThePlugin();
    plugin.moduleFileName = files.settingsFile.substr(0, files.settingsFile.size() - 4) + L".dll";
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
