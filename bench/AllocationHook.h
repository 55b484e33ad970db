#pragma once
// Counts the heap allocations that the plug-in's two threads make. This
// program replaces the global operator new (AllocationHook.cpp), so every
// allocation of the plug-in's code linked into it passes through the count;
// Pelcato.dll has its own runtime and is not counted.

#include <windows.h>

// From now on, counts from zero the allocations made on either thread.
void StartCountingAllocations(DWORD dispatchThreadId, DWORD receiverThreadId);
// Stops counting; the allocations counted since the start.
long StopCountingAllocations();
