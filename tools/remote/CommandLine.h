#pragma once
// What the commands make of their arguments: the parsing that more than one
// command shares.

#include <optional>
#include <string_view>

// A count of seconds from the command line: digits only, 1 to maxSeconds.
std::optional<int> ParseSeconds(std::wstring_view text, int maxSeconds);
