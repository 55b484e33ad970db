#include "tests/support/ChildProcess.h"

#include "tests/support/TextFile.h"

ChildProcess::ChildProcess(std::wstring commandLine, const std::wstring& currentFolder, std::wstring outputFile)
    : outputFile_(std::move(outputFile))
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    win::File output(::CreateFileW(outputFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                   CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION process = {};
    if (!output || !::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     currentFolder.c_str(), &startup, &process))
        return;
    win::Handle thread(process.hThread);
    process_ = win::Handle(process.hProcess);
}

int ChildProcess::Wait(DWORD timeoutMs)
{
    DWORD exitCode = 0;
    if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process_.Get(), &exitCode)) {
        if (process_)
            ::TerminateProcess(process_.Get(), 3);
        return -1;
    }
    return static_cast<int>(exitCode);
}

std::string ChildProcess::Output() const
{
    std::string text = ReadTextFile(outputFile_);
    std::erase(text, '\r');
    return text;
}
