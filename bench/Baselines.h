#pragma once
// The floors the figures are measured against: bare threads doing what the
// plug-in's threads do at their least, in the same run, so that a figure
// reads as the plug-in's cost above what this machine gives anyone.

#include "common/win/Handle.h"

#include <windows.h>

#include <vector>

// The floor of this design: one thread signals an event, another wakes and
// sends a key message to a window on a third.
class SignalledSender {
public:
    explicit SignalledSender(HWND target);
    ~SignalledSender();
    void Signal() const { wake_.Set(); }

private:
    static DWORD WINAPI ThreadProc(void* self);
    void Run();

    HWND target_;
    win::Event wake_ = win::Event::CreateManualReset();
    win::Event stop_ = win::Event::CreateManualReset();
    win::Thread thread_;
};

// A bare thread that pauses periodMs at a time until its event is set.
struct Pauser {
    explicit Pauser(DWORD periodMs);
    ~Pauser() { End(); }
    void End();

    static DWORD WINAPI ThreadProc(void* context);

    DWORD periodMs;
    win::Event stop = win::Event::CreateManualReset();
    win::Thread thread;
};

// A bare thread that waits through a list of waits, one after another, with
// the DispatchThread's kind of wait (a TimedWait) on an event that nothing
// sets; how late each wait ends.
class BareWaiter {
public:
    explicit BareWaiter(std::vector<int> waitsMs);

    std::vector<double> Run();
    bool HighResolution() const { return highResolution_; }

private:
    static DWORD WINAPI ThreadProc(void* self);
    void WaitAll();

    std::vector<int> waitsMs_;
    std::vector<double> lateness_;
    bool highResolution_ = false;
};
