#include "plugin/config/KeyMap.h"

#include "plugin/config/TextCase.h"

NameValue SplitNameValue(std::string_view line)
{
    std::size_t separator = line.find('=');
    if (separator == std::string_view::npos)
        return {};
    return {line.substr(0, separator), line.substr(separator + 1), true};
}

std::size_t KeyMap::FoldedHash::operator()(std::string_view name) const noexcept
{
    // FNV-1a over the upper-cased bytes, so that either case of a name lands
    // in the same bucket.
    std::size_t hash = 2166136261u;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(AsciiUpper(c));
        hash *= 16777619u;
    }
    return hash;
}

bool KeyMap::FoldedEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    return EqualIgnoringCase(a, b);
}

void KeyMap::Clear()
{
    lines_.clear();
    firstLineOfName_.clear();
}

void KeyMap::AddLine(std::string line, int modelIndex)
{
    NameValue parts = SplitNameValue(line);
    if (parts.hasSeparator) {
        // emplace keeps an earlier line of the same name.
        firstLineOfName_.emplace(AsciiUpperCase(parts.name), Count());
    }
    lines_.push_back({std::move(line), modelIndex, {}});
}

int KeyMap::IndexOfName(std::string_view name) const
{
    auto found = firstLineOfName_.find(name);
    return found == firstLineOfName_.end() ? -1 : found->second;
}

std::string_view NameOfLine(const KeyMap& keyMap, int index)
{
    if (index < 0 || index >= keyMap.Count())
        return {};
    return SplitNameValue(keyMap.Line(index)).name;
}

std::string_view ValueOfLine(const KeyMap& keyMap, int index)
{
    if (index < 0 || index >= keyMap.Count())
        return {};
    return SplitNameValue(keyMap.Line(index)).value;
}
