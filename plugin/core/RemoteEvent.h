#pragma once
// The one record whose address the host receives with every key message.
// Its bytes are an interface: the host reads them by offset (HostLayout.h).

#include "plugin/core/HostLayout.h"

#include <cstddef>
#include <cstdint>

constexpr std::size_t kSourceNameSize = 64;
constexpr std::size_t kKeyNameSize = 124;
constexpr std::size_t kCodeTextSize = 20;
constexpr std::size_t kModelNameSize = 64;
// The longest texts the fields hold, each with its terminating zero.
constexpr std::size_t kKeyNameLimit = kKeyNameSize - 1;
constexpr std::size_t kModelNameLimit = kModelNameSize - 1;

struct RemoteEvent {
    char sourceName[kSourceNameSize];  // at most 63 characters, always terminated
    char keyName[kKeyNameSize];        // at most 123 characters, always terminated
    char extTag[4];                    // "EXT"
    std::int32_t version;              // 2
    std::int32_t reserved196;
    std::int32_t reserved200;
    std::uint8_t reserved204[8];
    const char* codeText;   // the dispatcher's code-text buffer
    const char* modelName;  // the dispatcher's model-name buffer
    std::uint8_t reservedTail[8];
};

#if !defined(_WIN64)
static_assert(sizeof(void*) == 4, "the host is a 32-bit process; the record holds 32-bit pointers");
static_assert(sizeof(RemoteEvent) == 228);
static_assert(offsetof(RemoteEvent, codeText) == 212);
static_assert(offsetof(RemoteEvent, modelName) == 216);
static_assert(offsetof(RemoteEvent, reservedTail) == 220);
#endif
static_assert(sizeof(RemoteEvent) == host_layout::kRecordSize);
static_assert(offsetof(RemoteEvent, sourceName) == host_layout::kSourceNameOffset);
static_assert(offsetof(RemoteEvent, keyName) == host_layout::kKeyNameOffset);
static_assert(offsetof(RemoteEvent, extTag) == host_layout::kExtTagOffset);
static_assert(offsetof(RemoteEvent, version) == host_layout::kVersionOffset);
static_assert(offsetof(RemoteEvent, reserved196) == host_layout::kReservedOffset);
static_assert(offsetof(RemoteEvent, reserved200) == 200);
static_assert(offsetof(RemoteEvent, reserved204) == 204);
static_assert(offsetof(RemoteEvent, codeText) == host_layout::kCodeTextOffset);
static_assert(offsetof(RemoteEvent, modelName) == host_layout::kModelNameOffset);
static_assert(offsetof(RemoteEvent, reservedTail) == host_layout::kReservedTailOffset);

// The two texts the record points to. They outlive every DispatchThread, so
// the record never points at freed memory, even after Stop.
struct KeyEventTexts {
    char codeText[kCodeTextSize];
    char modelName[kModelNameSize];
};

// Message the host receives: wParam the record's address, lParam one of these
// or the repeat number.
constexpr unsigned kKeyMessage = 0x0400 + 1;  // WM_USER + 1
constexpr std::int32_t kPressParam = 0;
constexpr std::int32_t kReleaseParam = -1;
