#pragma once

#include <windows.h>

namespace win {

// An export of module as the type the caller knows it by: a function
// pointer, or a pointer to exported data. Null when module or name is missing.
template <typename Pointer>
Pointer ProcAddress(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<Pointer>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace win
