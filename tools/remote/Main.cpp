// PelcatoRemote <command> [arguments]
//
// The remote's companion: which device the plug-in uses, the codes the
// receiver reports and the messages the plug-in would make of them, timings
// that fit the remote, a recording for a bug report, a check of the key
// maps, and a key map learnt button by button. It runs from the plug-in's
// folder, with the host application closed.

#include "tools/remote/Commands.h"

#include "common/win/AnsiText.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>

namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Arguments& arguments, std::ostream& out);
};

constexpr Command kCommands[] = {
    {"devices", "devices                  the capture devices, and the one the plug-in uses", RunDevices},
    {"watch", "watch [--seconds N]      every code, with the messages the plug-in would send", RunWatch},
    {"calibrate", "calibrate [--write]      measures the remote and suggests timings that fit it", RunCalibrate},
    {"record", "record FILE [--seconds N] writes what the receiver reports as a replayable script", RunRecord},
    {"check", "check [FOLDER]           finds what would go wrong in the key maps", RunCheck},
    {"learn", "learn FILE [--model NAME] asks for the buttons one by one and writes their names into a key map", RunLearn},
};

void PrintUsage(std::ostream& out)
{
    out << "Usage: PelcatoRemote <command> [arguments]\n\nCommands:\n";
    for (const Command& command : kCommands)
        out << "  " << command.usage << "\n";
    out << "\nRun it from the plug-in's folder, with the host application closed.\n";
}

bool IsHelp(std::wstring_view argument)
{
    return argument == L"/?" || argument == L"-h" || argument == L"--help" || argument == L"help";
}

int Run(int argc, wchar_t** argv)
{
    if (argc < 2 || IsHelp(argv[1])) {
        PrintUsage(std::cout);
        return argc < 2 ? kExitCannot : kExitOk;
    }
    std::string name = win::WideToAnsi(argv[1]);
    for (const Command& command : kCommands) {
        if (name == command.name)
            return command.run(Arguments(argv + 2, argv + argc), std::cout);
    }
    std::cout << "There is no command \"" << name << "\".\n\n";
    PrintUsage(std::cout);
    return kExitCannot;
}

}  // namespace

// The wide arguments, as Windows holds them: a path may name a folder
// outside the ANSI code page.
int wmain(int argc, wchar_t** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cout << "PelcatoRemote stopped: " << error.what() << "\n";
        return kExitCannot;
    }
}
