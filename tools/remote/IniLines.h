#pragma once
// The lines of an initialisation file with their numbers. The private-profile
// functions read a file without saying where anything came from; this scan
// splits the raw text the way they do, so that what they returned can be
// traced back to a line a person can find in an editor.

#include <string>
#include <string_view>
#include <vector>

struct IniLine {
    int number;           // from 1
    std::string section;  // the section it lies in, as written
    std::string name;     // the text before the first "=", or the whole line, trimmed
};

// The name the profile functions give a line: the text before its first "=",
// or the whole line when it has none.
std::string_view RawEntryName(std::string_view line);

// The entry lines of the file, in file order: no section headers, blank or
// comment lines. A file that cannot be read has none. Text in UTF-16 is
// turned into the ANSI code page first, as the profile functions do.
std::vector<IniLine> ReadIniLines(const std::wstring& path);

// The number of the first entry called name in section, letters compared
// without regard to case; 0 when there is none.
int FindIniLine(const std::vector<IniLine>& lines, std::string_view section, std::string_view name);
