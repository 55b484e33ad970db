#pragma once
// The plug-in-wide state: everything the entry points, the two worker threads
// and the setup dialog share, in one place.
//
// Threads: the host's thread calls every entry point and runs the dialog. The
// ReceiverThread and the DispatchThread meet it, and each other, only through
// the atomics below and the CodeEvent. Everything else is written on the
// host's thread, and the lists only while no worker thread runs.

#include "plugin/core/PendingCode.h"
#include "plugin/core/RemoteEvent.h"

#include "common/win/Handle.h"
#include "plugin/config/KeyMap.h"
#include "plugin/config/Settings.h"
#include "plugin/receiver/WrapperLibrary.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TSetupForm;

using DeviceList = std::vector<std::string>;

// An Open that came while Stop waited for the threads: carried out, after a
// Close, once they have ended.
struct OpenRequest {
    std::string sourceName;
    HWND hostWindow;
    bool coreVersionAccepted;
};

// The key the host was last told is down, as the record described it then.
// The DispatchThread writes it with each message it hands to the host; Stop
// reads it once that thread has ended and sends the release the host is
// still owed, and Start and Close send one that the host did not take in
// time.
struct HeldKey {
    bool down = false;  // until the release has reached the host
    char keyName[kKeyNameSize] = {};
    KeyEventTexts texts = {};
};

struct PluginState {
    HWND hostWindow = nullptr;
    // The plug-in's own file, as Open finds it: wide, so that its folder may
    // have any name.
    std::wstring moduleFileName;

    RemoteEvent remoteEvent = {};
    KeyEventTexts keyEventTexts = {};
    HeldKey heldKey;

    // Loaded by ReceiverOpen, unloaded by ReceiverClose.
    WrapperLibrary wrapper;
    // Created by Open (the key map) and by ReceiverOpen (the lists).
    std::optional<KeyMap> keyMap;
    std::optional<ModelNameList> modelNames;
    std::optional<DeviceList> devices;

    bool opened = false;
    bool started = false;
    bool stopping = false;
    bool closePending = false;  // Close came while Stop waited for the threads
    std::optional<OpenRequest> openPending;  // and so did an Open
    // Counts every Open and Close, so that a setup session can tell that
    // the host closed the plug-in while the session waited, even when the
    // host has opened it again since.
    std::uint32_t openings = 0;
    bool coreVersionOk = false;  // the host that opened the plug-in has a core it works with
    // While set, codes show in the setup dialog and nothing goes to the host.
    std::atomic<bool> setupDialogOpen{false};

    SettingsValues settings;
    UnsavedSettings unsavedSettings;
    // The digits a code's text is padded to: kKeyMapCodeDigits once a key map
    // is loaded.
    std::atomic<std::int32_t> codeTextDigits{7};

    // The hand-off from the ReceiverThread to the DispatchThread.
    PendingCode pendingCode;
    win::Event codeEvent;

    win::Thread dispatchThread;
    win::Event dispatchStop;  // also ends a send that the host does not answer

    win::Thread receiverThread;
    win::Event receiverStop;  // lets Stop cut the ReceiverThread's pause short
};

PluginState& ThePlugin();

// The setup dialog while Setup runs, null otherwise. Exported to the host as
// the data symbol "_SetupForm", so it is a plain pointer of its own; the
// DispatchThread reads it through std::atomic_ref.
extern "C" TSetupForm* SetupForm;
