#include "tests/support/PluginLibrary.h"

#include "common/win/ProcAddress.h"

#include <string>

PluginLibrary::PluginLibrary()
{
    // The wrapper lies beside the plug-in, as a user installs them; it finds
    // the simulated receiver that this program has loaded already.
    for (const wchar_t* file : {L"Pelcato.dll", L"pltremotewrap.dll"})
        ::CopyFileW((ProgramFolder() + file).c_str(), folder_.PathOf(file).c_str(), FALSE);
    module_ = win::Module(::LoadLibraryW(folder_.PathOf(L"Pelcato.dll").c_str()));
    if (!module_)
        return;
    HMODULE module = module_.Get();
    Open = win::ProcAddress<OpenFunction>(module, "Open");
    Start = win::ProcAddress<VoidFunction>(module, "Start");
    Stop = win::ProcAddress<VoidFunction>(module, "Stop");
    Setup = win::ProcAddress<VoidFunction>(module, "Setup");
    Close = win::ProcAddress<VoidFunction>(module, "Close");
    SetupForm = win::ProcAddress<void* const*>(module, "_SetupForm");
}
