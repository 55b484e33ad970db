#pragma once
// The vendor's receiver class CPLTRemote. Its library is built with
// Microsoft's compiler, so its members are bound here by the names that
// compiler gives them, through the import table, and called with thiscall
// (the object in ECX, the callee pops the arguments). Only the two 32-bit
// fields that the wrapper reads and writes directly are described.

#include <cstddef>
#include <cstdint>

struct VendorRemote {
    std::int32_t chipTypeTM;  // written whole by SetChipTypeTM
    std::int32_t cardType;    // set by the vendor class for the selected device
};
static_assert(sizeof(VendorRemote) == 8);
static_assert(offsetof(VendorRemote, chipTypeTM) == 0);
static_assert(offsetof(VendorRemote, cardType) == 4);

#define VENDOR_MEMBER __attribute__((thiscall))

// Each name is the import-table slot of one member; the quotes let the
// assembler take the '?' and '@' of the decorated names.
extern "C" {
extern void(VENDOR_MEMBER* const VendorConstruct)(VendorRemote*) __asm__("\"__imp_??0CPLTRemote@@QAE@XZ\"");
extern void(VENDOR_MEMBER* const VendorDestruct)(VendorRemote*) __asm__("\"__imp_??1CPLTRemote@@QAE@XZ\"");
extern long(VENDOR_MEMBER* const VendorGetCode)(VendorRemote*, unsigned char*) __asm__(
    "\"__imp_?GetCode@CPLTRemote@@QAEJPAE@Z\"");
extern char*(VENDOR_MEMBER* const VendorGetDeviceName)(VendorRemote*, unsigned long) __asm__(
    "\"__imp_?GetDeviceName@CPLTRemote@@QAEPADK@Z\"");
extern long(VENDOR_MEMBER* const VendorSelectDevice)(VendorRemote*, unsigned long) __asm__(
    "\"__imp_?SelectDevice@CPLTRemote@@QAEJK@Z\"");
}
