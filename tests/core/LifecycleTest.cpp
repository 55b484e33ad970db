// The plug-in's lifecycle on real threads, with a real host window on a
// thread of its own and the simulated receiver behind the wrapper. Timing is
// checked only loosely here: the exact rules are tested on a fake clock. The
// tests of held keys run on both of the DispatchThread's waits: the
// high-resolution timer, which Wine offers, and the plain wait that systems
// without one get.

#include "common/win/TimedWait.h"
#include "core/Plugin.h"
#include "core/PluginState.h"
#include "setup/SetupForm.h"

#include "FailingAllocation.h"
#include "ResourceUse.h"
#include "ScratchFolder.h"
#include "SimControl.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 5000;  // generous: a loaded machine is slow, never this slow

void PushCodes(std::vector<unsigned char> codes)
{
    SimPushCodes(codes.data(), static_cast<int>(codes.size()));
}

class Lifecycle : public testing::Test {
protected:
    void SetUp() override
    {
        SimReset();
        ThePlugin().settings.interval = 20;
        host.Run([this] { plugin::Open("Test source", host.Window(), hostInfo.bytes); });
        // What the plug-in writes later goes to a folder of the test's own,
        // not beside the test program, where the next run would read it.
        ThePlugin().moduleFileName = scratch.PathOf(L"Pelcato.dll");
    }
    void TearDown() override { host.Run(plugin::Close); }

    ScratchFolder scratch{L"lifecycle-test"};
    HostInfo hostInfo{kAcceptedCoreVersion};
    TestHost host;
};

// How the DispatchThread ends its waits on time: as the shipped plug-in
// does (by the high-resolution timer where the system has one, as Wine
// does), or by the plain wait that systems without that timer get.
enum class WaitKind { kAsShipped, kPlain };

std::ostream& operator<<(std::ostream& out, WaitKind kind)
{
    return out << (kind == WaitKind::kPlain ? "PlainWait" : "AsShipped");
}

// A lifecycle test whose DispatchThread waits as its parameter's WaitKind
// says. A forced plain wait must really be one, or the test would only run
// the timer's path twice.
class LifecycleOnWait : public Lifecycle {
protected:
    virtual WaitKind Kind() const = 0;

    void SetUp() override
    {
        win::TimedWait::ForcePlainWait(Kind() == WaitKind::kPlain);
        if (Kind() == WaitKind::kPlain) {
            ASSERT_FALSE(win::TimedWait().HighResolution()) << "a forced plain wait uses the high-resolution timer";
        }
        Lifecycle::SetUp();
    }
    void TearDown() override
    {
        Lifecycle::TearDown();
        win::TimedWait::ForcePlainWait(false);
    }
};

// When the simulated receiver last handed out a code.
std::atomic<std::int64_t> lastHandOut = 0;

void RecordHandOut(unsigned char, void*)
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    lastHandOut = now.QuadPart;
}

double TicksToMs(std::int64_t ticks)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

TEST(CoreVersion, OnlyCore27Release12OrLaterIsAccepted)
{
    struct Case {
        std::uint32_t version;
        bool accepted;
    };
    for (Case c : {Case{0x02070BFF, false}, Case{0x02070C00, true}, Case{0x0207FFFF, true}, Case{0x02080000, false},
                   Case{0x01070C00, false}, Case{0x02070C7F, true}, Case{0x00000000, false}}) {
        EXPECT_EQ(CoreVersionAccepted(c.version), c.accepted) << std::hex << "version 0x" << c.version;
    }
}

TEST_F(Lifecycle, SourceNameIsCutTo63CharactersOrDefaultsToRemote)
{
    struct Case {
        const char* given;
        std::string kept;
    };
    std::string seventy(70, 'S');
    for (const Case& c : {Case{nullptr, "REMOTE"}, Case{"", ""}, Case{seventy.c_str(), std::string(63, 'S')}}) {
        host.Run([&] { plugin::Open(c.given, host.Window(), hostInfo.bytes); });
        const RemoteEvent& record = ThePlugin().remoteEvent;
        EXPECT_EQ(std::string(record.sourceName), c.kept) << "given " << (c.given ? c.given : "(null)");
        EXPECT_EQ(record.sourceName[63], 0);
    }
}

class HeldKeyOn : public LifecycleOnWait, public testing::WithParamInterface<WaitKind> {
    WaitKind Kind() const override { return GetParam(); }
};

// Only the time-out ends the DispatchThread's wait for the release, as no
// code follows the last: the release shows whether that wait ends on time.
// The window is wide enough for a loaded machine and a system timer tick,
// and far narrower than a wait in the wrong unit or one that missed its end.
TEST_P(HeldKeyOn, ReachesTheHostAsPressNumberedRepeatsAndReleaseOnTime)
{
    constexpr double kLooseMs = 50;
    SimSetHandOutHook(&RecordHandOut, nullptr);
    host.Run(plugin::Start);
    PushCodes(std::vector<unsigned char>(30, 0x1A));  // held for about 600 ms
    ASSERT_TRUE(host.WaitForRelease(kPatienceMs));
    SimSetHandOutHook(nullptr, nullptr);
    const double waitR = ThePlugin().settings.waitR;
    double releaseMs = TicksToMs(host.Messages().back().arrival - lastHandOut);
    EXPECT_GE(releaseMs, waitR - 1) << "the release came early after the last code";
    EXPECT_LE(releaseMs, waitR + kLooseMs) << "the release came late after the last code";

    std::vector<std::int32_t> params = host.Params();
    ASSERT_GE(params.size(), 4u);
    EXPECT_EQ(params.front(), 0);
    EXPECT_EQ(params.back(), -1);
    for (std::size_t i = 1; i + 1 < params.size(); ++i)
        EXPECT_EQ(params[i], static_cast<std::int32_t>(i)) << "message " << i;

    KeyMessage press = host.Messages().front();
    EXPECT_STREQ(press.record.sourceName, "Test source");
    EXPECT_STREQ(press.record.keyName, "0000001A");
    EXPECT_EQ(press.codeText, "0000001A");
    EXPECT_EQ(press.modelName, "<undefined>");
}

INSTANTIATE_TEST_SUITE_P(Waits, HeldKeyOn, testing::Values(WaitKind::kAsShipped, WaitKind::kPlain),
                         testing::PrintToStringParamName());

TEST_F(Lifecycle, CodeZeroIsAKeyLikeAnyOther)
{
    host.Run(plugin::Start);
    PushCodes({0x00});
    ASSERT_TRUE(host.WaitForRelease(kPatienceMs));
    EXPECT_STREQ(host.Messages().front().record.keyName, "00000000");
}

TEST_F(Lifecycle, StopOnTheHostsThreadWhileTheDispatcherSendsToItReturns)
{
    host.Run([] {
        plugin::Start();
        PushCodes({0x1A});
        // Hold the host's thread until the press waits in its queue, looking
        // at the queue as hosts do, then stop.
        bool sendWaiting =
            WaitUntil([] { return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }, kPatienceMs);
        EXPECT_TRUE(sendWaiting);
        plugin::Stop();
    });
    EXPECT_FALSE(ThePlugin().started);
    EXPECT_EQ(host.Params(), (std::vector<std::int32_t>{0, -1}))
        << "the press was delivered while Stop waited, and its release after it";
}

TEST_F(Lifecycle, CloseFromAMessageThatStopDeliversClosesOnceTheThreadsHaveEnded)
{
    int threadsBefore = ThreadCount();
    host.OnKey([](std::int32_t) {
        plugin::Close();
        plugin::Open("Too early", nullptr, nullptr);  // refused while the threads run
    });
    host.Run([] {
        plugin::Start();
        PushCodes({0x1A});
        WaitUntil([] { return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }, kPatienceMs);
        plugin::Stop();
    });
    host.OnKey(nullptr);
    EXPECT_EQ(host.Params(), (std::vector<std::int32_t>{0, -1}));
    EXPECT_FALSE(ThePlugin().opened) << "the Close inside Stop's wait took effect";
    EXPECT_FALSE(ThePlugin().devices);
    EXPECT_EQ(ThreadCount(), threadsBefore) << "no thread left behind";
    SimStats stats;
    SimGetStats(&stats);
    EXPECT_EQ(stats.objectsAlive, 0) << "the receiver object is released";
}

TEST_F(Lifecycle, StopFromInsideTheHostsKeyHandlerReturnsAndReleasesTheKeyOnce)
{
    std::atomic<bool> stopped = false;
    host.OnKey([&](std::int32_t param) {
        if (param != 0)
            return;
        plugin::Stop();
        stopped = true;
    });
    host.Run(plugin::Start);
    PushCodes({0x1A});
    EXPECT_TRUE(WaitUntil([&] { return stopped.load(); }, kPatienceMs));
    host.OnKey(nullptr);
    EXPECT_FALSE(ThePlugin().started);
    ::Sleep(300);  // a second release would have come by now
    EXPECT_EQ(host.Params(), (std::vector<std::int32_t>{0, -1})) << "the release, inside the press's handler";
}

// A key that is down when the plug-in stops, closes or hands the keys to the
// dialog comes up at the host, with the record naming it, exactly once.
class HeldKeyWhen : public LifecycleOnWait, public testing::WithParamInterface<std::tuple<const char*, WaitKind>> {
    WaitKind Kind() const override { return std::get<WaitKind>(GetParam()); }
};

TEST_P(HeldKeyWhen, GetsItsReleaseBeforeTheHostLosesTheKeys)
{
    const std::string when = std::get<const char*>(GetParam());
    host.Run(plugin::Start);
    SimPlayScript("hold 1A 10000", 0);
    ASSERT_TRUE(host.WaitForMessages(2, kPatienceMs)) << "the press and a repeat";

    if (when == "Setup") {
        std::future<void> setup = host.Post(plugin::Setup);
        HWND form = WaitForSetupForm(kPatienceMs);
        ASSERT_TRUE(form);
        std::vector<std::int32_t> params = host.Params();
        EXPECT_EQ(params.back(), -1) << "released before the dialog showed";
        ::PostMessageA(form, WM_CLOSE, 0, 0);
        ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
        host.Run(plugin::Stop);
    } else {
        host.Run(when == "Stop" ? plugin::Stop : plugin::Close);
    }

    std::vector<KeyMessage> messages = host.Messages();
    auto release = std::find_if(messages.begin(), messages.end(), [](const KeyMessage& m) { return m.param == -1; });
    ASSERT_NE(release, messages.end()) << when;
    EXPECT_STREQ(release->record.keyName, "0000001A") << when;
    EXPECT_EQ(release->codeText, "0000001A") << when;
    EXPECT_EQ(release->modelName, "<undefined>") << when;
    for (auto m = messages.begin(); m != release; ++m)
        EXPECT_NE(m->param, -1) << when << ": a release before the held key's";
    if (when != "Setup") {
        EXPECT_EQ(release + 1, messages.end()) << when << ": nothing after the release";
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, HeldKeyWhen,
                         testing::Combine(testing::Values("Stop", "Close", "Setup"),
                                          testing::Values(WaitKind::kAsShipped, WaitKind::kPlain)),
                         [](const testing::TestParamInfo<HeldKeyWhen::ParamType>& info) {
                             return std::string(std::get<const char*>(info.param)) +
                                    testing::PrintToString(std::get<WaitKind>(info.param));
                         });

TEST_F(Lifecycle, StopReturnsWhileTheHostsHandlerHangs)
{
    win::Event handlerEntered = win::Event::CreateManualReset();
    win::Event releaseHandler = win::Event::CreateManualReset();
    host.OnKey([&](std::int32_t) {
        handlerEntered.Set();
        releaseHandler.Wait(INFINITE);
    });
    host.Run(plugin::Start);
    PushCodes({0x1A});
    ASSERT_EQ(handlerEntered.Wait(kPatienceMs), WAIT_OBJECT_0);

    plugin::Stop();  // from another thread than the host's, as a watchdog would
    EXPECT_FALSE(ThePlugin().started);
    releaseHandler.Set();
    host.OnKey(nullptr);
}

TEST_F(Lifecycle, TheReceiverNeverSignalsAClosedCodeEvent)
{
    host.Run(plugin::Start);
    struct Probe {
        HANDLE codeEvent;
        win::Event entered = win::Event::CreateManualReset();
        std::atomic<bool> armed = true;
        std::atomic<bool> eventAlive = false;
    } probe{ThePlugin().codeEvent.Get()};

    // Stop arrives while the ReceiverThread is inside GetCode; when GetCode
    // returns, the event it may signal must still be open.
    SimSetGetCodeHook(
        [](void* context) {
            auto& probe = *static_cast<Probe*>(context);
            if (!probe.armed.exchange(false))
                return;
            probe.entered.Set();
            ::Sleep(300);
            DWORD flags;
            probe.eventAlive = ::GetHandleInformation(probe.codeEvent, &flags) != FALSE;
        },
        &probe);
    ASSERT_EQ(probe.entered.Wait(kPatienceMs), WAIT_OBJECT_0);
    host.Run(plugin::Stop);
    SimSetGetCodeHook(nullptr, nullptr);
    EXPECT_TRUE(probe.eventAlive);
}

TEST_F(Lifecycle, SecondOpenWithoutCloseLeavesNoThreadBehind)
{
    int threadsBefore = ThreadCount();
    for (int i = 0; i < 20; ++i) {
        host.Run([this] {
            plugin::Start();
            plugin::Open("Again", host.Window(), hostInfo.bytes);
        });
        ASSERT_FALSE(ThePlugin().started) << "cycle " << i;
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);

    host.Run(plugin::Start);
    PushCodes({0x1A});
    ASSERT_TRUE(host.WaitForRelease(kPatienceMs)) << "the reopened plug-in still delivers keys";
    EXPECT_STREQ(host.Messages().front().record.sourceName, "Again");
}

TEST_F(Lifecycle, StopRightAfterStartNeverHangs)
{
    // Stop meets the threads at every stage of their start: a stop signal
    // that a thread can miss shows up here as a hang.
    host.Run([] {
        for (int i = 0; i < 300; ++i) {
            plugin::Start();
            plugin::Stop();
        }
    });
    EXPECT_FALSE(ThePlugin().started);
}

TEST_F(Lifecycle, StartTwiceAndStopTwiceAreHarmless)
{
    int threadsBefore = ThreadCount();
    host.Run([] {
        plugin::Stop();
        plugin::Start();
        plugin::Start();
    });
    EXPECT_EQ(ThreadCount(), threadsBefore + 2) << "one ReceiverThread and one DispatchThread";
    host.Run([] {
        plugin::Stop();
        plugin::Stop();
    });
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

struct ChildSearch {
    const std::string& prefix;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM context)
{
    auto& search = *reinterpret_cast<ChildSearch*>(context);
    if (WindowText(child).rfind(search.prefix, 0) != 0)
        return TRUE;
    search.found = child;
    return FALSE;
}

// The first child window whose text begins with prefix.
HWND ChildWithText(HWND parent, const std::string& prefix)
{
    ChildSearch search{prefix, nullptr};
    ::EnumChildWindows(parent, &MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(Lifecycle, SetupShowsLiveCodesAndNothingReachesTheHost)
{
    std::future<void> setup = host.Post(plugin::Setup);
    HWND form = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form);
    EXPECT_EQ(::GetWindowThreadProcessId(form, nullptr), host.ThreadId())
        << "the dialog's window belongs to the host's thread, not to the DispatchThread";
    EXPECT_EQ(::GetWindow(form, GW_OWNER), host.Window());
    EXPECT_FALSE(::IsWindowEnabled(host.Window())) << "modal over the host";

    PushCodes({0x2B});
    EXPECT_TRUE(WaitUntil([&] { return ChildWithText(form, "Released") != nullptr; }, kPatienceMs));
    EXPECT_TRUE(ChildWithText(form, "Code: 0000002B"));

    ::PostMessageA(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_FALSE(ThePlugin().started) << "Setup on a stopped plug-in leaves it stopped";
    EXPECT_TRUE(::IsWindowEnabled(host.Window()));
    EXPECT_EQ(SetupForm, nullptr);
}

TEST_F(Lifecycle, SetupOnARunningPluginStartsItAgainAfterwards)
{
    host.Run(plugin::Start);
    std::future<void> setup = host.Post(plugin::Setup);
    HWND form = WaitForSetupForm(kPatienceMs);
    ASSERT_TRUE(form);
    ::PostMessageA(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);

    EXPECT_TRUE(ThePlugin().started);
    PushCodes({0x1A});
    EXPECT_TRUE(host.WaitForRelease(kPatienceMs));
}

// What a host finds after calls in any order: whether the plug-in is open
// and running, how many threads it runs and whether it holds a receiver
// object.
struct PluginCondition {
    bool opened;
    bool started;
    int threads;
    long receiverObjects;
    bool operator==(const PluginCondition&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PluginCondition& c)
{
    return out << "{opened " << c.opened << ", started " << c.started << ", threads " << c.threads
               << ", receiver objects " << c.receiverObjects << "}";
}

PluginCondition ConditionNow(int threadsWhenIdle)
{
    SimStats stats;
    SimGetStats(&stats);
    return {ThePlugin().opened, ThePlugin().started, ThreadCount() - threadsWhenIdle, stats.objectsAlive};
}

TEST_F(Lifecycle, NothingStartsAfterClose)
{
    int threadsWhenIdle = ThreadCount();
    host.Run([] {
        plugin::Close();
        plugin::Start();
    });
    EXPECT_EQ(ConditionNow(threadsWhenIdle), (PluginCondition{false, false, 0, 0}));
}

TEST_F(Lifecycle, CloseDeliveredByTheDialogsLoopEndsTheDialogAndNothingRunsAfterwards)
{
    int threadsWhenIdle = ThreadCount();
    host.Run(plugin::Start);
    std::future<void> setup = host.Post(plugin::Setup);
    ASSERT_TRUE(WaitForSetupForm(kPatienceMs));
    host.Post(plugin::Close);
    ASSERT_EQ(setup.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready)
        << "Close ended the dialog";
    EXPECT_EQ(ConditionNow(threadsWhenIdle), (PluginCondition{false, false, 0, 0}));
    EXPECT_EQ(SetupForm, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(host.Window()));
}

// Closes every setup dialog that shows, as a user in a hurry would.
class DialogCloser {
public:
    DialogCloser()
        : thread_([this] {
              while (!done_) {
                  if (HWND form = ::FindWindowA("PelcatoSetupForm", nullptr); form && ::IsWindowVisible(form))
                      ::PostMessageA(form, WM_CLOSE, 0, 0);
                  ::Sleep(2);
              }
          })
    {
    }
    ~DialogCloser()
    {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

// Setup fails at each of its allocations in turn, as on a machine out of
// memory. However it ends, the host gets back the plug-in it had.
TEST_F(Lifecycle, SetupThatFailsAnywhereLeavesThePlugInAsItFoundIt)
{
    DialogCloser closer;
    int threadsWhenIdle = ThreadCount();
    host.Run(plugin::Start);
    bool failed = true;
    int failAt = 0;
    for (; failed && failAt < 2000; ++failAt) {
        host.Run([&] {
            FailAllocationAfter(failAt);
            try {
                plugin::Setup();
            } catch (const std::bad_alloc&) {
                // what the export's guard keeps from the host
            }
            failed = DisarmFailingAllocation();
        });
        ASSERT_EQ(SetupForm, nullptr) << "allocation " << failAt;
        ASSERT_FALSE(ThePlugin().setupDialogOpen) << "allocation " << failAt;
        ASSERT_TRUE(::IsWindowEnabled(host.Window())) << "allocation " << failAt;
        ASSERT_EQ(ConditionNow(threadsWhenIdle), (PluginCondition{true, true, 2, 1})) << "allocation " << failAt;
    }
    std::printf("    Setup failed at each of its first %d allocations\n", failAt - 1);
    EXPECT_FALSE(failed) << "a Setup got past every allocation";
    PushCodes({0x1A});
    EXPECT_TRUE(host.WaitForRelease(kPatienceMs)) << "keys reach the host again";
}

}  // namespace
