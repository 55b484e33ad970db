#include "PluginLibrary.h"

#include "common/win/ProcAddress.h"

#include <string>

PluginLibrary::PluginLibrary()
{
    std::string path = folder_.PathOf("Pelcato.dll");
    ::CopyFileA((ProgramFolder() + "Pelcato.dll").c_str(), path.c_str(), FALSE);
    module_ = win::Module(::LoadLibraryA(path.c_str()));
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
