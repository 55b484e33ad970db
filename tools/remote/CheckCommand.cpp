// check [folder]
//
// Checks the key maps in folder (by default the program's own, which is the
// plug-in's when it is installed) and the settings file in effect there, and
// prints each finding as "file(line): what happens". Exit code 0 when there
// is none, 1 when there are findings, 2 when the folder cannot be checked.

#include "tools/remote/Commands.h"
#include "tools/remote/KeyMapCheck.h"
#include "tools/remote/PluginFiles.h"

#include "common/win/FileKind.h"

#include <windows.h>

#include <ostream>
#include <string>

namespace {

void PrintUsage(std::ostream& out)
{
    out << "Usage: PelcatoRemote check [folder]\n"
           "Reads every key map (*.cfg) in folder, by default this program's own, and "
        << kSettingsFileName
        << ",\nas the Pelcato plug-in reads them, and lists, by file and line, what would\n"
           "fail without a word at run time. Exit code 0 when nothing is found.\n";
}

std::wstring AsFolder(std::wstring path)
{
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/' && path.back() != L':')
        path += L'\\';
    return path;
}

bool IsHelp(const std::wstring& argument)
{
    return argument == L"/?" || argument == L"-h" || argument == L"--help";
}

}  // namespace

int RunCheck(const Arguments& arguments, std::ostream& out)
{
    if (arguments.size() > 1 || (arguments.size() == 1 && IsHelp(arguments[0]))) {
        PrintUsage(out);
        return arguments.size() > 1 ? kExitCannot : kExitOk;
    }
    std::wstring folder = arguments.size() == 1 ? AsFolder(arguments[0]) : ToolFolder();
    if (!win::IsFolder(folder)) {
        out << Printable(folder) << " is no folder.\n";
        return kExitCannot;
    }

    PluginFiles files = FindPluginFiles(folder);
    ReportShadowedSettings(files, out);
    std::vector<Finding> findings = CheckKeyMapFolder(files.folder, files.settingsFile);
    for (const Finding& finding : findings)
        out << FormatFinding(finding) << "\n";
    if (findings.empty()) {
        out << Printable(folder) << ": every key map works as written.\n";
        return kExitOk;
    }
    out << Printable(folder) << ": " << findings.size() << " finding" << (findings.size() == 1 ? "" : "s") << ".\n";
    return kExitFindings;
}
