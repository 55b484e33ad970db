#pragma once

#include <windows.h>

#include <string>

namespace win {

// The system's text for an error code, without the line break it ends with;
// the number itself where the system has no text for it.
inline std::wstring ErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? L"error " + std::to_wstring(error) : message;
}

}  // namespace win
