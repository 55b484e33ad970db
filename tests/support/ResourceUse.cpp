#include "tests/support/ResourceUse.h"

#include "common/win/Handle.h"
#include "common/win/ModulePath.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>

namespace {

// Where a thread began: Windows keeps the start address it was given.
const void* ThreadStartAddress(DWORD threadId)
{
    using QueryInformationThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    constexpr int kThreadQuerySetWin32StartAddress = 9;
    static const auto query = reinterpret_cast<QueryInformationThread>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    win::Handle thread(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
    void* start = nullptr;
    if (query && thread)
        query(thread.Get(), kThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr);
    return start;
}

// Whether the code at address lies in a module of the system's folder.
bool IsSystemCode(const void* address)
{
    HMODULE module = win::ModuleContaining(address);
    if (!module)
        return false;
    std::wstring path = win::ModuleFileName(module);
    wchar_t system[MAX_PATH] = {};
    UINT length = ::GetWindowsDirectoryW(system, MAX_PATH);
    return length > 0 && length < MAX_PATH && path.size() >= length &&
           ::CompareStringOrdinal(path.c_str(), static_cast<int>(length), system, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL;
}

}  // namespace

int ThreadCount()
{
    win::File snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId() && !IsSystemCode(ThreadStartAddress(entry.th32ThreadID)))
            ++count;
    }
    return count;
}

namespace {

// Wine answers GetProcessHandleCount with 0, so the handles are counted by
// asking after every value a handle can have in a small process.
unsigned long CountHandles()
{
    constexpr std::uintptr_t kLastHandle = 0x10000;
    unsigned long count = 0;
    for (std::uintptr_t value = 4; value < kLastHandle; value += 4) {
        DWORD flags;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

// Committed memory of the process's own, from its address space itself,
// which Wine reports where its process counters stay 0.
std::uint64_t CommittedPrivateBytes()
{
    std::uint64_t bytes = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr; ::VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            bytes += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < address)
            break;  // wrapped around the top of the address space
    }
    return bytes;
}

}  // namespace

ResourceUse MeasureResourceUse()
{
    ResourceUse use = {};
    use.handles = CountHandles();
    use.guiObjects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS) +
                     ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    use.threads = ThreadCount();
    use.privateBytes = CommittedPrivateBytes();
    return use;
}

ResourceUse MeasureResourceUseWithin(const ResourceUse& limit, DWORD timeoutMs)
{
    ResourceUse use = MeasureResourceUse();
    for (DWORD waited = 0; waited < timeoutMs && (use.handles > limit.handles || use.threads > limit.threads);
         waited += 20) {
        ::Sleep(20);
        use = MeasureResourceUse();
    }
    return use;
}

std::string Describe(const ResourceUse& use)
{
    return std::to_string(use.handles) + " handles, " + std::to_string(use.guiObjects) + " GUI objects, " +
           std::to_string(use.threads) + " threads, " +
           std::to_string(use.privateBytes / 1024) + " KiB private";
}

std::uint64_t HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD count = std::min<DWORD>(::GetProcessHeaps(64, heaps), 64);
    std::uint64_t bytes = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!::HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (::HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                bytes += entry.cbData;
        }
        ::HeapUnlock(heaps[i]);
    }
    return bytes;
}
