#pragma once
// The key-map files: one per remote model, "*.cfg" in the plug-in's folder,
// read only. Section "Setup" holds the model's name, section "Keys" one
// "code text=key name" entry per button, and the optional section "Repeat"
// one "key name=rule" entry per key that does not repeat as the settings
// say: "no" for a key that never repeats, "wait1,waitN" for a pace of its
// own. A plug-in that knows no "Repeat" reads the other two as before.

#include "plugin/config/IniFile.h"
#include "plugin/config/KeyMap.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kUnknownModelName[] = "<Unknown>";
inline constexpr char kRepeatSection[] = "Repeat";

// What an entry of section "Repeat" does. Every verdict but kApplies leaves
// its key as it was: a mistyped entry must not change how a key behaves.
enum class RepeatVerdict {
    kApplies,
    kNamesNoKey,          // no line of section "Keys" has that key name
    kNotNoOrTwoNumbers,   // the rule is neither "no" nor "wait1,waitN"
    kOutOfRange,          // wait1 or waitN lies outside the dialog's range for Wait1 or WaitN
    kGivenAgain,          // an earlier entry already gave the key its rule
};

// A rule as written, "no" or "wait1,waitN" with blanks allowed around each
// part and "no" in any letter case; the verdict is kApplies,
// kNotNoOrTwoNumbers or kOutOfRange.
struct ParsedRepeat {
    KeyRepeat repeat;
    RepeatVerdict verdict;
};
ParsedRepeat ParseRepeatRule(std::string_view rule);

// One entry of section "Repeat" as the load took it.
struct RepeatEntry {
    std::string line;  // "key name=rule", as the section gave it
    RepeatVerdict verdict;
    std::size_t counting;  // kGivenAgain: the index of the entry that counts
};

// Replaces the key map with the file's section "Keys", each line with the
// rule that section "Repeat" gives its key name (key names compared without
// regard to ASCII letter case, like the rest of the file), and the model
// names with the file's one model name. A file that cannot be read, and a
// path that names no plain file (a device, a folder, a pattern), which is
// never opened, leave an empty key map under "<Unknown>". The verdict on
// each entry of section "Repeat" goes to repeatEntries when it is given.
void LoadKeyMapFile(const std::wstring& path, KeyMap& keyMap, ModelNameList& modelNames,
                    std::vector<RepeatEntry>* repeatEntries = nullptr);

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
