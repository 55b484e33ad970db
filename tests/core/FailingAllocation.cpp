#include "tests/core/FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

thread_local int allocationsBeforeFailure = -1;
thread_local bool failed = false;

}  // namespace

void FailAllocationAfter(int allocations)
{
    failed = false;
    allocationsBeforeFailure = allocations;
}

bool DisarmFailingAllocation()
{
    allocationsBeforeFailure = -1;
    return failed;
}

void* operator new(std::size_t size)
{
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
