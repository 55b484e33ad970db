#pragma once

// Runs operation and lets no C++ exception go further. For the places an
// exception must not pass: an entry point of a host that knows nothing of
// C++, and undoing, which must not fail in turn. What failed stays undone.
template <typename Operation>
void Guarded(Operation&& operation) noexcept
{
    try {
        operation();
    } catch (...) {
    }
}
