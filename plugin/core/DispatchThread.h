#pragma once

#include <windows.h>

// The DispatchThread's procedure: runs the key rules until the plug-in's
// dispatchStop event is set. The argument is not used.
DWORD WINAPI DispatchThreadProc(void* unused) noexcept;
