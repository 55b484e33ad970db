#include "plugin/config/PlainFile.h"

#include "plugin/config/TextCase.h"

#include <windows.h>

#include <algorithm>

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Device names are ASCII; a letter beyond it never matches one.
bool EqualsAsciiIgnoringCase(std::wstring_view text, std::string_view name)
{
    return std::equal(text.begin(), text.end(), name.begin(), name.end(), [](wchar_t c, char n) {
        return c < 128 && AsciiUpper(static_cast<char>(c)) == AsciiUpper(n);
    });
}

// Windows takes a reserved name for its device whatever extension or
// trailing spaces follow it, so "com1 .cfg" still opens the port.
bool IsReservedName(std::wstring_view component)
{
    std::wstring_view stem = component.substr(0, component.find_first_of(L".:"));
    while (!stem.empty() && stem.back() == L' ')
        stem.remove_suffix(1);
    for (std::string_view name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualsAsciiIgnoringCase(stem, name))
            return true;
    }
    if (stem.size() != 4 || stem[3] < L'1' || stem[3] > L'9')
        return false;
    return EqualsAsciiIgnoringCase(stem.substr(0, 3), "COM") || EqualsAsciiIgnoringCase(stem.substr(0, 3), "LPT");
}

}  // namespace

bool IsDeviceNameOrPattern(std::wstring_view path)
{
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && IsSeparator(path[3])) {
        if (path[2] == L'.')
            return true;
        // "\\?\" only turns off the parsing of what follows; its '?' is no wildcard.
        if (path[2] == L'?')
            path.remove_prefix(4);
    }
    if (path.find_first_of(L"*?") != std::wstring_view::npos)
        return true;
    std::size_t lastSeparator = path.find_last_of(L"\\/");
    std::wstring_view component = lastSeparator == std::wstring_view::npos ? path : path.substr(lastSeparator + 1);
    // "C:NUL" names the device as well.
    if (component.size() >= 2 && component[1] == L':')
        component.remove_prefix(2);
    return IsReservedName(component);
}

bool IsPlainFile(const std::wstring& path)
{
    if (path.size() >= MAX_PATH || IsDeviceNameOrPattern(path))
        return false;
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}
