#include "tests/support/ScratchFolder.h"

#include "common/win/Handle.h"
#include "common/win/ModulePath.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    win::FindHandle search = win::FindFirst(folder + L"*", entry);
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.Get(), &entry)) {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = folder + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path + L"\\");
        } else {
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
    }
    search.Close();  // the folder is removed only once its search is closed
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder(std::wstring_view purpose)
{
    static std::atomic<int> counter = 0;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + std::wstring(purpose) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++) + L"\\";
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

std::wstring ScratchFolder::Write(std::wstring_view name, const std::string& text) const
{
    std::wstring path = PathOf(name);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
    return path;
}

std::wstring ScratchFolder::MakeFolder(std::wstring_view name) const
{
    std::wstring path = PathOf(name);
    std::filesystem::create_directories(std::filesystem::path(path));
    return path + L"\\";
}

std::wstring ProgramFolder()
{
    return win::ModuleFolder();
}
