#include "PluginLibrary.h"

#include "common/win/ProcAddress.h"

#include <string>

PluginLibrary::PluginLibrary()
{
    std::string path = folder_.PathOf("Pelcato.dll");
    ::CopyFileA((ProgramFolder() + "Pelcato.dll").c_str(), path.c_str(), FALSE);
    module_ = ::LoadLibraryA(path.c_str());
    if (!module_)
        return;
    Open = win::ProcAddress<OpenFunction>(module_, "Open");
    Start = win::ProcAddress<VoidFunction>(module_, "Start");
    Stop = win::ProcAddress<VoidFunction>(module_, "Stop");
    Setup = win::ProcAddress<VoidFunction>(module_, "Setup");
    Close = win::ProcAddress<VoidFunction>(module_, "Close");
    SetupForm = win::ProcAddress<void* const*>(module_, "_SetupForm");
}

PluginLibrary::~PluginLibrary()
{
    if (module_)
        ::FreeLibrary(module_);
}
