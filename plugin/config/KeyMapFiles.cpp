#include "plugin/config/KeyMapFiles.h"

#include <windows.h>

#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "plugin/config/PlainFile.h"
#include "plugin/config/Settings.h"
#include "plugin/config/TextCase.h"

namespace {

std::string ModelNameOf(const IniFile& file)
{
    return file.ReadString("Setup", "Name", kUnknownModelName);
}

}  // namespace

void LoadKeyMapFile(const std::wstring& path, KeyMap& keyMap, ModelNameList& modelNames)
{
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
