#include "tools/remote/IniLines.h"

#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "plugin/config/KeyMap.h"
#include "plugin/config/TextCase.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

// A key map is a few kilobytes; a file beyond this is not one, and its
// further lines get no numbers.
constexpr LONGLONG kMaxScanBytes = 16 * 1024 * 1024;

std::string ReadBytes(const std::wstring& path)
{
    win::File file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size))
        return {};
    std::string bytes(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, kMaxScanBytes)), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

std::string AnsiTextOf(std::string bytes)
{
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        return bytes.substr(3);
    if (bytes.rfind("\xFF\xFE", 0) != 0)
        return bytes;
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    std::memcpy(wide.data(), bytes.data() + 2, wide.size() * sizeof(wchar_t));
    return win::WideToAnsi(wide);
}

std::string_view Trimmed(std::string_view text)
{
    constexpr char kBlanks[] = " \t\r\f\v";
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::string_view RawEntryName(std::string_view line)
{
    NameValue entry = SplitNameValue(line);
    return entry.hasSeparator ? entry.name : line;
}

std::string ReadIniText(const std::wstring& path)
{
    return AnsiTextOf(ReadBytes(path));
}

std::vector<IniTextLine> ScanIniText(std::string_view text)
{
    std::vector<IniTextLine> lines;
    std::string section;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        std::size_t close = line.find(']');
        if (line.empty() || line[0] == ';') {
            lines.push_back({IniTextLine::kOther, section, {}});
        } else if (line[0] == '[' && close != std::string_view::npos) {
            section = Trimmed(line.substr(1, close - 1));
            lines.push_back({IniTextLine::kSection, section, {}});
        } else {
            lines.push_back({IniTextLine::kEntry, section, std::string(Trimmed(RawEntryName(line)))});
        }
    }
    return lines;
}

std::vector<IniLine> ReadIniLines(const std::wstring& path)
{
    std::vector<IniLine> lines;
    std::string text = ReadIniText(path);
    std::vector<IniTextLine> scanned = ScanIniText(text);
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        if (scanned[i].kind == IniTextLine::kEntry)
            lines.push_back({static_cast<int>(i) + 1, scanned[i].section, scanned[i].name});
    }
    return lines;
}

int FindIniLine(const std::vector<IniLine>& lines, std::string_view section, std::string_view name)
{
    for (const IniLine& line : lines) {
        if (EqualIgnoringCase(line.section, section) && EqualIgnoringCase(line.name, name))
            return line.number;
    }
    return 0;
}
