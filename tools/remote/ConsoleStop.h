#pragma once
// Ctrl+C, Ctrl+Break and closing the console end a command that runs until
// stopped, not the program: the console's handler, which runs on a thread
// of its own, only sets an event that the command's loop waits on, so the
// receiver is released and the command's output written on the way out.

#include "common/win/Handle.h"

#include <windows.h>

#include <optional>
#include <string_view>

class ConsoleStop {
public:
    ConsoleStop();
    ~ConsoleStop();
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;

    // False when Windows gave no event or took no handler.
    explicit operator bool() const { return installed_; }
    // Set once the user asks the command to stop.
    HANDLE Event() const { return event_.Get(); }

private:
    win::Event event_;
    bool installed_ = false;
};

// A count of seconds from the command line: digits only, 1 to maxSeconds.
std::optional<int> ParseSeconds(std::wstring_view text, int maxSeconds);
