#pragma once
// The plug-in's lifecycle: what the five exports do. The setup dialog's
// session stops and starts the plug-in too, to take up a new device or model.

#include <windows.h>

#include <cstdint>

constexpr char kPluginDescription[] = "Pelcato TV tuner";

// True for the host core versions this plug-in works with: 2.7, release 12
// or later, any build.
bool CoreVersionAccepted(std::uint32_t coreVersion);

namespace plugin {

const char* Open(const char* sourceName, HWND hostWindow, const void* hostInfo);
void Start();
void Stop();
void Setup();
void Close();

}  // namespace plugin
