#pragma once
// The key-map files: one per remote model, "*.cfg" in the plug-in's folder,
// read only. Section "Setup" holds the model's name, section "Keys" one
// "code text=key name" entry per button.

#include "plugin/config/IniFile.h"
#include "plugin/config/KeyMap.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr char kUnknownModelName[] = "<Unknown>";

// Replaces the key map with the file's section "Keys" and the model names
// with the file's one model name. A file that cannot be read, and a path
// that names no plain file (a device, a folder, a pattern), which is never
// opened, leave an empty key map under "<Unknown>".
void LoadKeyMapFile(const std::wstring& path, KeyMap& keyMap, ModelNameList& modelNames);

struct KeyMapFile {
    std::wstring fileName;  // without folder, as the folder listing spells it
    std::string modelName;
};

// The key-map files of a folder, in the order the listing gives them, with
// the one to preselect: the file named defaultConfig, letters compared
// without regard to case, else the first.
struct KeyMapCatalog {
    std::vector<KeyMapFile> files;
    int chosen = 0;  // index into files; meaningless while files is empty
};

// folder ends with a path separator.
KeyMapCatalog ListKeyMapFiles(const std::wstring& folder, std::wstring_view defaultConfig);

// The file name to store as the active key map for the dialog's choice, an
// index into catalog.files or -1 for none: without one, the file the dialog
// proposes.
std::wstring ChosenKeyMapFileName(const KeyMapCatalog& catalog, int selected);
