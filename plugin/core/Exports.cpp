// The five entry points the host calls, with the Windows API calling
// convention, exported under their plain names by Pelcato.def. Nothing here
// but the guard that keeps every C++ exception inside the library.

#include "plugin/core/Plugin.h"

#include "common/Guarded.h"

#include <windows.h>

extern "C" {

const char* WINAPI Open(const char* sourceName, HWND hostWindow, const void* hostInfo)
{
    Guarded("Open", [&] { plugin::Open(sourceName, hostWindow, hostInfo); });
    return kPluginDescription;
}

void WINAPI Start()
{
    Guarded("Start", plugin::Start);
}

void WINAPI Stop()
{
    Guarded("Stop", plugin::Stop);
}

void WINAPI Setup()
{
    Guarded("Setup", plugin::Setup);
}

void WINAPI Close()
{
    Guarded("Close", plugin::Close);
}

}  // extern "C"
