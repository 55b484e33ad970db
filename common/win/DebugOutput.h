#pragma once
// One line in the debug output for a failure that nobody else hears of: the
// host's entry points return nothing, and a thread or a window procedure has
// nobody to tell. A user with a debug-output viewer can then read, and tell
// support, which call failed and why. Safe on any thread; takes no lock of
// ours and allocates nothing.

#include <windows.h>

#include <cstdio>
#include <exception>

namespace win {

// "Pelcato: TEXT".
inline void ReportProblem(const char* text) noexcept
{
    char line[256];
    std::snprintf(line, sizeof line, "Pelcato: %s\n", text);
    ::OutputDebugStringA(line);
}

// "Pelcato: CALL failed, error N", N being GetLastError's value: call it
// right after the failing call, before anything else can change it.
inline void ReportFailedCall(const char* call) noexcept
{
    DWORD error = ::GetLastError();
    char line[256];
    std::snprintf(line, sizeof line, "Pelcato: %s failed, error %lu\n", call, static_cast<unsigned long>(error));
    ::OutputDebugStringA(line);
}

// "Pelcato: WHERE ended by an exception: WHAT". Only inside a catch block,
// whose exception it names.
inline void ReportCaughtException(const char* where) noexcept
{
    char line[256];
    try {
        throw;
    } catch (const std::exception& exception) {
        std::snprintf(line, sizeof line, "Pelcato: %s ended by an exception: %s\n", where, exception.what());
    } catch (...) {
        std::snprintf(line, sizeof line, "Pelcato: %s ended by an exception\n", where);
    }
    ::OutputDebugStringA(line);
}

}  // namespace win
