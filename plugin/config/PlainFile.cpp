#include "PlainFile.h"

#include "KeyMap.h"

#include <windows.h>

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Windows takes a reserved name for its device whatever extension or
// trailing spaces follow it, so "com1 .cfg" still opens the port.
bool IsReservedName(std::string_view component)
{
    std::string_view stem = component.substr(0, component.find_first_of(".:"));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    for (std::string_view name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualIgnoringCase(stem, name))
            return true;
    }
    if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9')
        return false;
    return EqualIgnoringCase(stem.substr(0, 3), "COM") || EqualIgnoringCase(stem.substr(0, 3), "LPT");
}

}  // namespace

bool NamesDeviceOrPattern(std::string_view path)
{
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && IsSeparator(path[3])) {
        if (path[2] == '.')
            return true;
        // "\\?\" only turns off the parsing of what follows; its '?' is no wildcard.
        if (path[2] == '?')
            path.remove_prefix(4);
    }
    if (path.find_first_of("*?") != std::string_view::npos)
        return true;
    std::size_t lastSeparator = path.find_last_of("\\/");
    std::string_view component = lastSeparator == std::string_view::npos ? path : path.substr(lastSeparator + 1);
    // "C:NUL" names the device as well.
    if (component.size() >= 2 && component[1] == ':')
        component.remove_prefix(2);
    return IsReservedName(component);
}

bool IsPlainFile(const std::string& path)
{
    if (path.size() >= MAX_PATH || NamesDeviceOrPattern(path))
        return false;
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}
