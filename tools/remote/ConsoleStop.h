#pragma once
// Ctrl+C, Ctrl+Break and closing the console end a command that runs until
// stopped, not the program: the console's handler, which runs on a thread
// of its own, only sets an event that the command's loop waits on, so the
// receiver is released and the command's output written on the way out.
//
// A close of the console window, a logoff or a shutdown ends the process as
// soon as the handler returns, and at the latest about 5 s after Windows
// sent it. For those the handler returns only once the command has left the
// scope of its ConsoleStop, or after kCloseWaitMs: what the command writes
// on its way out, such as record's file, is then complete before the
// process ends.

#include "common/win/Handle.h"

#include <windows.h>

// Well within the 5 s that Windows gives a console program after a close.
constexpr DWORD kCloseWaitMs = 4000;

class ConsoleStop {
public:
    ConsoleStop();
    // Lets a close of the console that waits for the command go on.
    ~ConsoleStop();
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;

    // False when Windows gave no event or took no handler.
    explicit operator bool() const { return installed_; }
    // Set once the user asks the command to stop.
    HANDLE Event() const;

private:
    bool installed_ = false;
};

// What Windows calls, on a thread of its own, for each control event of the
// console; TRUE when the event is taken here, FALSE to leave it to the
// default handler, which ends the process. Tests call it for the events that
// no program can send: GenerateConsoleCtrlEvent sends only Ctrl+C and
// Ctrl+Break.
BOOL WINAPI HandleConsoleControl(DWORD event) noexcept;
