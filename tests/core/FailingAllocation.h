#pragma once
// Makes one allocation fail on the calling thread, as it would on a machine
// out of memory, so that a test can let a call fail at every allocation in
// turn. Linked into a test program, it replaces operator new for the whole
// program; unarmed, it allocates as the library's own does.

// The allocation after the next `allocations` on this thread throws
// std::bad_alloc; the ones after it succeed again.
void FailAllocationAfter(int allocations);

// Whether the armed failure happened; disarms it either way.
bool DisarmFailingAllocation();
