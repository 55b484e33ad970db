#pragma once
// The calibrate command on a receiver that is already open, so that tests
// play a scripted remote into the simulated receiver and call it in-process.
// Its steps wait for codes, never for the keyboard: the user's button
// presses are the only input it needs.

#include "tools/remote/PluginFiles.h"
#include "tools/remote/ReceiverSession.h"

#include <windows.h>

#include <iosfwd>

// Measures the remote on the device the plug-in uses, tells what the
// timings in files do with it, and with write stores the suggested ones.
// Once stop (an event; may be null) is set, it ends within one poll, stores
// nothing and returns kExitCannot: a calibration cut short has measured too
// little to suggest anything.
int CalibrateReceiver(ReceiverSession& session, const PluginFiles& files, bool write, HANDLE stop, std::ostream& out);
