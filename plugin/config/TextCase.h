#pragma once
// Letter case two ways. Code texts and the receiver's device names are ASCII
// and must compare the same whatever code page the user runs; file names
// compare as Windows compares them, with every script's letters.

#include <string_view>

// Only a to z change: a byte above 127 means nothing fixed across code pages.
constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether two file names name the same file on a Windows file system, which
// ignores letter case: "Café.CFG" and "café.cfg" are one file.
bool SameFileName(std::wstring_view a, std::wstring_view b);
