// The calibrate analysis on report times made to show one trait each, and
// the command on scripted remotes played into the simulated receiver.

#include "tests/support/TextFile.h"
#include "tools/remote/CalibrateCommand.h"
#include "tools/remote/Calibration.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"

#include "simreceiver/SimControl.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHost.h"

#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "common/win/Handle.h"
#include "plugin/config/IniFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Times = std::vector<std::uint64_t>;

// count reports, spacingMs apart, from startMs.
Times Every(std::uint32_t spacingMs, int count, std::uint64_t startMs = 0)
{
    Times times;
    for (int i = 0; i < count; ++i)
        times.push_back(startMs + std::uint64_t{spacingMs} * i);
    return times;
}

// Five taps of reportsPerTap reports each, 40 ms apart, the taps apartMs apart.
Times FiveTaps(int reportsPerTap, std::uint32_t apartMs)
{
    Times times;
    for (int tap = 0; tap < 5; ++tap) {
        Times one = Every(40, reportsPerTap, 100'000 + std::uint64_t{apartMs} * tap);
        times.insert(times.end(), one.begin(), one.end());
    }
    return times;
}

std::string Describe(const Timings& t)
{
    return "Interval " + std::to_string(t.interval) + ", Wait1 " + std::to_string(t.wait1) + ", WaitN " +
           std::to_string(t.waitN) + ", WaitR " + std::to_string(t.waitR);
}

const Timings kDefaults{50, 300, 100, 200};

struct AnalysisCase {
    const char* what;
    Times held;
    Times taps;
    Timings current;
    std::vector<const char*> diagnoses;  // a piece of each, in order
    Timings suggested;
    bool suggestionFits;
};

void PrintTo(const AnalysisCase& test, std::ostream* out)
{
    *out << test.what;
}

class Analysis : public testing::TestWithParam<AnalysisCase> {};

TEST_P(Analysis, DiagnosesAndSuggests)
{
    const AnalysisCase& test = GetParam();
    Calibration result = Calibrate(test.held, test.taps, test.current);

    std::string all;
    for (const std::string& diagnosis : result.diagnoses)
        all += "\n  " + diagnosis;
    ASSERT_EQ(result.diagnoses.size(), test.diagnoses.size()) << test.what << all;
    for (std::size_t i = 0; i < test.diagnoses.size(); ++i)
        EXPECT_NE(result.diagnoses[i].find(test.diagnoses[i]), std::string::npos)
            << test.what << ": expected \"" << test.diagnoses[i] << "\" in" << all;
    EXPECT_EQ(Describe(result.suggested), Describe(test.suggested)) << test.what;
    EXPECT_EQ(result.suggestionFits, test.suggestionFits) << test.what;
    EXPECT_EQ(result.taps.size(), 5u) << test.what;
}

INSTANTIATE_TEST_SUITE_P(
    Remotes, Analysis,
    testing::Values(
        AnalysisCase{"40 ms reports, one-report taps, default timings",
                     Every(40, 60), FiveTaps(1, 600), kDefaults, {}, kDefaults, true},
        AnalysisCase{"240 ms reports outlast WaitR 200; the longer WaitR makes a tap repeat unless Wait1 grows",
                     Every(240, 12), FiveTaps(1, 900), kDefaults,
                     {"several presses: its reports come up to 240 ms apart"}, {50, 450, 100, 350}, true},
        AnalysisCase{"taps of three reports stay down past Wait1 300",
                     Every(40, 60), FiveTaps(3, 600), kDefaults,
                     {"A tap lasting 80 ms repeats"}, {50, 400, 100, 200}, true},
        AnalysisCase{"Interval 200 against 40 ms reports",
                     Every(40, 60), FiveTaps(1, 600), {200, 700, 100, 400},
                     {"Interval 200 is slower than the remote's 40 ms reports"}, {40, 700, 100, 400}, true},
        AnalysisCase{"gaps longer than the dialog's longest WaitR",
                     Every(980, 4), FiveTaps(1, 3000), kDefaults,
                     {"several presses"}, {50, 1000, 100, 1000}, false},
        AnalysisCase{"timings written by hand beyond the dialog's range are kept when they fit",
                     Every(40, 60), FiveTaps(1, 600), {5, 2000, 100, 1500}, {}, {5, 2000, 100, 1500}, true}));

TEST(HeldSpacingMeasure, TakesMeanNearestRankP99AndLargestGap)
{
    Times times{0};
    for (int i = 0; i < 98; ++i)
        times.push_back(times.back() + 40);
    times.push_back(times.back() + 60);
    times.push_back(times.back() + 150);
    HeldSpacing held = MeasureHeld(times);
    EXPECT_EQ(held.reports, 101u);
    EXPECT_DOUBLE_EQ(held.meanMs, 41.3);
    EXPECT_EQ(held.p99Ms, 60u);
    EXPECT_EQ(held.largestMs, 150u);
}

TEST(TapSplitting, AGapBeyondTheSeparationStartsANewTap)
{
    EXPECT_EQ(TapSeparationMs(MeasureHeld(Every(40, 10))), 300u);
    EXPECT_EQ(TapSeparationMs(MeasureHeld(Every(240, 10))), 480u);

    std::vector<Tap> taps = SplitTaps({0, 40, 80, 380, 681, 2000, 2040}, 300);
    ASSERT_EQ(taps.size(), 3u);
    EXPECT_EQ(taps[0].reports, 4u);
    EXPECT_EQ(taps[0].durationMs, 380u);
    EXPECT_EQ(taps[1].reports, 1u);
    EXPECT_EQ(taps[1].durationMs, 0u);
    EXPECT_EQ(taps[2].reports, 2u);
    EXPECT_EQ(taps[2].durationMs, 40u);
}

// The command on the simulated receiver ------------------------------------

std::string Repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

// A held button, a pause while the user reads the next step, five slow taps.
const std::string kRemoteEvery40 = "hold 0B 2000\npause 1500\n" + Repeat("tap 0B\npause 600\n", 5);
// A remote that reports a held button only every 240 ms.
const std::string kRemoteEvery240 = "hold 0B 2400 240\npause 1500\n" + Repeat("tap 0B\npause 900\n", 5);

std::string SettingsFile(const std::string& timings)
{
    return "[Main]\r\nDefaultConfig=Case.cfg\r\nDevice=0\r\nChipTypeTM=0\r\n" + timings +
           "[Extra]\r\nNote=kept as written\r\n";
}

class ScriptedRemote : public testing::Test {
protected:
    void SetUp() override { SimReset(); }
    void TearDown() override { SimReset(); }

    // Without a stop of the test's own, a user who never presses Ctrl+C.
    int Run(const std::string& script, bool write, std::string& output, HANDLE stop = nullptr)
    {
        EXPECT_EQ(SimPlayScript(script.c_str(), 0), 0);
        ReceiverSession session;
        std::ostringstream out;
        int exitCode = CalibrateReceiver(session, FindPluginFiles(folder_.Path()), write,
                                         stop ? stop : neverStopped_.Get(), out);
        output = out.str();
        return exitCode;
    }

    ScratchFolder folder_{L"calibrate-test"};
    win::Event neverStopped_ = win::Event::CreateManualReset();
};

TEST_F(ScriptedRemote, ReportsEvery40MsFitTheDefaultTimings)
{
    std::string settings = SettingsFile("Interval=50\r\nWait1=300\r\nWaitN=100\r\nWaitR=200\r\n");
    std::wstring path = folder_.Write(L"Pelcato.ini", settings);
    std::string output;
    EXPECT_EQ(Run(kRemoteEvery40, true, output), kExitOk) << output;
    EXPECT_NE(output.find("The timings fit this remote."), std::string::npos) << output;
    EXPECT_NE(output.find("Tap 5: 1 report"), std::string::npos) << output;
    EXPECT_EQ(ReadTextFile(path), settings) << "nothing to store, yet the file changed";
}

TEST_F(ScriptedRemote, ReportsEvery240MsAreDiagnosedAndWriteFixesThem)
{
    std::string settings = SettingsFile("Interval=50\r\nWait1=300\r\nWaitN=100\r\nWaitR=200\r\n");
    std::wstring path = folder_.Write(L"Pelcato.ini", settings);
    std::string output;

    EXPECT_EQ(Run(kRemoteEvery240, false, output), kExitFindings) << output;
    EXPECT_NE(output.find("A held button comes as several presses"), std::string::npos) << output;
    EXPECT_EQ(ReadTextFile(path), settings) << "calibrate without --write changed the file";

    {
        // Another program holds the file open and shares no writes.
        win::File holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(Run(kRemoteEvery240, true, output), kExitCannot) << output;
        std::string failed = "Could not store the timings in " + Printable(path) + ":\n  " +
                             win::WideToAnsi(win::ErrorText(ERROR_SHARING_VIOLATION));
        EXPECT_NE(output.find(failed), std::string::npos) << "expected \"" << failed << "\" in\n" << output;
        EXPECT_EQ(output.find("Stored in"), std::string::npos) << output;
    }
    EXPECT_EQ(ReadTextFile(path), settings) << "a write that failed changed the file";

    EXPECT_EQ(Run(kRemoteEvery240, true, output), kExitFindings) << output;
    IniFile file(path);
    EXPECT_GT(file.ReadInteger("Main", "WaitR", 0), 240) << output;
    std::vector<std::string> before = Lines(settings);
    std::vector<std::string> after = Lines(ReadTextFile(path));
    ASSERT_EQ(after.size(), before.size()) << ReadTextFile(path);
    for (std::size_t i = 0; i < before.size(); ++i) {
        bool written = before[i].rfind("Wait1=", 0) == 0 || before[i].rfind("WaitR=", 0) == 0;
        if (!written) {
            EXPECT_EQ(after[i], before[i]) << "line " << i + 1 << " of\n" << ReadTextFile(path);
        }
    }

    EXPECT_EQ(Run(kRemoteEvery240, false, output), kExitOk) << output;
    EXPECT_NE(output.find("The timings fit this remote."), std::string::npos) << output;
}

constexpr char kStoppedText[] = "Calibration stopped before it was complete. Nothing was stored.\n";

// Ctrl+C ends calibrate as it ends watch and record: the command takes it,
// not the default handler, which would end the process with the receiver
// still held.
TEST_F(ScriptedRemote, CtrlCEndsItWithTheReceiverReleased)
{
    int exitCode = -1;
    std::ostringstream out;
    std::thread calibrate([&] { exitCode = RunCalibrate({}, out); });
    bool polling = WaitUntil(
        [] {
            SimStats stats{};
            SimGetStats(&stats);
            return stats.getCodeCalls > 0;
        },
        10'000);
    BOOL taken = HandleConsoleControl(CTRL_C_EVENT);
    auto pressed = std::chrono::steady_clock::now();
    calibrate.join();
    auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
    SimStats stats{};
    SimGetStats(&stats);

    ASSERT_TRUE(polling) << "calibrate never polled:\n" << out.str();
    EXPECT_TRUE(taken) << "Ctrl+C went on to the default handler, which ends the process";
    EXPECT_LT(tookMs.count(), 5000) << "ended " << tookMs.count() << " ms after Ctrl+C";
    EXPECT_EQ(exitCode, kExitCannot) << out.str();
    EXPECT_NE(out.str().find(kStoppedText), std::string::npos) << "expected \"" << kStoppedText << "\" in:\n" << out.str();
    EXPECT_EQ(stats.objectsAlive, 0) << "the receiver is released";
}

// Stopped while it waits for the third tap, calibrate has measured enough of
// the slow remote to suggest new timings, and must still store none.
TEST_F(ScriptedRemote, StoppedBetweenTapsStoresNothing)
{
    std::string settings = SettingsFile("Interval=50\r\nWait1=300\r\nWaitN=100\r\nWaitR=200\r\n");
    std::wstring path = folder_.Write(L"Pelcato.ini", settings);
    struct StopLater {
        win::Event stop = win::Event::CreateManualReset();
        int pollsAfterScript = 0;
    } later;
    // 100 polls at least 10 ms apart outlast the 480 ms that end the second tap.
    SimSetGetCodeHook(
        [](void* context) {
            auto& later = *static_cast<StopLater*>(context);
            if (!SimScriptPlaying() && ++later.pollsAfterScript == 100)
                later.stop.Set();
        },
        &later);
    std::string output;
    EXPECT_EQ(Run("hold 0B 2400 240\npause 1500\n" + Repeat("tap 0B\npause 900\n", 2), true, output, later.stop.Get()),
              kExitCannot)
        << output;
    EXPECT_NE(output.find("Step 2 of 2"), std::string::npos) << "stopped before the taps:\n" << output;
    EXPECT_NE(output.find(kStoppedText), std::string::npos) << "expected \"" << kStoppedText << "\" in:\n" << output;
    EXPECT_EQ(ReadTextFile(path), settings) << "a calibration cut short changed the file";
}

TEST_F(ScriptedRemote, WithoutAReceiverItSaysWhatToDo)
{
    SimSetDevices(nullptr, nullptr, 0);
    folder_.Write(L"Pelcato.ini", SettingsFile(""));
    std::string output;
    EXPECT_EQ(Run(kRemoteEvery40, false, output), kExitCannot) << output;
    EXPECT_EQ(output, kNoReceiverText);
}

}  // namespace
