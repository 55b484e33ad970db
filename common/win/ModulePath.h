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
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCSTR>(address), &module))
        return nullptr;
    return module;
}

// The full path of module; of the program when module is null.
inline std::string ModuleFileName(HMODULE module = nullptr)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

// The folder of module, with its trailing separator, so that a file name can
// be appended; of the program when module is null.
inline std::string ModuleFolder(HMODULE module = nullptr)
{
    std::string path = ModuleFileName(module);
    return path.substr(0, path.find_last_of('\\') + 1);
}

}  // namespace win
