#pragma once
// A program run as a user runs it from a command prompt: in a folder of the
// test's choosing, its output going to a file, so that a test sees what
// Windows makes of a program that lies apart from the test program.

#include "common/win/Handle.h"

#include <windows.h>

#include <string>

class ChildProcess {
public:
    // Starts commandLine with currentFolder as its current folder; its
    // standard output and error go to outputFile.
    ChildProcess(std::wstring commandLine, const std::wstring& currentFolder, std::wstring outputFile);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    // The exit code once the program has ended; -1 when it did not end in
    // time, and it is then ended by force.
    int Wait(DWORD timeoutMs);
    // What the program has written so far, with its line ends as LF.
    std::string Output() const;

private:
    std::wstring outputFile_;
    win::Handle process_;
};
