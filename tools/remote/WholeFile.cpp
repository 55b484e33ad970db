#include "tools/remote/WholeFile.h"

#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "common/win/Handle.h"
#include "tools/remote/PluginFiles.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <ostream>

bool CanWrite(const std::wstring& path)
{
    win::File file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    file.Close();
    if (!existed)
        ::DeleteFileW(path.c_str());
    return true;
}

bool ReplaceWhole(const std::wstring& path, const std::string& text, std::string_view what, std::ostream& out)
{
    const std::wstring partPath = path + kPartSuffix;
    std::ofstream file(std::filesystem::path(partPath), std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        ::DeleteFileW(partPath.c_str());
        out << "Cannot write " << Printable(path) << ". Check that the disk has room.\n";
        return false;
    }
    if (!::MoveFileExW(partPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        out << "Cannot replace " << Printable(path) << ": " << win::WideToAnsi(win::ErrorText(::GetLastError()))
            << "\n" << what << " is in " << Printable(partPath) << ".\n";
        return false;
    }
    return true;
}
