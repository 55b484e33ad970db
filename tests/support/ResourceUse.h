#pragma once
// What the process holds: the figures that must end where they began after
// thousands of cycles.

#include <cstdint>
#include <string>

struct ResourceUse {
    unsigned long handles;
    unsigned long guiObjects;  // GDI and window-manager objects; Wine counts none
    int threads;
    std::uint64_t privateBytes;
};

ResourceUse MeasureResourceUse();
int ThreadCount();
std::string Describe(const ResourceUse& use);
