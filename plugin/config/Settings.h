#pragma once
// The settings file: the plug-in's path with ".ini", section "Main", beside
// the key-map files. The running plug-in works on the settings values in
// memory; the routines here seed them from a given file and store them, each
// reading or writing its keys in a fixed order. They keep no state of their
// own: the plug-in hands them its file, its values and its stand-in entries,
// and the companion program the file it finds in effect.
//
// Every key is declared once below, with its value in memory and the range
// the setup dialog keeps it in, and only the routines here name a key. Each
// key has one reader, which falls back on the value in memory, so the
// plug-in and its dialog cannot disagree on what a missing key means. The
// one exception is "DefaultConfig", which has no value in memory: the
// plug-in loads one file when the key is missing and the dialog proposes
// another, and both files are named here.
//
// The plug-in calls them on the host's thread, and those that change the
// receiver's values only while no worker thread runs.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings in memory, signed milliseconds and an index as stored; the
// threads bound them where they use them. Interval and the waits change
// while the threads run (the dialog's arrows), so they are atomic.
struct SettingsValues {
    std::atomic<std::int32_t> interval{50};
    std::atomic<std::int32_t> wait1{300};
    std::atomic<std::int32_t> waitN{100};
    std::atomic<std::int32_t> waitR{200};
    std::int32_t device = -1;  // -1 until the receiver has picked one
    bool chipTypeTM = false;

    constexpr SettingsValues() = default;
};

inline constexpr char kSettingsSection[] = "Main";

// A number of milliseconds that the dialog's arrows change in memory at
// once. Interval is read with the device and written with the dialog's
// choices; the waits are read once, by Open, and written after the dialog.
struct TimingSetting {
    const char* key;
    std::atomic<std::int32_t> SettingsValues::*value;
    // The dialog's range; a file edited by hand may hold any number.
    std::int32_t min, max, step;
};
inline constexpr TimingSetting kIntervalSetting{"Interval", &SettingsValues::interval, 10, 1000, 10};
inline constexpr TimingSetting kWait1Setting{"Wait1", &SettingsValues::wait1, 50, 1000, 50};
inline constexpr TimingSetting kWaitNSetting{"WaitN", &SettingsValues::waitN, 50, 1000, 50};
inline constexpr TimingSetting kWaitRSetting{"WaitR", &SettingsValues::waitR, 50, 1000, 50};

// The capture device's index in the device list, and the receiver's chip
// type. Read by every configuration load and by the dialog; written by the
// dialog only, and taken up through the file.
inline constexpr char kDeviceKey[] = "Device";
inline constexpr char kChipTypeTMKey[] = "ChipTypeTM";

// The active key map's file name, without folder. Read by every
// configuration load (default kLoadedKeyMapFile) and by the dialog (default
// kProposedKeyMapFile); written by the dialog only.
inline constexpr char kKeyMapFileKey[] = "DefaultConfig";
inline constexpr wchar_t kLoadedKeyMapFile[] = L"Mosker.cfg";
inline constexpr wchar_t kProposedKeyMapFile[] = L"PelcatoPCIDVD.cfg";

class IniFile;

// The path with the extension of its file name replaced by (or, without one,
// extended with) ".ini".
std::wstring SettingsFilePath(std::wstring_view moduleFileName);
// Everything up to and including the last path separator.
std::wstring PluginFolder(std::wstring_view moduleFileName);

// The key-map file the settings name, or kLoadedKeyMapFile.
std::wstring ReadActiveKeyMapFileName(const IniFile& settings);

// Entries that the settings file did not take when they were written: a
// folder the user may not write, a file another program holds open. They
// stand in for the file's own entries, so that what the user chose applies
// for as long as the library stays loaded, until a later write of the same
// key succeeds.
class UnsavedSettings {
public:
    constexpr UnsavedSettings() = default;

    // The value written last for key, if the file did not take it.
    const std::wstring* Find(std::string_view key) const;
    void Remember(std::string_view key, std::wstring value);
    void Forget(std::string_view key);
    bool Empty() const { return entries_.empty(); }

private:
    struct Entry {
        std::string key;
        std::wstring value;
    };
    std::vector<Entry> entries_;
};

// A write that the settings file did not take: which file, and the system's
// error code that says why.
struct SettingsWriteFailure {
    std::wstring file;
    std::uint32_t error;
};
using SettingsWriteResult = std::optional<SettingsWriteFailure>;

// What a configuration load takes from the settings file besides the values
// in memory.
struct ReceiverSettings {
    std::wstring keyMapFile;    // without folder: DefaultConfig, or kLoadedKeyMapFile
    bool deviceStored = false;  // Device reads as a number, from the file or a stand-in
};
// Reads Interval, Device (as stored: what a negative one stands for is the
// receiver's rule) and ChipTypeTM into values, and names the key map to load.
ReceiverSettings ReadReceiverSettings(const std::wstring& file, const UnsavedSettings& unsaved,
                                      SettingsValues& values);

// Reads Wait1, WaitN and WaitR into values.
void ReadWaitSettings(const std::wstring& file, const UnsavedSettings& unsaved, SettingsValues& values);
// Writes Wait1, WaitN and WaitR; the first write the file did not take.
SettingsWriteResult WriteWaitSettings(const std::wstring& file, UnsavedSettings& unsaved,
                                      const SettingsValues& values);

// What the user chooses in the setup dialog besides the timings.
struct DialogChoices {
    std::wstring keyMapFile;  // without folder
    // -1 when no device is chosen; none when the dialog listed no device to
    // choose from, and the stored setting stays as it is.
    std::optional<std::int32_t> device;
    bool chipTypeTM = false;
};
// The choices stored so far, with values for the keys the file lacks; values
// do not change. The device is always given.
DialogChoices ReadDialogSettings(const std::wstring& file, const UnsavedSettings& unsaved,
                                 const SettingsValues& values);
// Stores the choices and the Interval of values; the first write the file
// did not take.
SettingsWriteResult WriteDialogSettings(const std::wstring& file, UnsavedSettings& unsaved,
                                        const SettingsValues& values, const DialogChoices& choices);
