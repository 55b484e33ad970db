#pragma once
// Letter case two ways. Code texts and the receiver's device names are ASCII
// and must compare the same whatever code page the user runs; file names
// compare as Windows compares them, with every script's letters.

#include <string>
#include <string_view>

// Only a to z change: a byte above 127 means nothing fixed across code pages.
constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The text with a to z upper-cased: the form under which names that compare
// without regard to case are kept in an index.
std::string AsciiUpperCase(std::string_view text);

// Whether a and b are equal but for the case of ASCII letters: how the key
// map compares code texts, and how an ini file compares section names.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Whether two file names name the same file on a Windows file system, which
// ignores letter case: "Café.CFG" and "café.cfg" are one file.
bool SameFileName(std::wstring_view a, std::wstring_view b);
