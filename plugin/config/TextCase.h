#pragma once
// Upper case two ways. Code texts and the receiver's device names are ASCII
// and must compare the same whatever code page the user runs; file names are
// in the ANSI code page, where accented letters have an upper case too.

#include <string>
#include <string_view>

// Only a to z change: a byte above 127 means nothing fixed across code pages.
constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Upper case as the ANSI code page has it, so that a file name with accented
// letters still matches its setting.
std::string AnsiUpperCase(std::string_view text);
