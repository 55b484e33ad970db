// PelcatoKeyMapCheck [folder]
//
// Checks the key maps in folder (by default the program's own, which is the
// plug-in's when it is installed) and the settings file beside them, and
// prints each finding as "file(line): what happens". Exit code 0 when there
// is none, 1 when there are findings, 2 when the folder cannot be checked.

#include "KeyMapCheck.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

namespace {

constexpr int kClean = 0;
constexpr int kFindings = 1;
constexpr int kCannotCheck = 2;

void PrintUsage()
{
    std::printf("Usage: PelcatoKeyMapCheck [folder]\n"
                "Reads every key map (*.cfg) in folder, by default this program's own, and %s,\n"
                "as the Pelcato plug-in reads them, and lists, by file and line, what would\n"
                "fail without a word at run time. Exit code 0 when nothing is found.\n",
                kSettingsFileName);
}

std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string AsFolder(std::string path)
{
    if (!path.empty() && path.back() != '\\' && path.back() != '/' && path.back() != ':')
        path += '\\';
    return path;
}

bool IsHelp(const std::string& argument)
{
    return argument == "/?" || argument == "-h" || argument == "--help";
}

int Run(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && IsHelp(argv[1]))) {
        PrintUsage();
        return argc > 2 ? kCannotCheck : kClean;
    }
    std::string folder = argc == 2 ? AsFolder(argv[1]) : OwnFolder();
    DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::printf("%s is no folder.\n", folder.c_str());
        return kCannotCheck;
    }

    std::vector<Finding> findings = CheckKeyMapFolder(folder);
    for (const Finding& finding : findings)
        std::printf("%s\n", FormatFinding(finding).c_str());
    if (findings.empty()) {
        std::printf("%s: every key map works as written.\n", folder.c_str());
        return kClean;
    }
    std::printf("%s: %u finding%s.\n", folder.c_str(), static_cast<unsigned>(findings.size()),
                findings.size() == 1 ? "" : "s");
    return kFindings;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::printf("The check stopped: %s\n", error.what());
        return kCannotCheck;
    }
}
