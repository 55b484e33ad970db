#pragma once
// The settings file: the plug-in's path with ".ini", section "Main", beside
// the key-map files. The running plug-in works on the settings values in
// memory; the routines here seed them from the file and store them, each
// reading or writing its keys in a fixed order, with the value in memory as
// the default, so a missing key leaves a value as it was.
//
// They run on the host's thread, and those that change the lists or the
// receiver's values only while no worker thread runs.

#include <cstdint>
#include <string>
#include <string_view>

// The path with the extension of its file name replaced by (or, without one,
// extended with) ".ini".
std::string SettingsFilePath(std::string_view moduleFileName);
// Everything up to and including the last path separator.
std::string PluginFolder(std::string_view moduleFileName);

// Reads Interval, Device (a negative one counts as 0) and ChipTypeTM, then
// loads the key map that "DefaultConfig" names, by default "Mosker.cfg".
void LoadReceiverConfig();

// Reads Wait1, WaitN and WaitR: the last step of Open.
void ReadTimingSettings();
// Writes Wait1, WaitN and WaitR.
void SaveTimingSettings();

// What the setup dialog presets from the file, with the values in memory for
// the keys the file lacks; no value in memory changes.
struct DialogSettings {
    std::string defaultConfig;  // the key-map file to preselect
    std::int32_t device = 0;    // -1 when no device is chosen
    bool chipTypeTM = false;
};
DialogSettings ReadDialogSettings();
// Stores the dialog's choices and the Interval in memory.
void WriteDialogSettings(const DialogSettings& choices);
