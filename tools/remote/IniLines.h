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

// The file's text in the ANSI code page, as the profile functions read it:
// without a UTF-8 mark, and turned from UTF-16 when it is in that. Empty
// when the file cannot be read.
std::string ReadIniText(const std::wstring& path);

// What one line of a file's text is to the profile functions.
struct IniTextLine {
    enum Kind { kOther, kSection, kEntry };  // kOther: blank or a comment
    Kind kind;
    std::string section;  // the section it lies in; a header's, its own
    std::string name;     // an entry's name as IniLine gives it; empty for other lines
};

// Each line of text, split at its line feeds, in order.
std::vector<IniTextLine> ScanIniText(std::string_view text);

// The entry lines of the file, in file order: no section headers, blank or
// comment lines. A file that cannot be read has none. Text in UTF-16 is
// turned into the ANSI code page first, as the profile functions do.
std::vector<IniLine> ReadIniLines(const std::wstring& path);

// The number of the first entry called name in section, letters compared
// without regard to case; 0 when there is none.
int FindIniLine(const std::vector<IniLine>& lines, std::string_view section, std::string_view name);
