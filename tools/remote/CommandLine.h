#pragma once
// What the commands make of their arguments: the parsing that more than one
// command shares.

#include <optional>
#include <string>
#include <string_view>

// An argument's characters below 128 as themselves, any other as other: the
// arguments that the commands parse are ASCII, whatever code page runs.
std::string AsciiText(std::wstring_view text, char other);

// A count of seconds from the command line: digits only, 1 to maxSeconds.
std::optional<int> ParseSeconds(std::wstring_view text, int maxSeconds);
