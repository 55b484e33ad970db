// Linked into a copy of the wrapper for the fault tests: the receiver
// object's memory is never there, as on a machine out of memory.

#include <new>

void* operator new(std::size_t, const std::nothrow_t&) noexcept
{
    return nullptr;
}
