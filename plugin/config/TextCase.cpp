#include "TextCase.h"

#include <windows.h>

std::string AnsiUpperCase(std::string_view text)
{
    std::string upper(text);
    if (!upper.empty())
        ::CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}
