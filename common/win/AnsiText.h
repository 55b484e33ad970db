#pragma once
// Text in the ANSI code page and its UTF-16 form. Paths are UTF-16 from the
// module's own file name onwards, so that a folder named in any script
// works; what the files hold, and what the host and the receiver exchange
// with us, stays in the ANSI code page. These two are where the kinds meet.

#include <windows.h>

#include <string>
#include <string_view>

namespace win {

inline std::wstring AnsiToWide(std::string_view text)
{
    if (text.empty())
        return {};
    int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// A character that the code page lacks becomes the code page's default
// character, as every ANSI function shows it.
inline std::string WideToAnsi(std::wstring_view text)
{
    if (text.empty())
        return {};
    int length =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), length, nullptr,
                          nullptr);
    return ansi;
}

}  // namespace win
