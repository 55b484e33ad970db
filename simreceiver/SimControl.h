#pragma once
// Control interface of the simulated receiver pltremote.dll, for tests and
// the demo host. Every function may be called from any thread and never
// throws.
//
// At first use the simulator reads pltremote-sim.ini beside its DLL, if
// there is one:
//
//   [Device0]               one section per device, numbered from 0
//   Name=Pelcato PCI DVD Tuner
//   CardType=3
//   [Script]
//   File=session.txt        a code script (see CodeScript.h), beside the ini
//   Loop=1                  play it again and again
//
// Without the file it offers the built-in devices: "Pelcato PCI DVD Tuner"
// (card type 3) and "Generic Video Capture" (0).

extern "C" {

struct SimStats {
    long objectsAlive;  // constructed minus destroyed
    long constructed;
    long getCodeCalls;
    long selectDeviceCalls;
    long lastSelectedDevice;  // -1 before any selection
    long chipTypeAtSelect;    // the object's chip-type field when the device was last selected
    long chipTypeAtGetCode;   // the object's chip-type field at the last GetCode
};

// Back to the built-in defaults, whatever the settings file says: the
// built-in devices, no codes, no script, counters zero, no hook.
void SimReset() noexcept;
// Reads a settings file as the simulator does at first use. 0 when it was
// read; -1 when its script file cannot be opened; else the script's first bad
// line. Devices are taken even when the script is bad.
int SimLoadSettings(const wchar_t* iniPath) noexcept;
// Replaces the devices: names[i] is device i; cardTypes may be null (all 0).
void SimSetDevices(const char* const* names, const long* cardTypes, int count) noexcept;
// The buffer GetDeviceName last handed out for a device, as its caller left
// it; null for an index past the last device.
const char* SimDeviceNameBuffer(int index) noexcept;
// Queues codes; each GetCode hands out the next one, before any script.
void SimPushCodes(const unsigned char* codes, int count) noexcept;
int SimPendingCodes() noexcept;
// Replaces the script being played with a new one, which starts at the next
// GetCode. 0 when it was read; else its first bad line, and the old script
// plays on.
int SimPlayScript(const char* text, int loop) noexcept;
// Nonzero while the script has reports still to come.
int SimScriptPlaying() noexcept;
void SimGetStats(SimStats* stats) noexcept;
// Calls hook(context) at the start of every GetCode, on the polling thread.
void SimSetGetCodeHook(void (*hook)(void* context), void* context) noexcept;
// Calls hook(code, context) in every GetCode that hands out a code, just
// before it returns, on the polling thread.
void SimSetHandOutHook(void (*hook)(unsigned char code, void* context), void* context) noexcept;

}  // extern "C"
