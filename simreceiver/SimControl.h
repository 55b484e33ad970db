#pragma once
// Control interface of the simulated receiver pltremote.dll, for tests and
// the demo host. Every function may be called from any thread and never
// throws.

extern "C" {

struct SimStats {
    long objectsAlive;  // constructed minus destroyed
    long constructed;
    long getCodeCalls;
    long selectDeviceCalls;
    long lastSelectedDevice;  // -1 before any selection
    long chipTypeAtSelect;    // the object's chip-type field when the device was last selected
};

// Back to the defaults: the default devices, no codes, counters zero, no hook.
void SimReset() noexcept;
// Replaces the devices: names[i] is device i; cardTypes may be null (all 0).
void SimSetDevices(const char* const* names, const long* cardTypes, int count) noexcept;
// Queues codes; each GetCode hands out the next one, then reports none.
void SimPushCodes(const unsigned char* codes, int count) noexcept;
int SimPendingCodes() noexcept;
void SimGetStats(SimStats* stats) noexcept;
// Calls hook(context) at the start of every GetCode, on the polling thread.
void SimSetGetCodeHook(void (*hook)(void* context), void* context) noexcept;

}  // extern "C"
