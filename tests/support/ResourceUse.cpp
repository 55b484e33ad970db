#include "ResourceUse.h"

#include "common/win/Handle.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>

int ThreadCount()
{
    win::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
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

std::string Describe(const ResourceUse& use)
{
    return std::to_string(use.handles) + " handles, " + std::to_string(use.guiObjects) + " GUI objects, " +
           std::to_string(use.threads) + " threads, " +
           std::to_string(use.privateBytes / 1024) + " KiB private";
}
