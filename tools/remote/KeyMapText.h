#pragma once
// A key map's text as learn changes it, a line at a time: every line it does
// not change stays as written, comments and other sections included, so that
// a key map that a person keeps by hand survives being learnt into.

#include <string>
#include <string_view>
#include <vector>

class KeyMapText {
public:
    // The file's text as ReadIniText gives it; empty for a new file.
    explicit KeyMapText(std::string_view text);

    // The whole text, each line ending as the file's lines end (CR LF in a
    // new file, as Windows writes ini files).
    std::string Text() const;

    // Sets [Setup] Name: in its line, or in a [Setup] section put before the
    // first section, for a file without one.
    void SetModelName(std::string_view name);
    // Maps codeText to keyName. The entry of [Keys] that the plug-in takes
    // for the code (the first whose name is the code text in any letter
    // case) keeps its place; without one, the entry goes after the last
    // entry of [Keys], which is added at the end when the file has none.
    void SetKey(std::string_view codeText, std::string_view keyName);

private:
    // Puts line in place of the section's first entry called name, else
    // after the section's last entry; false when the file has no such
    // section.
    bool SetEntry(std::string_view section, std::string_view name, std::string_view line);
    // The index of the first entry line called name in section, or -1.
    int FindEntry(std::string_view section, std::string_view name) const;
    // The index of the last line of section that is an entry or its header,
    // or -1.
    int LastLineOf(std::string_view section) const;
    void Insert(int index, std::string_view line);
    void Replace(int index, std::string_view line);

    std::vector<std::string> lines_;  // without their line feeds
    std::string lineEnd_;             // "\r" where lines end with CR LF
};
