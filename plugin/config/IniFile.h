#pragma once
// An initialisation file, read and written through the Windows
// private-profile functions. It holds only the path: every read and write
// goes to the file at once, nothing is cached, and an object lives only as
// long as the routine that made it.
//
// Integers are decimal text. A missing entry, or text that is not a 32-bit
// decimal integer, yields the default. A boolean is true for any integer
// other than 0 and is written as 1 or 0. No write reports failure: a file
// that cannot be written leaves it as it was. A path too long for the ANSI
// file functions names no file: it reads as empty and takes no writes.

#include <cstdint>
#include <string>
#include <vector>

class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    std::string ReadString(const char* section, const char* key, const std::string& defaultValue) const;
    std::int32_t ReadInteger(const char* section, const char* key, std::int32_t defaultValue) const;
    bool ReadBool(const char* section, const char* key, bool defaultValue) const;
    // The entries of section as "name=value" lines, in file order.
    std::vector<std::string> ReadSectionValues(const char* section) const;

    void WriteString(const char* section, const char* key, const std::string& value) const;
    void WriteInteger(const char* section, const char* key, std::int32_t value) const;
    void WriteBool(const char* section, const char* key, bool value) const;

private:
    // The private-profile functions may fault on a path beyond their limit
    // (a file name in a hand-edited setting can be any length), so such a
    // path never reaches them.
    bool Usable() const;

    std::string path_;
};

// The text as a 32-bit decimal integer, an optional sign before the digits;
// false for anything else, an out-of-range number included.
bool ParseDecimal(const std::string& text, std::int32_t& value);
