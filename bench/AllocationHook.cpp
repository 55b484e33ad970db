#include "bench/AllocationHook.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Read on every allocation of the program, on any thread, so each is a
// lone atomic rather than a lock.
std::atomic<bool> countingAllocations = false;
std::atomic<DWORD> dispatchThread = 0;
std::atomic<DWORD> receiverThread = 0;
std::atomic<long> allocations = 0;

void CountAllocation()
{
    if (!countingAllocations.load(std::memory_order_relaxed))
        return;
    DWORD thread = ::GetCurrentThreadId();
    if (thread == dispatchThread || thread == receiverThread)
        ++allocations;
}

}  // namespace

void StartCountingAllocations(DWORD dispatchThreadId, DWORD receiverThreadId)
{
    dispatchThread = dispatchThreadId;
    receiverThread = receiverThreadId;
    allocations = 0;
    countingAllocations = true;
}

long StopCountingAllocations()
{
    countingAllocations = false;
    return allocations.load();
}

void* operator new(std::size_t size)
{
    CountAllocation();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    CountAllocation();
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}
