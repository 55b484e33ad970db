#pragma once
// The plug-in's files and settings as the plug-in finds them. The tool lies
// in the plug-in's folder, so that folder is its own by default.
//
// Windows redirects the writes of a host that has no manifest and runs from
// a protected folder such as Program Files: the plug-in's settings file then
// lives in the user's VirtualStore folder, and that copy shadows the file
// beside the DLL, which the user edits to no effect. Where such a copy
// exists, it is the one in effect.

#include "plugin/config/KeyMap.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

// The folder this program runs from, with a trailing separator.
std::wstring ToolFolder();

// A path as the tool prints it: in the ANSI code page, as the rest of its
// output. A character the code page lacks shows as its default character,
// while the file itself is still found by its real name.
std::string Printable(const std::wstring& path);

struct PluginFiles {
    std::wstring folder;        // the plug-in's, with a trailing separator
    std::wstring settingsFile;  // the settings file in effect
    std::wstring shadowedFile;  // the file beside the plug-in when a VirtualStore copy shadows it; else empty
};

// The VirtualStore copy that would stand in for path, which need not exist;
// empty for a path that Windows never redirects (no drive letter, or no
// LOCALAPPDATA).
std::wstring VirtualStorePath(const std::wstring& path);

PluginFiles FindPluginFiles(const std::wstring& folder);

// Tells the user which settings file is in effect when a VirtualStore copy
// shadows the one beside the plug-in; says nothing otherwise.
void ReportShadowedSettings(const PluginFiles& files, std::ostream& out);

// The settings the plug-in would run with, read by the plug-in's own code:
// every value that the file lacks keeps the plug-in's built-in default.
struct PluginSettings {
    std::int32_t interval;
    std::int32_t wait1;
    std::int32_t waitN;
    std::int32_t waitR;
    std::optional<std::int32_t> device;  // the Device key, when the file has one
    bool chipTypeTM;
    int codeTextDigits;       // as the plug-in formats codes once it has read them
    std::wstring keyMapFile;  // DefaultConfig, or the plug-in's default
    KeyMap keyMap;            // the active key map, from the plug-in's folder
    ModelNameList modelNames;
};
// First tells the user which settings file is in effect (ReportShadowedSettings).
PluginSettings ReadPluginSettings(const PluginFiles& files, std::ostream& out);
