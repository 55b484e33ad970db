#pragma once
// The key-map checker: reads the key maps of a folder and the settings file
// beside them as the plug-in reads them, and finds what would fail without a
// word at run time: entries no code can match, codes given twice, key and
// model names that are empty or get cut, models that look alike in the
// setup dialog, repeat rules that change nothing, and an active key map
// that is not there.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The settings file that Pelcato.dll keeps beside itself, as findings name it.
inline constexpr char kSettingsFileName[] = "Pelcato.ini";

struct Finding {
    std::string file;  // without folder
    int line;          // from 1; 0 when it concerns the file as a whole
    std::string text;
};

// The findings for every "*.cfg" entry of folder, in the order the folder
// lists them and by line within a file, then those for the settings file
// in effect there. folder ends with a path separator. None means every key
// map works as written.
std::vector<Finding> CheckKeyMapFolder(const std::wstring& folder, const std::wstring& settingsFile);

// "File.cfg(12): text", or "File.cfg: text" for the file as a whole: the
// form editors and build logs understand.
std::string FormatFinding(const Finding& finding);

// Why name cannot be written into a key map as a key or model name that the
// host then receives as typed, to follow "The name": "cannot be empty".
// Empty when it can. Besides what check reports of the names it reads
// (empty, longer than the record holds: limit), this refuses what would not
// read back as written: blanks or quotes around the name, which the reader
// drops, and control characters, which break the line. Names also stand at
// the start of lines, as the names of entries that refer to a key, so "="
// and a first ";" or "[" are refused too. Plain ASCII only: the console's
// code page is not the one the key map is read in.
std::string NameProblem(std::string_view name, std::size_t limit);
