#pragma once
// The press, repeat and release rules of the DispatchThread, as a plain class
// fed with tick counts. It owns no thread, calls no Win32 function and keeps
// no clock: the DispatchThread around it waits for codes, reads the tick
// count and delivers what the rules decide through a KeySink.
//
// A key repeats after Wait1 and then every WaitN, unless its key-map line
// says otherwise: a key that never repeats gives only its press and its
// release, and a key with a pace of its own repeats by its own two waits.
// Take-overs and releases are the same for every key.
//
// Ticks are milliseconds that wrap at 2^32; "t has elapsed since s" is the
// unsigned difference, so a key held while the tick count wraps keeps its
// rhythm.

#include "plugin/core/RemoteEvent.h"

#include "plugin/config/KeyMap.h"

#include <cstdint>
#include <optional>
#include <string_view>

struct KeyTiming {
    std::uint32_t wait1;  // from a press to the first repeat
    std::uint32_t waitN;  // between repeats
    std::uint32_t waitR;  // without a code until the key counts as released
};

// The timings come from a file that may be edited by hand. A wait of 0 would
// make the dispatcher spin while a key is down, and a negative one (a wait of
// 49 days when taken unsigned) would hold a key down for good, so every wait
// is bounded where it is used; the stored value stays as the user wrote it.
constexpr std::int32_t kMinWaitMs = 10;
constexpr std::int32_t kMaxWaitMs = 10000;
std::uint32_t BoundedWait(std::int32_t waitMs);

// Where the rules deliver their decisions.
class KeySink {
public:
    // Press 0, repeat n, release -1. False once Stop has cut the run short:
    // a message given up on still reaches the host later, and the host then
    // reads the record as it is, so nothing more may be written into it.
    virtual bool SendKey(std::int32_t param) = 0;
    virtual void ShowCode(std::uint64_t code) = 0;  // a (different) key is down now
    virtual void ShowRelease() = 0;                 // no key is down now

protected:
    ~KeySink() = default;
};

// What a code is looked up in. Null lists count as empty.
struct KeyTable {
    const KeyMap* keyMap;
    const ModelNameList* modelNames;
    int codeTextDigits;
};

// What the table makes of a code text: the key's name and its model, or, for
// a code it does not hold, the code text itself and "<undefined>".
struct KeyNames {
    std::string_view keyName;
    std::string_view modelName;
    int line;  // the key map's line, -1 for a code it does not hold
};
KeyNames LookUpKey(const KeyTable& table, std::string_view codeText);

class KeyDispatcher {
public:
    // Starts a run: writes the record's constant fields and its pointers to
    // texts.
    KeyDispatcher(RemoteEvent& record, KeyEventTexts& texts, KeySink& sink, const KeyTiming& timing);

    // A code has arrived from the receiver.
    void CodeArrived(std::uint64_t code, std::uint32_t now);

    // The wait for a code ended by time-out: the key is released once
    // waitR has passed since the last code.
    void TimeOut(std::uint32_t now, const KeyTiming& timing);

    // One pass: decides and delivers what changed since the last one. Once
    // a send has been cut short, passes do nothing.
    void RunPass(std::uint32_t now, const KeyTiming& timing, const KeyTable& table);

    // The next moment something is due while a key is down: its next repeat
    // or its time-out release, whichever comes first, and now when one is
    // already overdue. None while no key is down: then only a code can
    // change anything.
    std::optional<std::uint32_t> NextDeadline(std::uint32_t now, const KeyTiming& timing) const;

private:
    bool Send(std::int32_t param);
    bool UpdateKeyReleasingOld(const KeyTable& table);
    void SendRepeatWhenDue(std::uint32_t now, const KeyTiming& timing);
    // The waits of the key that is down: its own pace, or the settings'.
    std::uint32_t FirstRepeatWait(const KeyTiming& timing) const;
    std::uint32_t RepeatPeriod(const KeyTiming& timing) const;

    static constexpr std::uint64_t kNoCode = ~std::uint64_t{0};

    RemoteEvent& record_;
    KeyEventTexts& texts_;
    KeySink& sink_;

    std::uint64_t currentCode_ = kNoCode;
    bool currentPressed_ = false;
    std::uint64_t previousCode_ = kNoCode;
    bool previousPressed_ = false;
    std::int32_t repeatCount_ = 0;
    std::uint32_t codeTick_ = 0;
    std::uint32_t sendTick_ = 0;
    std::uint32_t currentWait_;
    // The repeat rule of the key that is down, copied from its key-map line
    // when it went down.
    KeyRepeat currentRepeat_;
    bool cutShort_ = false;
};
