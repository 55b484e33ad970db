// Until the settings file and the key-map files are read, the configuration
// is what a missing key-map file gives: an empty key map under the model name
// "<Unknown>", so every code goes out as its code text.

#include "ReceiverConfig.h"

#include "core/PluginState.h"

void LoadReceiverConfig()
{
    PluginState& plugin = ThePlugin();
    if (plugin.modelNames)
        *plugin.modelNames = {"<Unknown>"};
    if (plugin.keyMap)
        plugin.keyMap->Clear();
    plugin.codeTextDigits = 8;
}

void ReadTimingSettings() {}

void SaveTimingSettings() {}
