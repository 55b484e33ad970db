// The plug-in's lifecycle on real threads, with a real host window on a
// thread of its own and the simulated receiver behind the wrapper. Timing is
// checked only loosely here: the exact rules are tested on a fake clock. The
// tests of held keys run on both of the DispatchThread's waits: the
// high-resolution timer, which Wine offers, and the plain wait that systems
// without one get.

#include "common/Guarded.h"
#include "common/win/TimedWait.h"
#include "plugin/core/Plugin.h"
#include "plugin/core/PluginState.h"
#include "plugin/setup/FormLayout.h"
#include "plugin/setup/SetupForm.h"

#include "simreceiver/SimControl.h"
#include "tests/core/FailingAllocation.h"
#include "tests/support/ResourceUse.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHost.h"
#include "tests/support/TextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
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
    host.OnKey([](std::int32_t) { plugin::Close(); });
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

// The release that Stop sends to the hung host is given up on after a
// while. The host is still owed it, and the next Close sends it.
TEST_F(Lifecycle, StopReturnsWhileTheHostsHandlerHangsAndCloseSendsTheReleaseLater)
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
    host.Run(plugin::Close);
    EXPECT_EQ(host.Params(), (std::vector<std::int32_t>{kPressParam, kReleaseParam}));
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

// A GetCode that takes 150 ms and hands out the code pushed before it:
// Stop comes while it runs, and the code lands in the slot after the
// DispatchThread has ended.
struct SlowGetCode {
    win::Event inGetCodeWithACode = win::Event::CreateManualReset();

    static void Hook(void* context)
    {
        if (SimPendingCodes() == 0)
            return;
        static_cast<SlowGetCode*>(context)->inGetCodeWithACode.Set();
        ::Sleep(150);
    }
};

TEST_F(Lifecycle, ACodeStoredAsStopCameNeverReachesTheHostAfterwards)
{
    SlowGetCode slow;
    SimSetGetCodeHook(&SlowGetCode::Hook, &slow);
    host.Run(plugin::Start);
    PushCodes({0x1A});
    ASSERT_EQ(::WaitForSingleObject(slow.inGetCodeWithACode.Get(), kPatienceMs), WAIT_OBJECT_0);
    host.Run(plugin::Stop);
    SimSetGetCodeHook(nullptr, nullptr);
    host.Run(plugin::Start);
    ::Sleep(500);  // a press would have come at once, its release after WaitR
    host.Run(plugin::Stop);
    EXPECT_EQ(host.Params(), std::vector<std::int32_t>{}) << "a button pressed before Stop, delivered after Start";
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

// A Close, or an Open, that comes at any moment of Setup ends it there: the
// dialog closes or never shows, nothing more is written or started, and the
// plug-in is as the host's last call left it.
struct SetupInterruption {
    const char* name;
    bool refusedCoreVersion;  // Start shows "Incorrect core version." and waits for the user
    PluginCondition expected;
};

std::ostream& operator<<(std::ostream& out, const SetupInterruption& c)
{
    return out << c.name;
}

class SetupInterrupted : public Lifecycle, public testing::WithParamInterface<SetupInterruption> {
protected:
    void SetUp() override
    {
        if (GetParam().refusedCoreVersion)
            hostInfo = HostInfo(0x02070B00);
        Lifecycle::SetUp();
        settingsFile = scratch.Write(L"Pelcato.ini", kStoredSettings);
        threadsWhenIdle = ThreadCount();
    }

    // Closes the message box that Start shows, once the host has made its
    // call from the box's own loop.
    void CallWhileTheBoxShows(std::function<void()> call)
    {
        HWND box = WaitForVisibleWindow("#32770", kPluginDescription, kPatienceMs);
        ASSERT_TRUE(box);
        host.Run(std::move(call));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    // The host's thread stays busy while the call comes, then the user
    // chooses another device: the Stop that the choice starts is the first
    // wait in which the host's thread takes the call.
    void CallWhileADeviceChangeStops(std::function<void()> call)
    {
        HWND form = WaitForSetupForm(kPatienceMs);
        ASSERT_TRUE(form);
        HWND devices = ::GetDlgItem(form, ControlIdOf(Control::DeviceCombo));
        win::Event busy = win::Event::CreateManualReset();
        host.Post([&] {
            busy.Set();
            ::Sleep(300);
            ::SendMessageA(devices, CB_SETCURSEL, 0, 0);
            ::SendMessageA(form, WM_COMMAND, MAKEWPARAM(ControlIdOf(Control::DeviceCombo), CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(devices));
        });
        ASSERT_EQ(::WaitForSingleObject(busy.Get(), kPatienceMs), WAIT_OBJECT_0);
        host.Run(std::move(call));
    }

    static constexpr char kStoredSettings[] = "[Main]\r\nDevice=1\r\n";
    std::wstring settingsFile;
    int threadsWhenIdle = 0;
};

TEST_P(SetupInterrupted, EndsSetupAndNothingIsWrittenOrStartedAfterwards)
{
    std::string name = GetParam().name;
    auto openAgain = [this] { plugin::Open("Test source", host.Window(), hostInfo.bytes); };
    // The host is busy as a key comes; Setup's Stop then hands it the press,
    // and the host makes its call from its handler. The key's release
    // follows, as for any key the host was told is down.
    std::vector<std::int32_t> expectedKeys;
    auto setupWhileAKeyComes = [&](std::function<void()> call) {
        expectedKeys = {kPressParam, kReleaseParam};
        host.Run(plugin::Start);
        host.OnKey([call](std::int32_t param) {
            if (param == kPressParam)
                call();
        });
        return host.Post([] {
            PushCodes({0x1A});
            ::Sleep(300);
            plugin::Setup();
        });
    };
    std::future<void> setup;
    std::string expectedFile = kStoredSettings;
    if (name == "SetupAfterClose") {
        host.Run(plugin::Close);
        setup = host.Post(plugin::Setup);
    } else if (name == "CloseWhileSetupStopsThePlugIn") {
        setup = setupWhileAKeyComes(plugin::Close);
    } else if (name == "OpenWhileSetupStopsThePlugIn") {
        setup = setupWhileAKeyComes(openAgain);
    } else if (name == "CloseWhileStartShowsItsMessage") {
        setup = host.Post(plugin::Setup);
        CallWhileTheBoxShows(plugin::Close);
    } else if (name == "CloseWhileADeviceChangeStops") {
        host.Run(plugin::Start);
        setup = host.Post(plugin::Setup);
        CallWhileADeviceChangeStops(plugin::Close);
        expectedFile = "";  // the user's choice, and nothing after it
    } else if (name == "OpenFromTheDialogsLoop") {
        host.Run(plugin::Start);
        setup = host.Post(plugin::Setup);
        ASSERT_TRUE(WaitForSetupForm(kPatienceMs));
        host.Run(openAgain);
    }
    ASSERT_TRUE(setup.wait_for(std::chrono::milliseconds(kPatienceMs)) == std::future_status::ready)
        << "Setup still runs, its dialog open, " << kPatienceMs << " ms after the call";
    EXPECT_EQ(ConditionNow(threadsWhenIdle), GetParam().expected);
    EXPECT_EQ(SetupForm, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(host.Window()));
    EXPECT_EQ(host.Params(), expectedKeys);
    std::vector<std::string> lines = FileLines(settingsFile);
    if (expectedFile.empty()) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Device=0"), lines.end()) << ReadTextFile(settingsFile);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("Wait", 0) == 0; }), 0)
            << "timings written after the Close: " << ReadTextFile(settingsFile);
    } else {
        EXPECT_EQ(ReadTextFile(settingsFile), expectedFile);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Moments, SetupInterrupted,
    testing::Values(SetupInterruption{"SetupAfterClose", false, {false, false, 0, 0}},
                    SetupInterruption{"CloseWhileSetupStopsThePlugIn", false, {false, false, 0, 0}},
                    SetupInterruption{"OpenWhileSetupStopsThePlugIn", false, {true, false, 0, 1}},
                    SetupInterruption{"CloseWhileStartShowsItsMessage", true, {false, false, 0, 0}},
                    SetupInterruption{"CloseWhileADeviceChangeStops", false, {false, false, 0, 0}},
                    SetupInterruption{"OpenFromTheDialogsLoop", false, {true, false, 0, 1}}),
    [](const testing::TestParamInfo<SetupInterruption>& info) { return std::string(info.param.name); });

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

// What OutputDebugString writes in this process, as a debug-output viewer
// would show it: the call raises an exception that a debugger, or a
// vectored handler, sees first.
class DebugOutputLines {
public:
    DebugOutputLines() : handler_(::AddVectoredExceptionHandler(1, &Keep)) { Lines().clear(); }
    ~DebugOutputLines() { ::RemoveVectoredExceptionHandler(handler_); }
    std::vector<std::string> Taken() const
    {
        std::lock_guard lock(Mutex());
        return Lines();
    }

private:
    static LONG CALLBACK Keep(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
            std::lock_guard lock(Mutex());
            Lines().emplace_back(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    void* handler_;
};

// The host hears nothing of a call that an exception ended; a user with a
// debug-output viewer reads which one, and why.
TEST_F(Lifecycle, AnEntryPointEndedByAnExceptionLeavesALineInTheDebugOutput)
{
    DebugOutputLines debugOutput;
    host.Run([] {
        FailAllocationAfter(0);
        Guarded("Setup", plugin::Setup);
        DisarmFailingAllocation();
    });
    EXPECT_EQ(debugOutput.Taken(), (std::vector<std::string>{"Pelcato: Setup ended by an exception: std::bad_alloc\n"}));
    EXPECT_EQ(SetupForm, nullptr);
}

}  // namespace
