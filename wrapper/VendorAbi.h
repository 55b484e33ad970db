#pragma once
// How code reaches the members of the vendor's receiver class CPLTRemote:
// the names under which its library exports them (the names Microsoft's
// compiler gives them) and their calling convention, both of which differ
// between 32-bit and 64-bit code. The wrapper binds these names, the
// simulated receiver exports them, and both .def files are made from this
// file by the preprocessor, so that no two lists can drift apart.

#if defined(_WIN64)
#define CPLTREMOTE_CONSTRUCTOR "??0CPLTRemote@@QEAA@XZ"
#define CPLTREMOTE_DESTRUCTOR "??1CPLTRemote@@QEAA@XZ"
#define CPLTREMOTE_GETCODE "?GetCode@CPLTRemote@@QEAAJPEAE@Z"
#define CPLTREMOTE_GETDEVICENAME "?GetDeviceName@CPLTRemote@@QEAAPEADK@Z"
#define CPLTREMOTE_SELECTDEVICE "?SelectDevice@CPLTRemote@@QEAAJK@Z"
// x64 has one calling convention; the object comes first, in RCX.
#define CPLTREMOTE_MEMBER
#else
#define CPLTREMOTE_CONSTRUCTOR "??0CPLTRemote@@QAE@XZ"
#define CPLTREMOTE_DESTRUCTOR "??1CPLTRemote@@QAE@XZ"
#define CPLTREMOTE_GETCODE "?GetCode@CPLTRemote@@QAEJPAE@Z"
#define CPLTREMOTE_GETDEVICENAME "?GetDeviceName@CPLTRemote@@QAEPADK@Z"
#define CPLTREMOTE_SELECTDEVICE "?SelectDevice@CPLTRemote@@QAEJK@Z"
// thiscall: the object in ECX, the callee pops the arguments.
#define CPLTREMOTE_MEMBER __attribute__((thiscall))
#endif
