#pragma once
// Loading and saving the plug-in's configuration: the settings values and
// the active key map.

// Reads the settings and loads the active key map into the key map and the
// model-name list. Runs only while no worker thread runs.
void LoadReceiverConfig();

// Reads the three key timings (part of Open).
void ReadTimingSettings();

// Writes the three key timings.
void SaveTimingSettings();
