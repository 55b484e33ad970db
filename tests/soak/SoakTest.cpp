// The plug-in under stress: thousands of cycles, a receiver and a host that
// misbehave, and calls in orders that no host should make. Whatever happens,
// Stop and Close return within kBoundMs, the host sees only well-formed key
// messages, and Close leaves no thread and no receiver object behind.
//
// The counts are short by default, as part of every test run; with
// PELCATO_SOAK=full (make soak) they are the full ones. Every figure is
// printed.

#include "plugin/core/Plugin.h"
#include "plugin/core/PluginState.h"
#include "plugin/setup/SetupForm.h"

#include "simreceiver/SimControl.h"
#include "tests/support/ResourceUse.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/SoakLength.h"
#include "tests/support/TestHost.h"
#include "tests/support/TextFile.h"
#include "wrapper/PltRemoteWrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kBoundMs = 1000;
constexpr DWORD kPatienceMs = 5000;

int Count(int shortRun, int fullRun)
{
    return FullSoakRequested() ? fullRun : shortRun;
}

// Milliseconds that work took.
double Timed(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The keys as a host sees them, message by message. Take says what is wrong
// with the next message, or "" when nothing is: a press comes while no key
// is down, a repeat follows the press or the repeat before it, exactly one
// release follows and names the pressed key, and every name is terminated
// inside its field.
class HostKeys {
public:
    std::string Take(const KeyMessage& message)
    {
        std::ostringstream where;
        where << "message " << taken_++ << " (" << message.param << ", " << message.codeText << "): ";
        if (strnlen(message.record.keyName, sizeof message.record.keyName) == sizeof message.record.keyName)
            return where.str() + "key name not terminated";
        std::string name = message.record.keyName;
        if (message.param == kPressParam) {
            if (down_)
                return where.str() + "a press while " + name_ + " is down";
            down_ = true;
            name_ = name;
            codeText_ = message.codeText;
            lastRepeat_ = 0;
        } else if (message.param == kReleaseParam) {
            if (!down_)
                return where.str() + "a release with no key down";
            if (name != name_ || message.codeText != codeText_)
                return where.str() + "the release of " + name_ + " " + codeText_ + " names " + name;
            down_ = false;
        } else if (!down_ || message.param != lastRepeat_ + 1) {
            return where.str() + "a repeat out of order";
        } else {
            lastRepeat_ = message.param;
        }
        return "";
    }

    bool Down() const { return down_; }
    const std::string& DownName() const { return name_; }

private:
    std::size_t taken_ = 0;
    bool down_ = false;
    std::string name_;
    std::string codeText_;
    std::int32_t lastRepeat_ = 0;
};

std::string MessageOrderFault(const std::vector<KeyMessage>& messages)
{
    HostKeys keys;
    for (const KeyMessage& message : messages) {
        if (std::string fault = keys.Take(message); !fault.empty())
            return fault;
    }
    return "";
}

void RandomCodeEachPoll(void*)
{
    static std::mt19937 random(3);
    unsigned char code = static_cast<unsigned char>(std::uniform_int_distribution<int>(0, 254)(random));
    SimPushCodes(&code, 1);
}

void SlowPoll(void*)
{
    ::Sleep(200);
}

class Soak : public testing::Test {
protected:
    void SetUp() override
    {
        SimReset();
        PluginState& plugin = ThePlugin();
        plugin.settings.device = -1;
        plugin.settings.interval = 10;
        threadsBefore_ = ThreadCount();
    }
    void TearDown() override
    {
        SimSetGetCodeHook(nullptr, nullptr);
        host.OnKey(nullptr);
        host.Run(plugin::Close);
        EXPECT_EQ(ThreadCount(), threadsBefore_) << "a thread outlived Close";
        SimStats stats;
        SimGetStats(&stats);
        EXPECT_EQ(stats.objectsAlive, 0) << "the receiver object outlived Close";
    }

    void Open(HWND window = nullptr)
    {
        host.Run([&] { plugin::Open("Soak", window ? window : host.Window(), hostInfo.bytes); });
        // Whatever the plug-in writes goes to a folder of the test's own.
        ThePlugin().moduleFileName = scratch.PathOf(L"Pelcato.dll");
    }

    // Setup on the host's thread, with a user who closes the dialog as soon
    // as it shows.
    void SetupAndClose()
    {
        std::future<void> setup = host.Post(plugin::Setup);
        HWND form = WaitForSetupForm(kPatienceMs);
        ASSERT_TRUE(form) << "the dialog showed";
        ::PostMessageA(form, WM_CLOSE, 0, 0);
        ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    }

    // Runs the cycles on the host's thread, after a hundred to warm up, and
    // expects the process to use no more afterwards than before. A lock of
    // the system's that meets its first contention gets an event of its own,
    // once, at a moment no test can choose (seen here as one new event
    // somewhere in the first thousand cycles). A leak grows with the cycles
    // instead: thousands of them may leave at most that one handle.
    void ExpectNothingLeftBehind(const char* what, int cycles, const std::function<void(int)>& cycle)
    {
        auto run = [&](int count) {
            host.Run([&] {
                for (int i = 0; i < count; ++i)
                    cycle(i);
            });
        };
        run(100);
        ResourceUse before = MeasureResourceUse();
        double ms = Timed([&] { run(cycles / 2); });
        ResourceUse half = MeasureResourceUse();
        ms += Timed([&] { run(cycles - cycles / 2); });
        ResourceUse allowed = before;
        allowed.handles += 1;
        ResourceUse after = MeasureResourceUseWithin(allowed);
        std::printf("    %d %s cycles in %.0f ms\n    before:  %s\n    halfway: %s\n    after:   %s\n", cycles, what, ms,
                    Describe(before).c_str(), Describe(half).c_str(), Describe(after).c_str());
        EXPECT_LE(after.handles, before.handles + 1) << what;
        EXPECT_EQ(after.threads, before.threads) << what;
        EXPECT_LT(after.privateBytes, before.privateBytes + 1024 * 1024) << what << ": memory grows with the cycles";
    }

    void ExpectBounded(const char* what, const std::function<void()>& call)
    {
        double ms = Timed([&] { host.Run(call); });
        std::printf("    %s returned in %.1f ms\n", what, ms);
        EXPECT_LT(ms, kBoundMs) << what;
    }

    ScratchFolder scratch{L"soak-test"};
    TestHost host;
    HostInfo hostInfo{kAcceptedCoreVersion};
    int threadsBefore_ = 0;
};

TEST_F(Soak, StartStopCyclesLeaveNothingBehind)
{
    const int cycles = Count(300, 10000);
    Open();
    // Every tenth cycle carries a key: it stops only once the press has
    // come, since a code still on its way at Stop is dropped.
    auto cycle = [this](int i) {
        plugin::Start();
        if (i % 10 == 0) {
            unsigned char code = static_cast<unsigned char>(i % 255);
            std::size_t messages = host.MessageCount();
            SimPushCodes(&code, 1);
            WaitUntil(
                [&] {
                    MSG sent;
                    ::PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
                    return host.MessageCount() > messages;
                },
                kPatienceMs);
        }
        plugin::Stop();
    };
    ExpectNothingLeftBehind("Start/Stop", cycles, cycle);
    EXPECT_GT(host.MessageCount(), 0u) << "the codes went out";
}

// A host that closes and opens the plug-in again and again, as some do on
// every change of their own settings: no handle, thread, memory or
// thread-local storage slot may go with each cycle (a process has about a
// thousand of those slots, and a process out of them ends).
TEST_F(Soak, OpenCloseCyclesLeaveNothingBehind)
{
    Open();
    ExpectNothingLeftBehind("Close/Open", Count(300, 2000), [this](int) {
        plugin::Close();
        Open();
    });
    DWORD slot = ::TlsAlloc();
    EXPECT_NE(slot, TLS_OUT_OF_INDEXES) << "no thread-local storage slot left";
    ::TlsFree(slot);
}

TEST_F(Soak, DialogCyclesLeaveNothingBehind)
{
    const int cycles = Count(10, 300);
    Open();
    for (int i = 0; i < 3; ++i)
        SetupAndClose();
    ResourceUse before = MeasureResourceUse();
    double ms = Timed([&] {
        for (int i = 0; i < cycles && !HasFatalFailure(); ++i)
            SetupAndClose();
    });
    ResourceUse after = MeasureResourceUseWithin(before);
    std::printf("    %d dialogs opened and closed in %.0f ms\n    before: %s\n    after:  %s\n", cycles, ms,
                Describe(before).c_str(), Describe(after).c_str());
    EXPECT_LE(after.handles, before.handles);
    EXPECT_EQ(after.guiObjects, before.guiObjects);
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_LT(after.privateBytes, before.privateBytes + 1024 * 1024) << "memory grows with the dialogs";
}

struct Misbehaviour {
    const char* name;
    std::function<void()> arrange;  // before Open
};

class MisbehavingReceiver : public Soak, public testing::WithParamInterface<Misbehaviour> {};

TEST_P(MisbehavingReceiver, LeavesThePlugInWorkingAndStoppable)
{
    std::printf("    %s\n", GetParam().name);
    GetParam().arrange();
    Open();
    host.Run(plugin::Start);
    const unsigned char codes[] = {0x1A, 0x1A, 0x0B};
    SimPushCodes(codes, 3);
    ::Sleep(Count(400, 3000));
    SetupAndClose();
    EXPECT_TRUE(ThePlugin().started) << "running again after the dialog";
    ExpectBounded("Stop", plugin::Stop);
    ExpectBounded("Close", plugin::Close);
    EXPECT_EQ(MessageOrderFault(host.Messages()), "");
}

std::string LongForeignName()
{
    return std::string(100000, '\xE9') + " pelcato \xFF";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MisbehavingReceiver,
    testing::Values(Misbehaviour{"no devices", [] { SimSetDevices(nullptr, nullptr, 0); }},
                    Misbehaviour{"very long, non-ASCII device names",
                                 [] {
                                     static const std::string name = LongForeignName();
                                     const char* names[] = {name.c_str(), "\x80\x81\x82", name.c_str()};
                                     SimSetDevices(names, nullptr, 3);
                                 }},
                    Misbehaviour{"GetCode takes 200 ms", [] { SimSetGetCodeHook(&SlowPoll, nullptr); }},
                    Misbehaviour{"random codes at the highest rate",
                                 [] {
                                     ThePlugin().settings.interval = 0;
                                     SimSetGetCodeHook(&RandomCodeEachPoll, nullptr);
                                 }},
                    Misbehaviour{"a device far past the last", [] { ThePlugin().settings.device = 1000000; }}));

TEST_F(Soak, SlowHostWindowProcedureNeverHoldsStopLong)
{
    host.OnKey([](std::int32_t) { ::Sleep(100); });
    Open();
    ThePlugin().settings.interval = 0;
    SimSetGetCodeHook(&RandomCodeEachPoll, nullptr);
    host.Run(plugin::Start);
    ::Sleep(Count(600, 3000));
    ExpectBounded("Stop", plugin::Stop);
    EXPECT_EQ(MessageOrderFault(host.Messages()), "");
    EXPECT_GT(host.MessageCount(), 0u);
}

TEST_F(Soak, HostWindowDestroyedWhileThePlugInRuns)
{
    HWND window = nullptr;
    host.Run([&] { window = ::CreateWindowA("STATIC", "Short-lived", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr); });
    ASSERT_TRUE(window);
    Open(window);
    SimSetGetCodeHook(&RandomCodeEachPoll, nullptr);
    host.Run(plugin::Start);
    ::Sleep(200);
    host.Run([&] { ::DestroyWindow(window); });
    ::Sleep(300);
    ExpectBounded("Stop", plugin::Stop);
    ExpectBounded("Close", plugin::Close);
}

// Calls in an order no host should make, one word a call, and what the
// plug-in must be after them: open or closed, running or not.
struct CallOrder {
    const char* calls;
    bool opened;
    bool started;
};

void PrintTo(const CallOrder& order, std::ostream* out)
{
    *out << "\"" << order.calls << "\"";
}

class UnusualOrder : public Soak, public testing::WithParamInterface<CallOrder> {};

TEST_P(UnusualOrder, NeverHangsAndLeavesThePlugInAsTheLastCallsSay)
{
    const CallOrder& order = GetParam();
    Open();
    std::istringstream calls(order.calls);
    for (std::string call; calls >> call && !HasFatalFailure();) {
        if (call == "Setup") {
            // Without an open plug-in there is nothing to set up.
            if (ThePlugin().opened)
                SetupAndClose();
            else
                ExpectBounded("Setup", plugin::Setup);
            continue;
        }
        std::function<void()> entry = [this] { plugin::Open("Again", host.Window(), hostInfo.bytes); };
        if (call == "Start")
            entry = plugin::Start;
        else if (call == "Stop")
            entry = plugin::Stop;
        else if (call == "Close")
            entry = plugin::Close;
        ExpectBounded(call.c_str(), entry);
        const unsigned char code = 0x1A;
        SimPushCodes(&code, 1);
    }

    SimStats stats;
    SimGetStats(&stats);
    EXPECT_EQ(ThePlugin().opened, order.opened) << order.calls;
    EXPECT_EQ(ThePlugin().started, order.started) << order.calls;
    EXPECT_EQ(ThreadCount() - threadsBefore_, order.started ? 2 : 0) << order.calls << ": threads of the plug-in";
    EXPECT_EQ(stats.objectsAlive, order.opened ? 1 : 0) << order.calls << ": receiver objects";
}

INSTANTIATE_TEST_SUITE_P(Sequences, UnusualOrder,
                         testing::Values(CallOrder{"Stop Start Stop", true, false},
                                         CallOrder{"Start Start Stop Stop", true, false},
                                         CallOrder{"Close Close", false, false},
                                         CallOrder{"Setup Setup", true, false},
                                         CallOrder{"Start Setup Setup Stop", true, false},
                                         CallOrder{"Start Setup Setup", true, true},
                                         CallOrder{"Start Close", false, false},
                                         CallOrder{"Start Open Start", true, true},
                                         CallOrder{"Close Start", false, false},
                                         CallOrder{"Start Close Start", false, false},
                                         CallOrder{"Start Close Setup", false, false},
                                         CallOrder{"Close Start Setup Stop", false, false},
                                         CallOrder{"Start Close Close Open Start", true, true}));

// A host's whole session, played at random from a seed: Start, Stop, Close
// with Open, and Setup with a user who closes the dialog after 50-300 ms.
// The remote taps, holds and switches buttons; GetCode sometimes takes up to
// 150 ms, and the host's window procedure is sometimes busy for up to 60 ms.
// After every step the test checks what a host relies on. A failure prints
// the seed and the steps that led to it; PELCATO_SESSION_SEED replays one.
class RandomSession : public Soak {
protected:
    // The remote in the receiver's hands: what each GetCode reports.
    struct Remote {
        std::mt19937 random;
        unsigned char button = 0;
        int pollsLeft = 0;  // of the current press
        bool takeOver = false;

        // On the ReceiverThread, which runs one at a time.
        static void OnGetCode(void* context)
        {
            Remote& remote = *static_cast<Remote*>(context);
            auto chance = [&](int percent) { return std::uniform_int_distribution(0, 99)(remote.random) < percent; };
            auto between = [&](int low, int high) { return std::uniform_int_distribution(low, high)(remote.random); };
            if (remote.pollsLeft == 0 && chance(25)) {
                remote.button = static_cast<unsigned char>(between(0x10, 0x17));
                remote.pollsLeft = chance(40) ? 1 : between(3, 40);  // a tap or a hold
                remote.takeOver = chance(50);
            }
            if (remote.pollsLeft > 0) {
                // Another button, with no pause between them.
                if (remote.takeOver && remote.pollsLeft > 1 && chance(20)) {
                    remote.button = static_cast<unsigned char>(0x10 + (remote.button + 1) % 8);
                    remote.takeOver = false;
                }
                --remote.pollsLeft;
                SimPushCodes(&remote.button, 1);
            }
            if (chance(3))
                ::Sleep(static_cast<DWORD>(between(0, 150)));
        }
    };

    // The codes the receiver reported for the host since the last Start:
    // codes that reach the setup dialog do not count.
    struct Reported {
        std::mutex mutex;
        std::set<unsigned long> codes;

        static void OnHandOut(unsigned char code, void* context)
        {
            if (ThePlugin().setupDialogOpen)
                return;
            Reported& reported = *static_cast<Reported*>(context);
            std::lock_guard lock(reported.mutex);
            reported.codes.insert(code);
        }
        // Only while no thread runs: a code reported meanwhile would be lost.
        void Clear()
        {
            std::lock_guard lock(mutex);
            codes.clear();
        }
        bool Has(const std::string& codeText)
        {
            std::lock_guard lock(mutex);
            return codes.count(std::strtoul(codeText.c_str(), nullptr, 16)) != 0;
        }
    };

    void TearDown() override
    {
        SimSetHandOutHook(nullptr, nullptr);
        Soak::TearDown();
    }

    static unsigned SeedToPlay()
    {
        char text[16] = {};
        if (::GetEnvironmentVariableA("PELCATO_SESSION_SEED", text, sizeof text) > 0)
            return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
        return 20261209;
    }

    std::string Fault(const std::string& what) const
    {
        std::ostringstream out;
        out << what << "\n  seed " << seed << " (replay with PELCATO_SESSION_SEED=" << seed << "), after the steps:";
        std::size_t first = steps.size() > 30 ? steps.size() - 30 : 0;
        for (std::size_t i = first; i < steps.size(); ++i)
            out << "\n  " << i + 1 << ". " << steps[i];
        return out.str();
    }

    // Runs a call on the host's thread, which is sometimes busy for a while
    // first; false when it did not return in time.
    bool Call(std::function<void()> call)
    {
        DWORD busyMs = Busy(random);
        steps.back() += busyMs ? " (host busy " + std::to_string(busyMs) + " ms)" : "";
        std::future<void> done = host.Post([busyMs, call = std::move(call)] {
            ::Sleep(busyMs);
            call();
        });
        return done.wait_for(std::chrono::milliseconds(kPatienceMs)) == std::future_status::ready;
    }

    // How long the host stays busy: 0-60 ms, three times in ten.
    static DWORD Busy(std::mt19937& random)
    {
        if (std::uniform_int_distribution(0, 9)(random) >= 3)
            return 0;
        return static_cast<DWORD>(std::uniform_int_distribution(0, 60)(random));
    }

    // The new key messages, in order, as a host takes them, and a press
    // only for a code reported since the last Start.
    std::string CheckNewMessages()
    {
        for (std::size_t count = host.MessageCount(); checked < count; ++checked) {
            KeyMessage message = host.MessageAt(checked);
            if (std::string fault = keys.Take(message); !fault.empty())
                return fault;
            if (message.param == kPressParam && !reported.Has(message.codeText))
                return "message " + std::to_string(checked) + ": a press of " + message.codeText +
                       ", a code the receiver did not report since the last Start";
        }
        return "";
    }

    // What the host's last calls say the plug-in is, and what it is.
    std::string CheckState(bool afterStop)
    {
        if (std::string fault = CheckNewMessages(); !fault.empty())
            return fault;
        if (afterStop && keys.Down())
            return keys.DownName() + " is still down for the host after Stop";
        SimStats stats;
        SimGetStats(&stats);
        std::ostringstream state;
        state << "opened " << ThePlugin().opened << ", started " << ThePlugin().started << ", threads "
              << ThreadCount() - threadsBefore_ << ", receiver objects " << stats.objectsAlive;
        std::ostringstream expected;
        expected << "opened 1, started " << started << ", threads " << (started ? 2 : 0) << ", receiver objects 1";
        if (state.str() != expected.str())
            return "the plug-in is {" + state.str() + "}, expected {" + expected.str() + "}";
        if (std::string now = ReadTextFile(settingsFile); now != storedSettings)
            return "the settings file holds\n" + now + "\nexpected\n" + storedSettings;
        return "";
    }

    // Setup, with a user who closes the dialog after a while.
    bool SetupStep(DWORD closeAfterMs)
    {
        std::future<void> setup = host.Post(plugin::Setup);
        HWND form = WaitForSetupForm(kPatienceMs);
        if (!form)
            return false;
        ::Sleep(closeAfterMs);
        ::PostMessageA(form, WM_CLOSE, 0, 0);
        return setup.wait_for(std::chrono::milliseconds(kPatienceMs)) == std::future_status::ready;
    }

    unsigned seed = SeedToPlay();
    std::mt19937 random{seed};
    std::vector<std::string> steps;
    Remote remote{std::mt19937(seed + 1)};
    Reported reported;
    std::wstring settingsFile = scratch.PathOf(L"Pelcato.ini");
    std::string storedSettings;
    bool started = false;
    std::size_t checked = 0;
    HostKeys keys;
};

TEST_F(RandomSession, KeepsWhatTheHostReliesOnAfterEveryStep)
{
    const int stepCount = Count(250, 10000);
    std::printf("    %d steps from seed %u\n", stepCount, seed);
    auto between = [&](int low, int high) { return std::uniform_int_distribution(low, high)(random); };
    std::mt19937 hostRandom(seed + 2);  // used on the host's thread only
    host.OnKey([&](std::int32_t) { ::Sleep(Busy(hostRandom)); });
    SimSetGetCodeHook(&Remote::OnGetCode, &remote);
    SimSetHandOutHook(&Reported::OnHandOut, &reported);
    scratch.Write(L"Pelcato.ini", "[Main]\r\nDevice=1\r\n");
    Open();
    ASSERT_TRUE(SetupStep(50)) << Fault("the first Setup did not end");
    storedSettings = ReadTextFile(settingsFile);
    ASSERT_NE(storedSettings.find("Device=1"), std::string::npos) << storedSettings;

    for (int step = 0; step < stepCount; ++step) {
        int pick = between(0, 99);
        bool afterStop = false;
        bool returned = true;
        if (pick < 35) {
            steps.push_back("Start");
            if (!started)
                reported.Clear();
            returned = Call(plugin::Start);
            started = true;
        } else if (pick < 65) {
            steps.push_back("Stop");
            returned = Call(plugin::Stop);
            started = false;
            afterStop = true;
        } else if (pick < 85) {
            steps.push_back("Close, Open");
            returned = Call([this] {
                plugin::Close();
                Open();
            });
            started = false;
            afterStop = true;
        } else {
            DWORD closeAfterMs = static_cast<DWORD>(between(50, 300));
            steps.push_back("Setup, closed after " + std::to_string(closeAfterMs) + " ms");
            returned = SetupStep(closeAfterMs);
            // A key the host held was released before the dialog opened,
            // and the codes the dialog showed are not for the host.
            afterStop = !started;
        }
        ASSERT_TRUE(returned) << Fault("the last step did not return within " + std::to_string(kPatienceMs) + " ms");
        DWORD pause = static_cast<DWORD>(between(0, 60));
        steps.back() += ", then " + std::to_string(pause) + " ms";
        ::Sleep(pause);
        std::string fault = CheckState(afterStop);
        ASSERT_TRUE(fault.empty()) << Fault(fault);
    }
    std::vector<std::int32_t> params = host.Params();
    std::printf("    the host got %zu key messages, %zd presses\n", params.size(),
                std::count(params.begin(), params.end(), kPressParam));
}

// Run in a copy of this program beside a wrapper that never gets memory for
// the receiver object; skipped anywhere else.
TEST(WithoutReceiverObject, PlugInWorksWithNothingToPoll)
{
    char marker[4] = {};
    if (::GetEnvironmentVariableA("PELCATO_NO_MEMORY_COPY", marker, sizeof marker) == 0)
        GTEST_SKIP() << "runs only in the copy beside the failing wrapper";
    SimReset();
    TestHost host;
    HostInfo hostInfo(kAcceptedCoreVersion);
    int threadsBefore = ThreadCount();
    host.Run([&] {
        plugin::Open("No memory", host.Window(), hostInfo.bytes);
        plugin::Start();
    });
    EXPECT_TRUE(ThePlugin().devices->empty());
    EXPECT_EQ(ThePlugin().settings.device, 0);
    EXPECT_EQ(ThePlugin().wrapper.GetCardType(), 0);
    EXPECT_EQ(ThePlugin().wrapper.State(), WrapperState::kLoaded) << "the wrapper is there; its receiver is not";
    const unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    ::Sleep(300);
    SimStats stats;
    SimGetStats(&stats);
    EXPECT_EQ(stats.constructed, 0) << "no object was made";
    EXPECT_EQ(stats.getCodeCalls, 0) << "nothing reaches the receiver library";
    EXPECT_TRUE(host.Messages().empty());
    double ms = Timed([&] { host.Run([] { plugin::Stop(); plugin::Close(); }); });
    EXPECT_LT(ms, kBoundMs);
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(NoMemoryForTheReceiver, PlugInRunsWithoutAReceiverObject)
{
    ScratchFolder folder(L"no-memory-test");
    for (const wchar_t* file : {L"soak_tests.exe", L"pltremote.dll"})
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + file).c_str(), folder.PathOf(file).c_str(), FALSE))
            << testing::PrintToString(std::wstring(file));
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"..\\faults\\pltremotewrap.dll").c_str(),
                            folder.PathOf(L"pltremotewrap.dll").c_str(), FALSE));

    std::wstring commandLine = L"\"" + folder.PathOf(L"soak_tests.exe") + L"\" --gtest_filter=WithoutReceiverObject.*";
    ::SetEnvironmentVariableW(L"PELCATO_NO_MEMORY_COPY", L"1");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    folder.Path().c_str(), &startup, &process);
    ::SetEnvironmentVariableW(L"PELCATO_NO_MEMORY_COPY", nullptr);
    ASSERT_TRUE(started);
    win::Handle processHandle(process.hProcess);
    win::Handle threadHandle(process.hThread);
    ASSERT_EQ(::WaitForSingleObject(processHandle.Get(), 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(processHandle.Get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << "the copy's test failed";
}

}  // namespace
