// The key rules' timings held to account: the same script of held buttons
// and taps is played under three sets of timings, and every repeat and
// time-out release in what the host received is set against the moment the
// rules make it due; one more script holds a key that the key map gives a
// pace of its own. The conformance and precision figures read the sessions
// that Pelcato.dll played; the plain-wait figure plays them again on the
// linked code, whose waits only this program can switch.

#include "bench/Baselines.h"
#include "bench/Figures.h"

#include "common/win/TimedWait.h"

#include "simreceiver/SimControl.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The sets of timings the key rules are held to: the shipped defaults, a
// quick set, and a slow repeat with a release time shorter than its pace.
constexpr Timing kSessionTimings[] = {{300, 100, 200}, {150, 50, 120}, {500, 200, 80}};

// Held buttons, taps, one key taking over from another, and a tap again
// within the release time.
constexpr char kSessionScript[] = "hold 1A 1000\npause 500\ntap 1B\npause 400\nhold 14 400\nhold 15 400\npause 500\n"
                                  "tap 1B\npause 100\ntap 1B\npause 500\n";

// A key with a pace of its own in the key map: VolumeUp (code 0B of the
// shipped PCI DVD remote) repeats after 150 ms, then every 60, while its
// neighbour VolumeDown (0C) keeps the settings' pace; each takes over from
// the other.
struct OwnPace {
    const char* keyName;
    int wait1, waitN;
};
constexpr OwnPace kOwnPace{"VolumeUp", 150, 60};
constexpr char kOwnPaceScript[] = "hold 0B 1000\npause 500\nhold 0C 1000\npause 500\nhold 0B 400\nhold 0C 400\n"
                                  "hold 0B 400\npause 500\n";

// One play of a session script under one set of timings: what the host
// received and when the receiver handed out each code.
struct Session {
    Timing timing;
    std::vector<KeyMessage> messages;
    std::vector<std::int64_t> handOutTimes;
    std::optional<OwnPace> ownPace;  // the key, if any, whose repeats keep a pace of its own
};

// The sessions poll the receiver every 10 ms, so that a code meets the key
// rules soon after it is handed out.
constexpr std::int32_t kSessionIntervalMs = 10;

// Plays a session script into a plug-in that runs with the given timings.
Session PlaySession(TestHost& host, const Timing& timing, const char* script = kSessionScript)
{
    handOuts.count = 0;
    std::size_t first = host.MessageCount();
    SimPlayScript(script, 0);
    ::Sleep(200);
    WaitUntil([] { return SimScriptPlaying() == 0; }, 60000);
    // Long enough for the last release even when it is as late as the
    // shorter of WaitN and WaitR, so that a late one is measured, not lost.
    ::Sleep(static_cast<DWORD>(timing.waitR + std::min(timing.waitN, timing.waitR) + 100));

    Session session{timing, host.Messages(), {}, std::nullopt};
    session.messages.erase(session.messages.begin(),
                           session.messages.begin() + static_cast<std::ptrdiff_t>(first));
    session.handOutTimes.assign(handOuts.times,
                                handOuts.times + std::min(handOuts.count.load(), HandOutLog::kCapacity));
    return session;
}

// The sessions that Pelcato.dll played, once per run, on the first figure
// that reads them; the conformance and precision figures both do.
const std::vector<Session>& LibrarySessions(Bench& bench)
{
    static std::vector<Session> played;
    if (played.empty()) {
        for (const Timing& timing : kSessionTimings) {
            bench.library->Start(Format("Interval=%d\r\nWait1=%d\r\nWaitN=%d\r\nWaitR=%d\r\n",
                                        kSessionIntervalMs, timing.wait1, timing.waitN, timing.waitR));
            played.push_back(PlaySession(bench.host, timing));
        }
    }
    return played;
}

// A message the key rules time: a repeat, or a release that no new code
// caused. It is due wait ms after from: for repeat n, the arrival of the
// press or repeat before it plus Wait1 (n = 1) or WaitN, the key's own when
// it has a pace of its own; for a release, the last code's hand-out plus
// WaitR.
struct TimedMessage {
    std::int32_t param;
    int waitMs;
    std::int64_t from;
    std::int64_t arrival;
    bool atOwnPace = false;  // a repeat of the key with a pace of its own

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
            bool own = session.ownPace && std::string_view(message.record.keyName) == session.ownPace->keyName;
            int wait1 = own ? session.ownPace->wait1 : timing.wait1;
            int waitN = own ? session.ownPace->waitN : timing.waitN;
            timed.push_back({message.param, message.param == 1 ? wait1 : waitN, lastSend, message.arrival, own});
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

// How late each repeat and each time-out release comes after its deadline,
// beside the floor of any timed wait on this system: a bare thread's waits
// of the same lengths, in the same order, with the same kind of TimedWait.
// A plain wait may end a whole system timer tick late, so its only goal is
// that nothing comes early; lateGoalMs is the goal for the p99 of the others.
Figure PrecisionFigure(const char* name, const std::vector<Session>& sessions, std::optional<double> lateGoalMs)
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

// Every repeat and every release that no new code caused, against the
// windows of the key rules: a repeat comes Wait1 (then WaitN) after the
// press or repeat before it, and a release WaitR after the last code, each
// no more than 2 ms late, the time a wake-up and a send take. The rules
// count whole milliseconds, so an interval may measure up to one
// millisecond short of its wait, which the lower edge allows.
Figure ConformanceFigure(const char* name, const std::vector<Session>& sessions)
{
    constexpr double kWholeMs = 1.0;
    constexpr double kLateMs = 2.0;
    int inside = 0;
    int total = 0;
    int ownPaceRepeats = 0;
    std::vector<std::string> misses;  // the first few messages outside their windows
    for (const Session& session : sessions) {
        for (const TimedMessage& message : TimedMessages(session)) {
            double value = message.ElapsedMs();
            double low = message.waitMs - kWholeMs;
            double high = message.waitMs + kLateMs;
            ++total;
            ownPaceRepeats += message.atOwnPace;
            if (value >= low && value <= high)
                ++inside;
            else if (misses.size() < 5)
                misses.push_back(Format("%s %d: %.1f ms, window %.0f..%.0f", message.param > 0 ? "repeat" : "release",
                                        message.param, value, low, high));
        }
    }
    bool ownPaceWanted = std::any_of(sessions.begin(), sessions.end(),
                                     [](const Session& session) { return session.ownPace.has_value(); });
    double share = total ? 100.0 * inside / total : 0;
    for (const std::string& miss : misses)
        std::printf("  outside its window: %s\n", miss.c_str());
    return {name,
            ownPaceWanted ? Format("%.1f %% of %d (%d at the key's own pace)", share, total, ownPaceRepeats)
                          : Format("%.1f %% of %d", share, total),
            "",
            "100 % inside [Wait - 1, Wait + 2] ms",
            total > 0 && inside == total && (!ownPaceWanted || ownPaceRepeats > 0),
            Format("\"repeats_and_releases\": %d, \"inside\": %d, \"percent\": %.2f, \"window_low_ms\": %.1f, "
                   "\"window_high_ms\": %.1f, \"own_pace_repeats\": %d",
                   total, inside, share, -kWholeMs, kLateMs, ownPaceRepeats)};
}

}  // namespace

Figure TimingConformance(Bench& bench)
{
    return ConformanceFigure("timing conformance", LibrarySessions(bench));
}

// The same windows for a key that the key map gives a pace of its own, with
// its neighbour at the settings' pace and take-overs between the two, under
// the shipped timings. The key map goes back to the shipped one afterwards.
Figure OwnPaceConformance(Bench& bench)
{
    constexpr Timing kTiming{300, 100, 200};
    bench.library->UseKeyRepeats({{kOwnPace.keyName, Format("%d,%d", kOwnPace.wait1, kOwnPace.waitN)}});
    bench.library->Start(Format("Interval=%d\r\nWait1=%d\r\nWaitN=%d\r\nWaitR=%d\r\n", kSessionIntervalMs,
                                kTiming.wait1, kTiming.waitN, kTiming.waitR));
    std::vector<Session> sessions{PlaySession(bench.host, kTiming, kOwnPaceScript)};
    sessions[0].ownPace = kOwnPace;
    bench.library->Stop();
    bench.library->UseKeyRepeats({});
    return ConformanceFigure("timing conformance, own pace", sessions);
}

Figure TimingPrecision(Bench& bench)
{
    return PrecisionFigure("timing precision", LibrarySessions(bench), 2.0);
}

// The sessions again, on the plug-in's code linked into this program with
// its DispatchThread forced to the plain wait, as on a system without the
// high-resolution timer; the switch does not reach Pelcato.dll's own copy of
// the code. The bare thread beside it waits plainly too.
Figure PlainWaitPrecision(Bench& bench)
{
    TestHost& host = bench.host;
    win::TimedWait::ForcePlainWait(true);
    std::vector<Session> sessions;
    for (const Timing& timing : kSessionTimings) {
        LinkedPlugin linked(host, kSessionIntervalMs);
        linked.SetTiming(timing);
        sessions.push_back(PlaySession(host, timing));
    }
    Figure figure = PrecisionFigure("timing precision, plain wait", sessions, std::nullopt);
    win::TimedWait::ForcePlainWait(false);
    return figure;
}
