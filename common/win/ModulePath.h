#pragma once

#include <windows.h>

#include <string>

namespace win {

// The module whose code or data lies at address, for code that must find its
// own DLL rather than the program that loaded it. Null when none does. No
// reference is taken, so there is nothing to free.
inline HMODULE ModuleContaining(const void* address)
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

// The module this code is linked into: the plug-in's DLL, or a program that
// links the plug-in's code directly, as the tests do.
inline HMODULE ThisModule()
{
    return ModuleContaining(reinterpret_cast<const void*>(&ThisModule));
}

// The full path of module; of the program when module is null. Wide, so
// that a folder named outside the ANSI code page keeps its name, and whole
// however long: a path cut at MAX_PATH would name another file.
inline std::wstring ModuleFileName(HMODULE module = nullptr)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The folder of module, with its trailing separator, so that a file name can
// be appended; of the program when module is null.
inline std::wstring ModuleFolder(HMODULE module = nullptr)
{
    std::wstring path = ModuleFileName(module);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace win
