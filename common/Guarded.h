#pragma once

#include "common/win/DebugOutput.h"

// Runs operation and lets no C++ exception go further. For the places an
// exception must not pass: an entry point of a host that knows nothing of
// C++, and undoing, which must not fail in turn. What failed stays undone,
// and a line in the debug output names it (where: "Start", say).
template <typename Operation>
void Guarded(const char* where, Operation&& operation) noexcept
{
    try {
        operation();
    } catch (...) {
        win::ReportCaughtException(where);
    }
}
