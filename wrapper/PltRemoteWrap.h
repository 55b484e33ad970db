#pragma once
// The receiver wrapper's seven functions, exported from pltremotewrap.dll by
// their decorated names (_GetCode@4, ...). Without a receiver object each
// gives a fixed answer: no code, no device, unknown card.

// The names the plug-in and the companion look the functions up by; the
// same in both builds (pltremotewrap.def.in).
inline constexpr char kRemoteCreateExport[] = "_RemoteCreate@0";
inline constexpr char kRemoteReleaseExport[] = "_RemoteRelease@0";
inline constexpr char kGetCodeExport[] = "_GetCode@4";
inline constexpr char kGetDeviceNameExport[] = "_GetDeviceName@4";
inline constexpr char kSelectDeviceExport[] = "_SelectDevice@4";
inline constexpr char kGetCardTypeExport[] = "_GetCardType@0";
inline constexpr char kSetChipTypeTMExport[] = "_SetChipTypeTM@4";

// The code GetCode leaves when the receiver has none, so a code of 255 is
// never reported.
inline constexpr unsigned char kNoReceiverCode = 255;
// What GetCode and SelectDevice return without a receiver object.
inline constexpr long kNoReceiverObjectResult = 1;

extern "C" {

void __stdcall RemoteCreate();
void __stdcall RemoteRelease();
// Stores the next code in *code, or 255 when there is none.
long __stdcall GetCode(unsigned char* code);
// Name of device index, valid and writable until the next call; null past
// the last device.
char* __stdcall GetDeviceName(unsigned long index);
long __stdcall SelectDevice(unsigned long index);
long __stdcall GetCardType();
void __stdcall SetChipTypeTM(long value);

}  // extern "C"
