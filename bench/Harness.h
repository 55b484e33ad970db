#pragma once
// What the figures run the plug-in in. Two harnesses: PluginUnderTest drives
// Pelcato.dll as a host loads it; LinkedPlugin runs the plug-in's own code
// linked into this program, for the figures that need its insides (its
// threads, the ends of its DispatchThread's waits) or a switch that cannot
// reach the DLL's copy of the code. Both sit in front of the simulated
// receiver, whose hand-outs are logged here. Harness.cpp is the one place
// that reaches into the plug-in's code, so that the figures name none of it.

#include "tests/support/PluginLibrary.h"
#include "tests/support/TestHost.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How long a figure waits for the plug-in's messages before it gives up.
constexpr DWORD kPatienceMs = 5000;

struct Timing {
    int wait1, waitN, waitR;
};

// When the simulated receiver handed out codes, in order, as far as the
// last kCapacity of them.
struct HandOutLog {
    static constexpr std::size_t kCapacity = 1 << 16;
    std::int64_t times[kCapacity];
    std::atomic<std::size_t> count = 0;

    std::int64_t Last() const { return count ? times[(count - 1) % kCapacity] : 0; }
};

extern HandOutLog handOuts;

// The simulated receiver's hand-out hook that fills handOuts.
void RecordHandOut(unsigned char code, void* context);

// Gives the simulated receiver one code to hand out.
void PushCode(unsigned char code);

// Pelcato.dll in a folder of its own, opened and started with the settings
// the figure needs.
class PluginUnderTest {
public:
    explicit PluginUnderTest(TestHost& host);
    ~PluginUnderTest() { Stop(); }

    bool Loaded() const { return library_.Loaded(); }

    // The key map of the next Start: the shipped one, with these entries
    // ("key name", "rule") in its section Repeat.
    void UseKeyRepeats(const std::vector<std::pair<std::string, std::string>>& repeats);

    void Start(const std::string& settings);
    void StartOnly();
    void StopOnly();
    void Stop();

private:
    TestHost& host_;
    PluginLibrary library_;
    HostInfo hostInfo_{kAcceptedCoreVersion};
    bool running_ = false;
};

// The plug-in's code in this program, its files beside the shipped key map.
// The plug-in keeps no count of its DispatchThread's wake-ups. To count them,
// the thread that Start made is ended at once and the plug-in's dispatch code
// runs on a thread of this program's instead, on the plug-in's own clock and
// waits, wrapped so that every end of a wait counts, whether by a code, a
// time-out or Stop. Stop then ends that thread as if it were its own.
class LinkedPlugin {
public:
    enum class Wakeups { kUncounted, kCounted };

    LinkedPlugin(TestHost& host, std::int32_t intervalMs, Wakeups wakeups = Wakeups::kUncounted);
    ~LinkedPlugin();

    // Read at the DispatchThread's next pass, as the setup dialog's changes are.
    void SetTiming(const Timing& timing);
    Timing CurrentTiming() const;

    HANDLE DispatchThread() const;
    HANDLE ReceiverThread() const;
    std::uint32_t DispatchWakeups() const { return dispatchWakeups_.load(); }

private:
    static DWORD WINAPI CountedDispatchThreadProc(void* context) noexcept;

    TestHost& host_;
    HostInfo hostInfo_{kAcceptedCoreVersion};
    std::atomic<std::uint32_t> dispatchWakeups_{0};
};

// What every figure is handed: the host that receives the plug-in's
// messages, and the Pelcato.dll that the figures which drive the library
// share. It is let go before the first figure that brings a plug-in of its
// own, so that one copy of the plug-in at a time meets the one simulated
// receiver.
struct Bench {
    TestHost host;
    std::optional<PluginUnderTest> library;
};
