#include "KeyMapFiles.h"

#include <windows.h>

#include "PlainFile.h"
#include "Settings.h"
#include "TextCase.h"
#include "common/win/Handle.h"

namespace {

std::string ModelNameOf(const IniFile& file)
{
    return file.ReadString("Setup", "Name", kUnknownModelName);
}

}  // namespace

void LoadKeyMapFile(const std::string& path, KeyMap& keyMap, ModelNameList& modelNames)
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

KeyMapCatalog ListKeyMapFiles(const std::string& folder, std::string_view defaultConfig)
{
    KeyMapCatalog catalog;
    std::string wanted = AnsiUpperCase(defaultConfig);
    WIN32_FIND_DATAA entry;
    win::FindHandle search = win::FindFirst(folder + "*.cfg", entry);
    if (!search)
        return catalog;
    do {
        // A folder named like a key map is listed too, as "<Unknown>", and is
        // not opened; nor is a file whose name Windows takes for a device.
        bool readable = !(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) &&
                        !NamesDeviceOrPattern(entry.cFileName);
        if (AnsiUpperCase(entry.cFileName) == wanted)
            catalog.chosen = static_cast<int>(catalog.files.size());
        catalog.files.push_back(
            {entry.cFileName, readable ? ModelNameOf(IniFile(folder + entry.cFileName)) : kUnknownModelName});
    } while (::FindNextFileA(search.Get(), &entry));
    return catalog;
}

std::string ChosenKeyMapFileName(const KeyMapCatalog& catalog, int selected)
{
    if (selected < 0 || selected >= static_cast<int>(catalog.files.size()))
        return kProposedKeyMapFile;
    return catalog.files[selected].fileName;
}
