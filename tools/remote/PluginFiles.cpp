#include "tools/remote/PluginFiles.h"

#include "common/win/AnsiText.h"
#include "common/win/FileKind.h"
#include "common/win/ModulePath.h"
#include "plugin/config/CodeText.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/config/Settings.h"

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
    // Every read starts from the built-in values, as a freshly loaded
    // plug-in does, and with none of the stand-ins that only a running
    // plug-in has.
    SettingsValues values;
    const UnsavedSettings noStandIns;
    ReceiverSettings read = ReadReceiverSettings(files.settingsFile, noStandIns, values);
    ReadWaitSettings(files.settingsFile, noStandIns, values);

    PluginSettings settings;
    settings.interval = values.interval;
    settings.wait1 = values.wait1;
    settings.waitN = values.waitN;
    settings.waitR = values.waitR;
    if (read.deviceStored)
        settings.device = values.device;
    settings.chipTypeTM = values.chipTypeTM;
    settings.codeTextDigits = kKeyMapCodeDigits;
    settings.keyMapFile = read.keyMapFile;
    // Key maps are only read, so Windows never redirects them: they come
    // from the plug-in's folder whatever happened to the settings file.
    LoadKeyMapFile(files.folder + settings.keyMapFile, settings.keyMap, settings.modelNames);
    return settings;
}
