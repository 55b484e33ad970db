#include "plugin/config/IniFile.h"

#include "common/win/AnsiText.h"

#include <windows.h>

#include <charconv>

namespace {

// A hand-edited file can hold a value or a section of any length; what lies
// beyond these bounds is cut off rather than read into ever larger buffers.
constexpr DWORD kFirstBufferSize = 256;
constexpr DWORD kMaxValueSize = 64 * 1024;
constexpr DWORD kMaxSectionSize = 4 * 1024 * 1024;

}  // namespace

bool ParseDecimal(const std::string& text, std::int32_t& value)
{
    // from_chars takes a '-' of its own but no '+'; a digit must follow the
    // one sign, or "+-5" would pass as -5.
    std::size_t firstDigit = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (firstDigit == text.size() || text[firstDigit] < '0' || text[firstDigit] > '9')
        return false;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    std::int32_t parsed;
    auto [last, error] = std::from_chars(begin, end, parsed, 10);
    if (error != std::errc{} || last != end)
        return false;
    value = parsed;
    return true;
}

bool IniFile::PathFits() const
{
    return path_.size() < MAX_PATH;
}

std::wstring IniFile::ReadWideString(const char* section, const char* key, const std::wstring& defaultValue) const
{
    if (!PathFits())
        return defaultValue;
    std::wstring wideSection = win::AnsiToWide(section);
    std::wstring wideKey = win::AnsiToWide(key);
    std::wstring buffer;
    DWORD length = 0;
    for (DWORD size = kFirstBufferSize; size <= kMaxValueSize; size *= 2) {
        buffer.resize(size);
        length = ::GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), defaultValue.c_str(),
                                            buffer.data(), size, path_.c_str());
        // A value that fills the buffer may have been cut.
        if (length < size - 1)
            break;
    }
    buffer.resize(length);
    return buffer;
}

std::string IniFile::ReadString(const char* section, const char* key, const std::string& defaultValue) const
{
    return win::WideToAnsi(ReadWideString(section, key, win::AnsiToWide(defaultValue)));
}

std::int32_t IniFile::ReadInteger(const char* section, const char* key, std::int32_t defaultValue) const
{
    std::int32_t value;
    return ParseDecimal(ReadString(section, key, ""), value) ? value : defaultValue;
}

std::vector<std::string> IniFile::ReadSectionValues(const char* section) const
{
    std::vector<std::string> lines;
    if (!PathFits())
        return lines;
    std::wstring wideSection = win::AnsiToWide(section);
    std::wstring buffer;
    for (DWORD size = kFirstBufferSize; size <= kMaxSectionSize; size *= 2) {
        buffer.assign(size, L'\0');
        // A section that does not fit is reported as size - 2 characters.
        if (::GetPrivateProfileSectionW(wideSection.c_str(), buffer.data(), size, path_.c_str()) < size - 2)
            break;
    }
    for (const wchar_t* line = buffer.c_str(); *line; line += std::wcslen(line) + 1)
        lines.push_back(win::WideToAnsi(line));
    return lines;
}

IniWriteResult IniFile::WriteString(const char* section, const char* key, const std::wstring& value) const
{
    if (!PathFits())
        return ERROR_FILENAME_EXCED_RANGE;
    if (!::WritePrivateProfileStringW(win::AnsiToWide(section).c_str(), win::AnsiToWide(key).c_str(), value.c_str(),
                                      path_.c_str())) {
        DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

IniWriteResult IniFile::WriteInteger(const char* section, const char* key, std::int32_t value) const
{
    return WriteString(section, key, std::to_wstring(value));
}
