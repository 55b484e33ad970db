#pragma once
// The byte offsets at which a host reads the two records it shares with the
// plug-in. The host is a 32-bit program, so the 32-bit layout is the
// interface. The 64-bit test build keeps the key record's fields in the same
// order with natural alignment, which moves its two pointers and the bytes
// after them. Everything that reads a record by offset (the plug-in, the
// tests, the demo host) takes the numbers from here.

#include <cstddef>

namespace host_layout {

// The host record: the core version is a 32-bit value in both builds.
constexpr std::size_t kCoreVersionOffset = 28;

// The key record (RemoteEvent).
constexpr std::size_t kSourceNameOffset = 0;
constexpr std::size_t kKeyNameOffset = 64;
constexpr std::size_t kExtTagOffset = 188;
constexpr std::size_t kVersionOffset = 192;
constexpr std::size_t kReservedOffset = 196;  // reserved up to the first pointer
#if defined(_WIN64)
constexpr std::size_t kCodeTextOffset = 216;
constexpr std::size_t kModelNameOffset = 224;
constexpr std::size_t kReservedTailOffset = 232;
constexpr std::size_t kRecordSize = 240;
#else
constexpr std::size_t kCodeTextOffset = 212;
constexpr std::size_t kModelNameOffset = 216;
constexpr std::size_t kReservedTailOffset = 220;
constexpr std::size_t kRecordSize = 228;
#endif

}  // namespace host_layout
