#pragma once
// The receiver wrapper's seven functions, as the plug-in imports them from
// pltremotewrap.dll by their decorated names (_GetCode@4, ...). Without a
// receiver object each gives a fixed answer: no code, no device, unknown card.

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
