#include "tools/remote/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <string>

std::string AsciiText(std::wstring_view text, char other)
{
    std::string ascii(text.size(), other);
    std::transform(text.begin(), text.end(), ascii.begin(),
                   [other](wchar_t c) { return c < 128 ? static_cast<char>(c) : other; });
    return ascii;
}

std::optional<int> ParseSeconds(std::wstring_view wideText, int maxSeconds)
{
    std::string ascii = AsciiText(wideText, '?');
    std::string_view text = ascii;
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '-' || text[0] == '+' || error != std::errc{} || end != text.data() + text.size() ||
        value < 1 || value > maxSeconds)
        return std::nullopt;
    return value;
}
