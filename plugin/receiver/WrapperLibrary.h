#pragma once
// pltremotewrap.dll, bound at run time by its seven export names rather than
// through the import table.
//
// A host loads a plug-in by its full path, and Windows then looks for the
// plug-in's own imports beside the host's program, in the system folders,
// the current folder and PATH, but never beside the plug-in: an imported
// wrapper is not found there, and the host cannot load the plug-in at all.
// Nor can it where the tuner card's software, which brings the wrapper's
// own import pltremote.dll, is not installed yet. So the wrapper is loaded
// from the plug-in's folder by its full path, which has Windows search its
// imports beside it first, then where it finds any program's. Where it
// cannot be loaded, every call answers as the wrapper does without a
// receiver object: no code, no device, an unknown card.
//
// Loaded on the host's thread while no ReceiverThread runs; the
// ReceiverThread only calls GetCode. A wrapper once loaded stays for the
// life of the process. Each load of a library built with the static mingw
// runtime takes thread-local storage slots that its unload does not give
// back: a host that opened and closed the plug-in some hundreds of times
// would run out of them and end. Nor may the plug-in free a library from
// its own unload, which runs under the loader lock.

#include "wrapper/PltRemoteWrap.h"

#include <optional>
#include <string>

enum class WrapperState {
    kNotLoaded,  // before the plug-in is first opened
    kLoaded,
    kWrapperMissing,          // no pltremotewrap.dll beside the plug-in, nor anywhere Windows looks
    kReceiverLibraryMissing,  // pltremotewrap.dll is there, but Windows cannot load its pltremote.dll
};

class WrapperLibrary {
public:
    constexpr WrapperLibrary() = default;

    // Loads the wrapper from folder (ending with a separator), or, when
    // folder has none, wherever Windows finds it by name; nothing once a
    // wrapper is loaded. After a failure the next call tries again: the
    // tuner card's software may have been installed meanwhile.
    void Load(const std::wstring& folder);
    WrapperState State() const { return state_; }

    void RemoteCreate() const;
    void RemoteRelease() const;
    // Stores the next code in *code, or 255 when there is none.
    long GetCode(unsigned char* code) const;
    // One poll: the code the receiver reports, none for 255.
    std::optional<unsigned char> Poll() const;
    // Name of device index, valid and writable until the next call; null
    // past the last device.
    char* GetDeviceName(unsigned long index) const;
    long SelectDevice(unsigned long index) const;
    long GetCardType() const;
    void SetChipTypeTM(long value) const;

private:
    // Typed as the wrapper declares its functions.
    struct Exports {
        decltype(&::RemoteCreate) remoteCreate = nullptr;
        decltype(&::RemoteRelease) remoteRelease = nullptr;
        decltype(&::GetCode) getCode = nullptr;
        decltype(&::GetDeviceName) getDeviceName = nullptr;
        decltype(&::SelectDevice) selectDevice = nullptr;
        decltype(&::GetCardType) getCardType = nullptr;
        decltype(&::SetChipTypeTM) setChipTypeTM = nullptr;
    };

    Exports exports_;  // all set once a wrapper is loaded, all null before
    WrapperState state_ = WrapperState::kNotLoaded;
};

// What the user reads, where the card type would show, when the wrapper could
// not be loaded: the setup dialog and the companion say the same. Null when
// no load failed.
const char* WrapperProblemText(WrapperState state);
