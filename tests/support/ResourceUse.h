#pragma once
// What the process holds: the figures that must end where they began after
// thousands of cycles.

#include <windows.h>

#include <cstdint>
#include <string>

struct ResourceUse {
    unsigned long handles;
    unsigned long guiObjects;  // GDI and window-manager objects; Wine counts none
    int threads;
    std::uint64_t privateBytes;
};

ResourceUse MeasureResourceUse();

// The system holds handles and runs helper threads of its own for a while
// after some calls (Wine does, after a dialog). A measurement that must come
// back to an earlier one waits up to timeoutMs for the process to hold no
// more handles and threads than limit, then measures as things stand.
ResourceUse MeasureResourceUseWithin(const ResourceUse& limit, DWORD timeoutMs = 3000);

// The threads that run code of the program's own: the test program's, the
// plug-in's, the receiver library's. Threads that begin in the system's
// code are left out: the system's helpers, and threads started through the
// C runtime (std::thread, such as a test host's, whose number a test does
// not change).
int ThreadCount();
std::string Describe(const ResourceUse& use);

// The bytes in the blocks of the process's heaps that are in use: what the
// program has allocated and not freed, to the byte, where the committed
// memory grows by whole pages and keeps what was freed.
std::uint64_t HeapBytesInUse();
