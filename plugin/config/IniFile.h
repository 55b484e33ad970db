#pragma once
// An initialisation file, read and written through the Windows
// private-profile functions. It holds only the path: every read and write
// goes to the file at once, nothing is cached, and an object lives only as
// long as the routine that made it.
//
// The path is UTF-16, so that the file may lie in a folder of any name; the
// file's text stays in the ANSI code page, which is what ReadString gives.
// ReadWideString gives the same text as UTF-16, for a file name that becomes
// part of a path, and WriteString takes UTF-16; the profile functions turn
// it into the file's own code page.
//
// Integers are decimal text. A missing entry, or text that is not a 32-bit
// decimal integer, yields the default. A boolean is true for any integer
// other than 0. A write reports whether the file
// took it; one that failed leaves the file as it was. A path too long for
// the profile functions names no file: it reads as empty and takes no writes.

#include <cstdint>
#include <string>
#include <vector>

// ERROR_SUCCESS, or the system's error code for a write the file did not take.
using IniWriteResult = std::uint32_t;

class IniFile {
public:
    explicit IniFile(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const { return path_; }

    std::string ReadString(const char* section, const char* key, const std::string& defaultValue) const;
    std::wstring ReadWideString(const char* section, const char* key, const std::wstring& defaultValue) const;
    std::int32_t ReadInteger(const char* section, const char* key, std::int32_t defaultValue) const;
    // The entries of section as "name=value" lines, in file order.
    std::vector<std::string> ReadSectionValues(const char* section) const;

    [[nodiscard]] IniWriteResult WriteString(const char* section, const char* key, const std::wstring& value) const;
    [[nodiscard]] IniWriteResult WriteInteger(const char* section, const char* key, std::int32_t value) const;

private:
    // The private-profile functions may fault on a path beyond their limit
    // (a file name in a hand-edited setting can be any length), so such a
    // path never reaches them.
    bool PathFits() const;

    std::wstring path_;
};

// The text as a 32-bit decimal integer, an optional sign before the digits;
// false for anything else, an out-of-range number included.
bool ParseDecimal(const std::string& text, std::int32_t& value);
