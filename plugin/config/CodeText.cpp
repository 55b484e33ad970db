#include "plugin/config/CodeText.h"

#include <algorithm>

void FormatCodeText(std::uint64_t code, int minDigits, char* out)
{
    int digits = 1;
    for (std::uint64_t rest = code >> 4; rest != 0; rest >>= 4)
        ++digits;
    digits = std::clamp(std::max(digits, minDigits), 1, kCodeTextMaxDigits);

    out[digits] = '\0';
    for (int i = digits - 1; i >= 0; --i, code >>= 4)
        out[i] = "0123456789ABCDEF"[code & 0xF];
}
