// The plug-in's speed and cost, each figure measured beside its baseline in
// the same run, since these machines are noisy. The latency, conformance,
// precision, Stop and dialog figures drive Pelcato.dll as a host loads it,
// with the simulated receiver behind the real wrapper; the idle, wake-up and
// allocation figures need the plug-in's insides (its threads, the ends of
// its DispatchThread's waits) and so use the plug-in's own code linked into
// this program, in front of the same receiver chain. So does the precision
// of the plain wait, which only this program's copy of the code can be
// forced to.
//
// Prints one table and writes build/bench.json.

#include "bench/Measurement.h"

#include "common/Guarded.h"
#include "common/win/Handle.h"
#include "common/win/TimedWait.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/core/DispatchThread.h"
#include "plugin/core/Plugin.h"
#include "plugin/core/PluginState.h"

#include "simreceiver/SimControl.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/TestHost.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <random>
#include <string_view>
#include <utility>

namespace {

constexpr int kDispatchPresses = 5000;
constexpr int kAllocationCodes = 1000;
constexpr int kEndToEndSamples = 200;
constexpr int kStopSamples = 200;
constexpr int kIdleSeconds = 10;
constexpr DWORD kPatienceMs = 5000;

// Allocations made on the plug-in's two threads while counting is on.
std::atomic<bool> countingAllocations = false;
std::atomic<DWORD> dispatchThreadId = 0;
std::atomic<DWORD> receiverThreadId = 0;
std::atomic<long> allocations = 0;

void CountAllocation()
{
    if (!countingAllocations.load(std::memory_order_relaxed))
        return;
    DWORD thread = ::GetCurrentThreadId();
    if (thread == dispatchThreadId || thread == receiverThreadId)
        ++allocations;
}

}  // namespace

void* operator new(std::size_t size)
{
    CountAllocation();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    CountAllocation();
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

// When the simulated receiver handed out codes, in order.
struct HandOutLog {
    static constexpr std::size_t kCapacity = 1 << 16;
    std::int64_t times[kCapacity];
    std::atomic<std::size_t> count = 0;

    std::int64_t Last() const { return count ? times[(count - 1) % kCapacity] : 0; }
} handOuts;

void RecordHandOut(unsigned char, void*)
{
    std::size_t index = handOuts.count.load();
    handOuts.times[index % HandOutLog::kCapacity] = Now();
    handOuts.count.store(index + 1);
}

void PushCode(unsigned char code)
{
    SimPushCodes(&code, 1);
}

// Pelcato.dll in a folder of its own, opened and started with the settings
// the figure needs.
class PluginUnderTest {
public:
    explicit PluginUnderTest(TestHost& host) : host_(host)
    {
        ::CopyFileW((ProgramFolder() + L"PelcatoPCIDVD.cfg").c_str(), library_.Folder().PathOf(L"Remote.cfg").c_str(),
                    FALSE);
    }
    ~PluginUnderTest() { Stop(); }

    bool Loaded() const { return library_.Loaded(); }

    void Start(const std::string& settings)
    {
        Stop();
        library_.Folder().Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Remote.cfg\r\n" + settings);
        host_.Run([this] {
            library_.Open("Bench", host_.Window(), hostInfo_.bytes);
            library_.Start();
        });
        running_ = true;
    }
    void StartOnly() { host_.Run(library_.Start); }
    void StopOnly() { host_.Run(library_.Stop); }
    void Stop()
    {
        if (running_)
            host_.Run(library_.Close);
        running_ = false;
    }

private:
    TestHost& host_;
    PluginLibrary library_;
    HostInfo hostInfo_{kAcceptedCoreVersion};
    bool running_ = false;
};

// The floor of this design: one thread signals an event, another wakes and
// sends a message to a window on a third.
class SignalledSender {
public:
    explicit SignalledSender(HWND target) : target_(target)
    {
        thread_ = win::Thread::Start(&ThreadProc, this);
    }
    ~SignalledSender()
    {
        stop_.Set();
        thread_.Wait(INFINITE);
    }
    void Signal() const { wake_.Set(); }

private:
    static DWORD WINAPI ThreadProc(void* self)
    {
        static_cast<SignalledSender*>(self)->Run();
        return 0;
    }
    void Run()
    {
        const HANDLE handles[] = {wake_.Get(), stop_.Get()};
        while (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
            wake_.Reset();
            ::SendMessageA(target_, kKeyMessage, reinterpret_cast<WPARAM>(&record_), 0);
        }
    }

    HWND target_;
    RemoteEvent record_ = {};
    win::Event wake_ = win::Event::CreateManualReset();
    win::Event stop_ = win::Event::CreateManualReset();
    win::Thread thread_;
};

// A bare thread that pauses periodMs at a time until its event is set.
struct Pauser {
    explicit Pauser(DWORD periodMs) : periodMs(periodMs) { thread = win::Thread::Start(&ThreadProc, this); }
    ~Pauser() { End(); }
    void End()
    {
        stop.Set();
        thread.Wait(INFINITE);
    }

    static DWORD WINAPI ThreadProc(void* context)
    {
        auto* self = static_cast<Pauser*>(context);
        while (self->stop.Wait(self->periodMs) == WAIT_TIMEOUT) {
        }
        return 0;
    }

    DWORD periodMs;
    win::Event stop = win::Event::CreateManualReset();
    win::Thread thread;
};

std::string Milliseconds(double p50, double p99)
{
    return Format("p50 %.3f, p99 %.3f ms", p50, p99);
}

// Latencies beside those of their baseline, as p50 and p99; met(p99,
// baseline p99) tells whether the goal is reached.
Figure LatencyFigure(const char* name, const std::vector<double>& measured, const std::vector<double>& baseline,
                     const char* goal, bool (*met)(double, double))
{
    double p50 = Percentile(measured, 0.5), p99 = Percentile(measured, 0.99);
    double base50 = Percentile(baseline, 0.5), base99 = Percentile(baseline, 0.99);
    return {name,
            Milliseconds(p50, p99),
            Milliseconds(base50, base99),
            goal,
            !measured.empty() && met(p99, base99),
            Format("\"samples\": %zu, \"p50_ms\": %.4f, \"p99_ms\": %.4f, \"baseline_p50_ms\": %.4f, "
                   "\"baseline_p99_ms\": %.4f",
                   measured.size(), p50, p99, base50, base99)};
}

// Each press is one sample beside one of the baseline, taken in turn so that
// both see the same load. A press needs the release of the one before: WaitR
// (10 ms, the least) after its code, plus the wake-up. The receiver's pace
// is set just above that, so that the next code meets the first poll after
// the release instead of waiting nearly a whole Interval more: with 10 ms a
// press took two polls, 20 ms, and with 13 ms it takes one. The pace moves
// only the moment a code is handed out, not what happens after it, which is
// what is measured.
Figure DispatchLatency(TestHost& host, PluginUnderTest& plugin)
{
    plugin.Start("Interval=13\r\nWaitR=10\r\n");
    SignalledSender sender(host.Window());
    std::vector<double> measured, baseline;
    for (int i = 0; i < kDispatchPresses; ++i) {
        std::size_t count = host.MessageCount();
        std::size_t before = handOuts.count;
        PushCode(0x1A);
        if (!host.WaitForMessages(count + 2, kPatienceMs))
            break;  // press and release
        KeyMessage press = host.MessageAt(count);
        if (handOuts.count != before + 1 || press.param != 0)
            continue;  // not one clean press: no sample
        measured.push_back(TicksToMs(press.arrival - handOuts.Last()));

        std::int64_t signalled = Now();
        sender.Signal();
        if (!host.WaitForMessages(count + 3, kPatienceMs))
            break;
        baseline.push_back(TicksToMs(host.MessageAt(count + 2).arrival - signalled));
    }
    return LatencyFigure("dispatch latency", measured, baseline, "p99 <= 1.5 x baseline p99",
                         [](double p99, double baselineP99) { return p99 <= 1.5 * baselineP99; });
}

Figure EndToEndLatency(TestHost& host, PluginUnderTest& plugin)
{
    constexpr int kIntervalMs = 50;
    plugin.Start(Format("Interval=%d\r\nWaitR=10\r\n", kIntervalMs));
    std::mt19937 random(7);
    std::vector<double> measured;
    for (int i = 0; i < kEndToEndSamples; ++i) {
        ::Sleep(std::uniform_int_distribution<int>(0, kIntervalMs)(random));
        std::size_t count = host.MessageCount();
        std::int64_t pushed = Now();
        PushCode(0x0B);
        if (!host.WaitForMessages(count + 2, kPatienceMs))
            break;
        measured.push_back(TicksToMs(host.MessageAt(count).arrival - pushed));
    }
    double p50 = Percentile(measured, 0.5), p99 = Percentile(measured, 0.99);
    return {"end-to-end latency",
            Milliseconds(p50, p99),
            Format("Interval %d ms", kIntervalMs),
            "p99 <= Interval + 2 ms",
            !measured.empty() && p99 <= kIntervalMs + 2.0,
            Format("\"samples\": %zu, \"interval_ms\": %d, \"p50_ms\": %.4f, \"p99_ms\": %.4f", measured.size(),
                   kIntervalMs, p50, p99)};
}

struct Timing {
    int wait1, waitN, waitR;
};

// The sets of timings the key rules are held to: the shipped defaults, a
// quick set, and a slow repeat with a release time shorter than its pace.
constexpr Timing kSessionTimings[] = {{300, 100, 200}, {150, 50, 120}, {500, 200, 80}};

// Held buttons, taps, one key taking over from another, and a tap again
// within the release time.
constexpr char kSessionScript[] = "hold 1A 1000\npause 500\ntap 1B\npause 400\nhold 14 400\nhold 15 400\npause 500\n"
                                  "tap 1B\npause 100\ntap 1B\npause 500\n";

// One play of the session script under one set of timings: what the host
// received and when the receiver handed out each code.
struct Session {
    Timing timing;
    std::vector<KeyMessage> messages;
    std::vector<std::int64_t> handOutTimes;
};

// The sessions poll the receiver every 10 ms, so that a code meets the key
// rules soon after it is handed out.
constexpr std::int32_t kSessionIntervalMs = 10;

// Plays the session script into a plug-in that runs with the given timings.
Session PlaySession(TestHost& host, const Timing& timing)
{
    handOuts.count = 0;
    std::size_t first = host.MessageCount();
    SimPlayScript(kSessionScript, 0);
    ::Sleep(200);
    WaitUntil([] { return SimScriptPlaying() == 0; }, 60000);
    // Long enough for the last release even when it is as late as the
    // shorter of WaitN and WaitR, so that a late one is measured, not lost.
    ::Sleep(static_cast<DWORD>(timing.waitR + std::min(timing.waitN, timing.waitR) + 100));

    Session session{timing, host.Messages(), {}};
    session.messages.erase(session.messages.begin(),
                           session.messages.begin() + static_cast<std::ptrdiff_t>(first));
    session.handOutTimes.assign(handOuts.times,
                                handOuts.times + std::min(handOuts.count.load(), HandOutLog::kCapacity));
    return session;
}

// The sessions are played once per run, and the conformance and precision
// figures both read them.
class Sessions {
public:
    Sessions(TestHost& host, PluginUnderTest& plugin) : host_(host), plugin_(plugin) {}

    const std::vector<Session>& Played()
    {
        if (played_.empty()) {
            for (const Timing& timing : kSessionTimings) {
                plugin_.Start(Format("Interval=%d\r\nWait1=%d\r\nWaitN=%d\r\nWaitR=%d\r\n", kSessionIntervalMs,
                                     timing.wait1, timing.waitN, timing.waitR));
                played_.push_back(PlaySession(host_, timing));
            }
        }
        return played_;
    }

private:
    TestHost& host_;
    PluginUnderTest& plugin_;
    std::vector<Session> played_;
};

// A message the key rules time: a repeat, or a release that no new code
// caused. It is due wait ms after from: for repeat n, the arrival of the
// press or repeat before it plus Wait1 (n = 1) or WaitN; for a release, the
// last code's hand-out plus WaitR.
struct TimedMessage {
    std::int32_t param;
    int waitMs;
    std::int64_t from;
    std::int64_t arrival;

    double ElapsedMs() const { return TicksToMs(arrival - from); }
    double LatenessMs() const { return ElapsedMs() - waitMs; }
};

std::vector<TimedMessage> TimedMessages(const Session& session)
{
    const Timing& timing = session.timing;
    const std::vector<std::int64_t>& codes = session.handOutTimes;
    std::vector<TimedMessage> timed;
    std::int64_t lastSend = 0;
    for (const KeyMessage& message : session.messages) {
        auto nextCode = std::upper_bound(codes.begin(), codes.end(), message.arrival);
        if (message.param > 0) {
            timed.push_back({message.param, message.param == 1 ? timing.wait1 : timing.waitN, lastSend,
                             message.arrival});
            lastSend = message.arrival;
        } else if (message.param == 0) {
            lastSend = message.arrival;
        } else if (nextCode != codes.begin() && TicksToMs(message.arrival - *(nextCode - 1)) > timing.waitR / 2.0) {
            // A release that comes right after a code is that code's key
            // taking over; only one that comes about WaitR later timed out.
            timed.push_back({message.param, timing.waitR, *(nextCode - 1), message.arrival});
        }
    }
    return timed;
}

// Every repeat and every release that no new code caused, against the
// windows of the key rules: a repeat comes Wait1 (then WaitN) after the
// press or repeat before it, and a release WaitR after the last code, each
// no more than 2 ms late, the time a wake-up and a send take. The rules
// count whole milliseconds, so an interval may measure up to one
// millisecond short of its wait, which the lower edge allows.
Figure TimingConformance(const std::vector<Session>& sessions)
{
    constexpr double kWholeMs = 1.0;
    constexpr double kLateMs = 2.0;
    int inside = 0;
    int total = 0;
    std::vector<std::string> misses;  // the first few messages outside their windows
    for (const Session& session : sessions) {
        for (const TimedMessage& message : TimedMessages(session)) {
            double value = message.ElapsedMs();
            double low = message.waitMs - kWholeMs;
            double high = message.waitMs + kLateMs;
            ++total;
            if (value >= low && value <= high)
                ++inside;
            else if (misses.size() < 5)
                misses.push_back(Format("%s %d: %.1f ms, window %.0f..%.0f", message.param > 0 ? "repeat" : "release",
                                        message.param, value, low, high));
        }
    }
    double share = total ? 100.0 * inside / total : 0;
    for (const std::string& miss : misses)
        std::printf("  outside its window: %s\n", miss.c_str());
    return {"timing conformance",
            Format("%.1f %% of %d", share, total),
            "",
            "100 % inside [Wait - 1, Wait + 2] ms",
            total > 0 && inside == total,
            Format("\"repeats_and_releases\": %d, \"inside\": %d, \"percent\": %.2f, \"window_low_ms\": %.1f, "
                   "\"window_high_ms\": %.1f",
                   total, inside, share, -kWholeMs, kLateMs)};
}

// A bare thread that waits through a list of waits, one after another, with
// the DispatchThread's kind of wait (a TimedWait) on an event that nothing
// sets; how late each wait ends.
class BareWaiter {
public:
    explicit BareWaiter(std::vector<int> waitsMs) : waitsMs_(std::move(waitsMs)) {}

    std::vector<double> Run()
    {
        win::Thread thread = win::Thread::Start(&ThreadProc, this);
        thread.Wait(INFINITE);
        return lateness_;
    }
    bool HighResolution() const { return highResolution_; }

private:
    static DWORD WINAPI ThreadProc(void* self)
    {
        static_cast<BareWaiter*>(self)->WaitAll();
        return 0;
    }
    void WaitAll()
    {
        win::Event never = win::Event::CreateManualReset();
        const HANDLE objects[] = {never.Get()};
        win::TimedWait wait;
        highResolution_ = wait.HighResolution();
        for (int waitMs : waitsMs_) {
            std::int64_t start = Now();
            wait.Wait(objects, 1, std::chrono::milliseconds(waitMs));
            lateness_.push_back(TicksToMs(Now() - start) - waitMs);
        }
    }

    std::vector<int> waitsMs_;
    std::vector<double> lateness_;
    bool highResolution_ = false;
};

// How late each repeat and each time-out release comes after its deadline,
// beside the floor of any timed wait on this system: a bare thread's waits
// of the same lengths, in the same order, with the same kind of TimedWait.
// A plain wait may end a whole system timer tick late, so its only goal is
// that nothing comes early; lateGoalMs is the goal for the p99 of the others.
Figure TimingPrecision(const char* name, const std::vector<Session>& sessions, std::optional<double> lateGoalMs)
{
    // The rules read a clock of whole milliseconds, so a wait may measure up
    // to one millisecond short; only what comes earlier than that is early.
    constexpr double kWholeMs = 1.0;
    std::vector<double> lateness;
    std::vector<int> waitsMs;
    int early = 0, repeats = 0;
    std::string latest;  // the latest message, printed to tell noise from a fault
    double latestMs = 0;
    for (const Session& session : sessions) {
        for (const TimedMessage& message : TimedMessages(session)) {
            std::string what = Format("%s %d at %d/%d/%d: %.1f ms", message.param > 0 ? "repeat" : "release",
                                      message.param, session.timing.wait1, session.timing.waitN,
                                      session.timing.waitR, message.LatenessMs());
            if (message.LatenessMs() < -kWholeMs && ++early <= 5)
                std::printf("  early: %s\n", what.c_str());
            if (latest.empty() || message.LatenessMs() > latestMs) {
                latest = what;
                latestMs = message.LatenessMs();
            }
            lateness.push_back(message.LatenessMs());
            waitsMs.push_back(message.waitMs);
            repeats += message.param > 0;
        }
    }
    if (!latest.empty())
        std::printf("  latest: %s\n", latest.c_str());
    BareWaiter bare(waitsMs);
    std::vector<double> baseline = bare.Run();

    double p50 = Percentile(lateness, 0.5), p99 = Percentile(lateness, 0.99), max = Percentile(lateness, 1.0);
    double base50 = Percentile(baseline, 0.5), base99 = Percentile(baseline, 0.99),
           baseMax = Percentile(baseline, 1.0);
    double ratio = base99 > 0 ? p99 / base99 : 0;
    return {name,
            Format("p50 %.1f, p99 %.1f, max %.1f ms late, %d early", p50, p99, max, early),
            Format("bare wait p50 %.1f, p99 %.1f, max %.1f ms", base50, base99, baseMax),
            lateGoalMs ? Format("0 early, p99 <= %.0f ms late", *lateGoalMs) : "0 early",
            !lateness.empty() && early == 0 && (!lateGoalMs || p99 <= *lateGoalMs),
            Format("\"messages\": %zu, \"repeats\": %d, \"releases\": %zu, \"early\": %d, \"p50_ms\": %.4f, "
                   "\"p99_ms\": %.4f, \"max_ms\": %.4f, \"baseline_p50_ms\": %.4f, \"baseline_p99_ms\": %.4f, "
                   "\"baseline_max_ms\": %.4f, \"p99_to_baseline_p99\": %.2f, \"baseline_high_resolution\": %s",
                   lateness.size(), repeats, lateness.size() - repeats, early, p50, p99, max, base50, base99,
                   baseMax, ratio, bare.HighResolution() ? "true" : "false")};
}

Figure StopLatency(PluginUnderTest& plugin)
{
    plugin.Start("Interval=1000\r\n");
    plugin.StopOnly();
    std::mt19937 random(11);
    std::vector<double> measured, baseline;
    for (int i = 0; i < kStopSamples; ++i) {
        plugin.StartOnly();
        ::Sleep(std::uniform_int_distribution<int>(0, 30)(random));
        std::int64_t before = Now();
        plugin.StopOnly();
        measured.push_back(TicksToMs(Now() - before));

        // A bare thread in the same pause, ended by its own event.
        Pauser sleeper(1000);
        ::Sleep(std::uniform_int_distribution<int>(0, 30)(random));
        before = Now();
        sleeper.End();
        baseline.push_back(TicksToMs(Now() - before));
    }
    return LatencyFigure("Stop with Interval 1000 ms", measured, baseline, "p99 < 20 ms",
                         [](double p99, double) { return p99 < 20.0; });
}

double CpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// The plug-in's code in this program, its files beside the shipped key map.
// The plug-in keeps no count of its DispatchThread's wake-ups. To count them,
// the thread that Start made is ended at once and the plug-in's dispatch code
// runs on a thread of this program's instead, on the plug-in's own clock and
// waits, wrapped so that every end of a wait counts, whether by a code, a
// time-out or Stop. Stop then ends that thread as if it were its own.
class LinkedPlugin {
public:
    enum class Wakeups { kUncounted, kCounted };

    LinkedPlugin(TestHost& host, std::int32_t intervalMs, Wakeups wakeups = Wakeups::kUncounted) : host_(host)
    {
        host_.Run([this] { plugin::Open("Bench", host_.Window(), hostInfo_.bytes); });
        PluginState& state = ThePlugin();
        LoadKeyMapFile(ProgramFolder() + L"PelcatoPCIDVD.cfg", *state.keyMap, *state.modelNames);
        state.settings.interval = intervalMs;
        host_.Run(plugin::Start);
        if (wakeups == Wakeups::kCounted && state.dispatchThread) {
            // No key is down yet, so the thread ends without a message to the host.
            state.dispatchStop.Set();
            state.dispatchThread.Wait(INFINITE);
            state.dispatchStop.Reset();
            state.dispatchThread = win::Thread::Start(&CountedDispatchThreadProc, this);
        }
        dispatchThreadId = ::GetThreadId(state.dispatchThread.Get());
        receiverThreadId = ::GetThreadId(state.receiverThread.Get());
    }
    ~LinkedPlugin() { host_.Run(plugin::Close); }

    // Read at the DispatchThread's next pass, as the setup dialog's changes are.
    void SetTiming(const Timing& timing)
    {
        SettingsValues& settings = ThePlugin().settings;
        settings.wait1 = timing.wait1;
        settings.waitN = timing.waitN;
        settings.waitR = timing.waitR;
    }

    std::uint32_t DispatchWakeups() const { return dispatchWakeups_.load(); }

private:
    class CountingClock final : public DispatchClock {
    public:
        CountingClock(DispatchClock& clock, std::atomic<std::uint32_t>& wakeups) : clock_(clock), wakeups_(wakeups)
        {
        }

        std::uint64_t NowMicroseconds() override { return clock_.NowMicroseconds(); }
        CodeWait Wait(std::optional<std::chrono::microseconds> timeout) override
        {
            CodeWait wait = clock_.Wait(timeout);
            wakeups_.fetch_add(1, std::memory_order_relaxed);
            return wait;
        }

    private:
        DispatchClock& clock_;
        std::atomic<std::uint32_t>& wakeups_;
    };

    static DWORD WINAPI CountedDispatchThreadProc(void* context) noexcept
    {
        auto* self = static_cast<LinkedPlugin*>(context);
        Guarded([self] {
            PluginState& state = ThePlugin();
            SystemDispatchClock clock(state);
            CountingClock counting(clock, self->dispatchWakeups_);
            RunDispatchThread(state, counting);
        });
        return 0;
    }

    TestHost& host_;
    HostInfo hostInfo_{kAcceptedCoreVersion};
    std::atomic<std::uint32_t> dispatchWakeups_{0};
};

// The sessions again, on the plug-in's code linked into this program with
// its DispatchThread forced to the plain wait, as on a system without the
// high-resolution timer; the switch does not reach Pelcato.dll's own copy of
// the code. The bare thread beside it waits plainly too.
Figure PlainWaitPrecision(TestHost& host)
{
    win::TimedWait::ForcePlainWait(true);
    std::vector<Session> sessions;
    for (const Timing& timing : kSessionTimings) {
        LinkedPlugin linked(host, kSessionIntervalMs);
        linked.SetTiming(timing);
        sessions.push_back(PlaySession(host, timing));
    }
    Figure figure = TimingPrecision("timing precision, plain wait", sessions, std::nullopt);
    win::TimedWait::ForcePlainWait(false);
    return figure;
}

Figure IdleCost(TestHost& host)
{
    LinkedPlugin linked(host, 50, LinkedPlugin::Wakeups::kCounted);
    PluginState& state = ThePlugin();
    // The baseline pauses as the ReceiverThread does, and polls nothing.
    Pauser poller(50);

    ::Sleep(100);
    double receiverBefore = CpuMs(state.receiverThread.Get());
    double dispatchBefore = CpuMs(state.dispatchThread.Get());
    double pollerBefore = CpuMs(poller.thread.Get());
    std::uint32_t wakeupsBefore = linked.DispatchWakeups();
    ::Sleep(kIdleSeconds * 1000);
    std::uint32_t wakeups = linked.DispatchWakeups() - wakeupsBefore;
    double receiver = CpuMs(state.receiverThread.Get()) - receiverBefore;
    double dispatch = CpuMs(state.dispatchThread.Get()) - dispatchBefore;
    double pollerCpu = CpuMs(poller.thread.Get()) - pollerBefore;
    return {"idle cost over 10 s",
            // Wine counts thread CPU time in steps of 10 ms.
            Format("%u wake-ups, CPU %.0f + %.0f ms", wakeups, receiver, dispatch),
            Format("bare poller CPU %.0f ms", pollerCpu),
            "0 DispatchThread wake-ups",
            wakeups == 0,
            Format("\"seconds\": %d, \"dispatch_wakeups\": %u, \"receiver_cpu_ms\": %.2f, \"dispatch_cpu_ms\": %.2f, "
                   "\"baseline_poller_cpu_ms\": %.2f",
                   kIdleSeconds, wakeups, receiver, dispatch, pollerCpu)};
}

// While a key is held, the DispatchThread has work when a code arrives and
// when a message is due, and should wake for little else: at most once per
// code, once per message sent and once more a second. The button is held as
// a receiver reports one, a code every 40 ms, under the default timings, and
// the count runs from the first code to the release.
Figure HeldKeyWakeups(TestHost& host)
{
    constexpr int kHoldMs = 3000;
    LinkedPlugin linked(host, 10, LinkedPlugin::Wakeups::kCounted);
    PluginState& state = ThePlugin();
    ::Sleep(100);
    handOuts.count = 0;
    std::size_t messagesBefore = host.MessageCount();
    std::uint32_t wakeupsBefore = linked.DispatchWakeups();
    std::int64_t start = Now();
    SimPlayScript(Format("hold 1A %d\n", kHoldMs).c_str(), 0);
    bool released = WaitUntil(
        [&] {
            std::size_t count = host.MessageCount();
            return SimScriptPlaying() == 0 && count > messagesBefore &&
                   host.MessageAt(count - 1).param == kReleaseParam;
        },
        kHoldMs + kPatienceMs);
    double seconds = TicksToMs(Now() - start) / 1000;
    std::uint32_t wakeups = linked.DispatchWakeups() - wakeupsBefore;
    std::size_t codes = handOuts.count;
    std::size_t messages = host.MessageCount() - messagesBefore;
    double perSecond = wakeups / seconds;
    double allowed = (codes + messages) / seconds + 1;
    return {"held-key wake-ups",
            Format("%.1f wake-ups/s", perSecond),
            Format("codes %.1f + messages %.1f + 1 /s", codes / seconds, messages / seconds),
            "<= codes + messages + 1 per s",
            released && perSecond <= allowed,
            Format("\"seconds\": %.3f, \"dispatch_wakeups\": %u, \"codes\": %zu, \"messages\": %zu, "
                   "\"wakeups_per_s\": %.2f, \"allowed_per_s\": %.2f, \"wait1_ms\": %d, \"waitn_ms\": %d, "
                   "\"waitr_ms\": %d",
                   seconds, wakeups, codes, messages, perSecond, allowed, state.settings.wait1.load(),
                   state.settings.waitN.load(), state.settings.waitR.load())};
}

Figure AllocationsPerCode(TestHost& host)
{
    LinkedPlugin linked(host, 10);
    // Two mapped keys taking over from each other: every code is a release
    // and a press, with a look-up and a record each time.
    bool keyDown = false;  // the plug-in starts with no key down
    auto dispatch = [&](int codes) {
        for (int i = 0; i < codes; ++i) {
            std::size_t count = host.MessageCount();
            PushCode(i % 2 ? 0x1A : 0x0B);
            if (!host.WaitForMessages(count + (keyDown ? 2 : 1), kPatienceMs))
                return false;
            keyDown = true;
        }
        return true;
    };
    dispatch(50);
    allocations = 0;
    countingAllocations = true;
    bool complete = dispatch(kAllocationCodes);
    countingAllocations = false;
    double perCode = static_cast<double>(allocations) / kAllocationCodes;
    return {"heap allocations per code",
            Format("%.3f (%ld in %d codes)", perCode, allocations.load(), kAllocationCodes),
            "",
            "0",
            complete && allocations == 0,
            Format("\"codes\": %d, \"allocations\": %ld, \"per_code\": %.4f", kAllocationCodes, allocations.load(),
                   perCode)};
}

// From Setup to the visible dialog, in a copy of Pelcato.dll whose active
// key map is text, Open having loaded it; -1 when the dialog did not show.
double DialogShowMs(TestHost& host, const std::string& keyMap)
{
    PluginLibrary library;
    library.Folder().Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Remote.cfg\r\n");
    library.Folder().Write(L"Remote.cfg", keyMap);
    HostInfo hostInfo{kAcceptedCoreVersion};
    host.Run([&] { library.Open("Bench", host.Window(), hostInfo.bytes); });
    std::int64_t before = Now();
    std::future<void> setup = host.Post(library.Setup);
    HWND form = WaitForSetupForm(6 * kPatienceMs);
    double ms = TicksToMs(Now() - before);
    if (form)
        ::PostMessageA(form, WM_CLOSE, 0, 0);
    setup.wait();
    host.Run(library.Close);
    return form ? ms : -1;
}

Figure DialogWithLargeKeyMap(TestHost& host)
{
    constexpr int kLines = 100000;
    constexpr int kSamples = 3;
    std::string large = "[Setup]\r\nName=Generated\r\n[Keys]\r\n";
    for (int line = 0; line < kLines; ++line)
        large += Format("%08X=Key%d\r\n", line, line);
    std::string shipped;
    {
        std::ifstream file(std::filesystem::path(ProgramFolder() + L"PelcatoPCIDVD.cfg"), std::ios::binary);
        shipped.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::vector<double> measured, baseline;
    bool shown = true;
    for (int i = 0; i < kSamples; ++i) {
        measured.push_back(DialogShowMs(host, large));
        baseline.push_back(DialogShowMs(host, shipped));
        shown = shown && measured.back() >= 0 && baseline.back() >= 0;
    }
    double p50 = Percentile(measured, 0.5), base50 = Percentile(baseline, 0.5);
    return {"dialog, 100,000-line key map",
            Format("p50 %.0f ms", p50),
            Format("shipped key map p50 %.0f ms", base50),
            "p50 < 1000 ms",
            shown && p50 < 1000.0,
            Format("\"samples\": %d, \"lines\": %d, \"p50_ms\": %.1f, \"baseline_p50_ms\": %.1f", kSamples,
                   kLines, p50, base50)};
}

}  // namespace

// With names on the command line, only the figures whose names begin with
// one of them are measured.
bool Wanted(int argc, char** argv, const char* figure)
{
    if (argc < 2)
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(figure).starts_with(argv[i]))
            return true;
    }
    return false;
}

int main(int argc, char** argv)
{
    SimReset();
    SimSetHandOutHook(&RecordHandOut, nullptr);
    TestHost host;
    std::vector<Figure> figures;
    auto measure = [&](const char* name, auto run) {
        if (!Wanted(argc, argv, name))
            return;
        std::printf("measuring %s...", name);
        std::fflush(stdout);
        std::int64_t start = Now();
        figures.push_back(run());
        std::printf(" %.1f s\n", TicksToMs(Now() - start) / 1000);
    };
    {
        PluginUnderTest plugin(host);
        if (!plugin.Loaded()) {
            std::fprintf(stderr, "PelcatoBench: cannot load Pelcato.dll beside this program\n");
            return 1;
        }
        measure("dispatch", [&] { return DispatchLatency(host, plugin); });
        measure("end-to-end", [&] { return EndToEndLatency(host, plugin); });
        Sessions sessions(host, plugin);
        measure("conformance", [&] { return TimingConformance(sessions.Played()); });
        measure("precision", [&] { return TimingPrecision("timing precision", sessions.Played(), 2.0); });
        measure("stop", [&] { return StopLatency(plugin); });
    }
    measure("precision, plain wait", [&] { return PlainWaitPrecision(host); });
    measure("idle", [&] { return IdleCost(host); });
    measure("held-key", [&] { return HeldKeyWakeups(host); });
    measure("allocations", [&] { return AllocationsPerCode(host); });
    measure("dialog", [&] { return DialogWithLargeKeyMap(host); });
    SimSetHandOutHook(nullptr, nullptr);

    PrintFigures(figures);
    std::wstring json = ProgramFolder() + L"..\\bench.json";
    if (!WriteFiguresJson(figures, json))
        std::fprintf(stderr, "PelcatoBench: cannot write %ls\n", json.c_str());
    return 0;
}
