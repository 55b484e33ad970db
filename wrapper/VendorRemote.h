#pragma once
// The vendor's receiver class CPLTRemote. Its library is built with
// Microsoft's compiler, so its members are bound here through the import
// table by the names that compiler gives them, and called with its calling
// convention for members (VendorAbi.h). Only the two 32-bit fields that the
// wrapper reads and writes directly are described.

#include "wrapper/VendorAbi.h"

#include <cstddef>
#include <cstdint>

struct VendorRemote {
    std::int32_t chipTypeTM;  // written whole by SetChipTypeTM
    std::int32_t cardType;    // set by the vendor class for the selected device
};
static_assert(sizeof(VendorRemote) == 8);
static_assert(offsetof(VendorRemote, chipTypeTM) == 0);
static_assert(offsetof(VendorRemote, cardType) == 4);

// Each name is the import-table slot of one member; the quotes let the
// assembler take the '?' and '@' of the decorated names.
#define VENDOR_IMPORT(name) __asm__("\"__imp_" name "\"")
extern "C" {
extern void(CPLTREMOTE_MEMBER* const VendorConstruct)(VendorRemote*) VENDOR_IMPORT(CPLTREMOTE_CONSTRUCTOR);
extern void(CPLTREMOTE_MEMBER* const VendorDestruct)(VendorRemote*) VENDOR_IMPORT(CPLTREMOTE_DESTRUCTOR);
extern long(CPLTREMOTE_MEMBER* const VendorGetCode)(VendorRemote*, unsigned char*) VENDOR_IMPORT(CPLTREMOTE_GETCODE);
extern char*(CPLTREMOTE_MEMBER* const VendorGetDeviceName)(VendorRemote*, unsigned long)
    VENDOR_IMPORT(CPLTREMOTE_GETDEVICENAME);
extern long(CPLTREMOTE_MEMBER* const VendorSelectDevice)(VendorRemote*, unsigned long)
    VENDOR_IMPORT(CPLTREMOTE_SELECTDEVICE);
}
