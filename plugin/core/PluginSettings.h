#pragma once
// The plug-in's own settings: its settings file (its module's path with
// ".ini") read into and written from the values and stand-in entries it
// holds, with the key map the settings name loaded beside. Open reads them,
// and the setup dialog stores its choices and reads them again.
//
// They run on the host's thread, and those that change the lists or the
// receiver's values only while no worker thread runs.

#include "plugin/config/Settings.h"

// Reads Interval, Device (a negative one counts as 0) and ChipTypeTM, then
// loads the key map that the settings name.
void LoadReceiverConfig();

// Reads Wait1, WaitN and WaitR: the last step of Open.
void ReadTimingSettings();
// Writes Wait1, WaitN and WaitR; the first write the file did not take.
SettingsWriteResult SaveTimingSettings();

// The dialog's choices stored so far, with the values in memory for the keys
// the file lacks; no value in memory changes. The device is always given.
DialogChoices ReadDialogChoices();
// Stores the choices and the Interval in memory; the first write the file
// did not take.
SettingsWriteResult WriteDialogChoices(const DialogChoices& choices);
