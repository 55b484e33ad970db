#include "ScratchFolder.h"

#include "common/win/Handle.h"
#include "common/win/ModulePath.h"

#include <windows.h>

#include <atomic>
#include <fstream>

namespace {

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    win::FindHandle search = win::FindFirst(folder + "*", entry);
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileA(search.Get(), &entry)) {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path + "\\");
        } else {
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
        }
    }
    search.Close();  // the folder is removed only once its search is closed
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& purpose)
{
    static std::atomic<int> counter = 0;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + purpose + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(counter++) + "\\";
    ::CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

std::string ScratchFolder::Write(const std::string& name, const std::string& text) const
{
    std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string ProgramFolder()
{
    return win::ModuleFolder();
}
