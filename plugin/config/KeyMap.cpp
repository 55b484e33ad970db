#include "KeyMap.h"

namespace {

char FoldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

int KeyMap::IndexOfName(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i) {
        std::string_view line = lines_[i].text;
        std::size_t separator = line.find('=');
        if (separator != std::string_view::npos && EqualIgnoringCase(line.substr(0, separator), name))
            return i;
    }
    return -1;
}

std::string_view NameOfLine(const KeyMap& keyMap, int index)
{
    if (index < 0 || index >= keyMap.Count())
        return {};
    std::string_view line = keyMap.Line(index);
    std::size_t separator = line.find('=');
    return separator == std::string_view::npos ? std::string_view{} : line.substr(0, separator);
}

std::string_view ValueOfLine(const KeyMap& keyMap, int index)
{
    if (index < 0 || index >= keyMap.Count())
        return {};
    std::string_view line = keyMap.Line(index);
    std::size_t separator = line.find('=');
    return separator == std::string_view::npos ? std::string_view{} : line.substr(separator + 1);
}
