// pltremotewrap.dll: owns the one receiver object of the process and offers
// it as seven flat functions, exported by pltremotewrap.def. The functions
// add nothing between the caller and the vendor's members: the same argument
// goes in, the same result comes out.
//
// The instance pointer is a plain variable: the plug-in creates and releases
// the object on its own thread while no thread polls it.

#include "wrapper/PltRemoteWrap.h"

#include "wrapper/VendorRemote.h"

#include <new>

namespace {

VendorRemote* instance = nullptr;

}  // namespace

extern "C" {

void __stdcall RemoteCreate()
{
    if (instance)
        return;
    // The global allocator here is C++'s ::operator new of this library's
    // own, statically linked runtime. Nobody else ever frees these 8 bytes:
    // the vendor only constructs and destroys in place, and RemoteRelease
    // hands them back to ::operator delete. The nothrow form keeps the
    // no-memory case an ordinary null, as no exception may leave an export.
    void* memory = ::operator new(sizeof(VendorRemote), std::nothrow);
    if (!memory)
        return;
    auto* remote = static_cast<VendorRemote*>(memory);
    VendorConstruct(remote);
    instance = remote;
}

void __stdcall RemoteRelease()
{
    if (!instance)
        return;
    VendorDestruct(instance);
    ::operator delete(instance);
    instance = nullptr;
}

long __stdcall GetCode(unsigned char* code)
{
    if (!instance) {
        *code = kNoReceiverCode;
        return kNoReceiverObjectResult;
    }
    return VendorGetCode(instance, code);
}

char* __stdcall GetDeviceName(unsigned long index)
{
    return instance ? VendorGetDeviceName(instance, index) : nullptr;
}

long __stdcall SelectDevice(unsigned long index)
{
    return instance ? VendorSelectDevice(instance, index) : kNoReceiverObjectResult;
}

long __stdcall GetCardType()
{
    return instance ? instance->cardType : 0;
}

void __stdcall SetChipTypeTM(long value)
{
    if (instance)
        instance->chipTypeTM = value;
}

}  // extern "C"
