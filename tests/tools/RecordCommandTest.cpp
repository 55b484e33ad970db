// The record command: how reports become a script, and a round trip in
// which the plug-in must make the same key messages of a recording as of the
// session that was recorded. The learn command, which writes a key map as
// record writes a script: sessions of buttons and answers on the simulated
// receiver, and the plug-in sending the learnt names to a host.

#include "common/win/Handle.h"
#include "simreceiver/SimControl.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHost.h"
#include "tests/support/TextFile.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"
#include "tools/remote/KeyMapText.h"
#include "tools/remote/LearnCommand.h"
#include "tools/remote/LineInput.h"
#include "tools/remote/RecordCommand.h"
#include "tools/remote/ScriptRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct ConversionCase {
    const char* name;
    std::vector<TimedReport> reports;
    std::uint32_t maxGapMs;
    const char* script;
};

class ReportConversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(ReportConversion, WritesTheStepsThatReplayTheReports)
{
    EXPECT_EQ(ScriptFromReports(GetParam().reports, GetParam().maxGapMs), GetParam().script);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, ReportConversion,
    testing::Values(
        ConversionCase{"Nothing", {}, 45, ""},
        ConversionCase{"SilenceBeforeTheFirstReportIsLeftOut", {{5000, 0x1A}}, 45, "tap 1A\n"},
        ConversionCase{"TapsApartArePausedBetween", {{0, 0x1A}, {700, 0x1A}}, 45, "tap 1A\npause 660\ntap 1A\n"},
        ConversionCase{"HoldAtTheReceiversPeriod", {{100, 0x0B}, {140, 0x0B}, {181, 0x0B}, {220, 0x0B}}, 45,
                       "hold 0B 160 40\n"},
        ConversionCase{"HoldAtAWideSpacingTakesTheMeanGap",
                       {{0, 0x0B}, {238, 0x0B}, {483, 0x0B}, {720, 0x0B}}, 270, "hold 0B 960 240\n"},
        ConversionCase{"GapLongerThanTheLimitSplitsAHold",
                       {{0, 0x0B}, {40, 0x0B}, {80, 0x0B}, {400, 0x0B}, {440, 0x0B}}, 45,
                       "hold 0B 120 40\npause 280\nhold 0B 80 40\n"},
        ConversionCase{"HoldEndsAtTheNextButton",
                       {{0, 0x0A}, {40, 0x0A}, {80, 0x0A}, {100, 0x0B}, {140, 0x0B}}, 45,
                       "hold 0A 100 40\nhold 0B 80 40\n"},
        ConversionCase{"TapCutShortByTheNextButton", {{0, 0x0A}, {25, 0x0B}}, 45, "hold 0A 25\ntap 0B\n"},
        ConversionCase{"CodesBackToBackAlternate", {{0, 0x01}, {40, 0x02}, {80, 0x01}}, 45,
                       "tap 01\ntap 02\ntap 01\n"}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return std::string(info.param.name); });

TEST(ReportConversion, HoldGapAllowsTwoAndAHalfIntervalsAndTheTickStep)
{
    EXPECT_EQ(MaxHoldGapMs(100), 270u);
    EXPECT_EQ(MaxHoldGapMs(10), 45u);
}

TEST(ReportConversion, ButtonsAreTheDifferentCodes)
{
    EXPECT_EQ(CountButtons({{0, 1}, {40, 2}, {80, 1}}), 2u);
    EXPECT_EQ(CountButtons({}), 0u);
}

class RecordArguments : public testing::TestWithParam<Arguments> {};

TEST_P(RecordArguments, ThatAreWrongShowTheUsage)
{
    std::ostringstream out;
    EXPECT_EQ(RunRecord(GetParam(), out), kExitCannot);
    EXPECT_NE(out.str().find("Usage: PelcatoRemote record FILE [--seconds N]"), std::string::npos) << out.str();
}

INSTANTIATE_TEST_SUITE_P(Lines, RecordArguments,
                         testing::Values(Arguments{}, Arguments{L"--seconds", L"5"}, Arguments{L"a.txt", L"--seconds"},
                                         Arguments{L"a.txt", L"--seconds", L"0"}, Arguments{L"a.txt", L"--seconds", L"3601"},
                                         Arguments{L"a.txt", L"--seconds", L"5s"}, Arguments{L"a.txt", L"b.txt"},
                                         Arguments{L"a.txt", L"--minutes", L"5"}));

TEST(RecordCommand, WithoutADeviceSaysWhatToDoAndWritesNothing)
{
    SimReset();
    SimSetDevices(nullptr, nullptr, 0);
    ScratchFolder folder(L"record-test");
    std::ostringstream out;
    EXPECT_EQ(RunRecord({folder.PathOf(L"session.txt"), L"--seconds", L"1"}, out), kExitCannot);
    EXPECT_EQ(out.str(), kNoReceiverText);
    EXPECT_FALSE(std::ifstream(std::filesystem::path(folder.PathOf(L"session.txt"))).good());
    SimReset();
}

TEST(RecordCommand, FileThatCannotBeWrittenIsReportedBeforeRecording)
{
    SimReset();
    ScratchFolder folder(L"record-test");
    ReceiverSession session;
    std::ostringstream out;
    EXPECT_EQ(RecordReports(session, {folder.PathOf(L"missing\\session.txt"), 60'000, 20, nullptr}, out), kExitCannot);
    EXPECT_NE(out.str().find("Cannot write"), std::string::npos) << out.str();
    SimStats stats{};
    SimGetStats(&stats);
    EXPECT_EQ(stats.getCodeCalls, 0) << "no poll for a recording that cannot be kept";
}

// Records one tap of 1A, with a stop already asked for: the recording ends
// after its first poll.
int RecordOneTap(const std::wstring& path, std::ostringstream& out)
{
    ReceiverSession session;
    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    win::Handle stop(::CreateEventA(nullptr, TRUE, TRUE, nullptr));
    return RecordReports(session, {path, 60'000, 20, stop.Get()}, out);
}

// The file is named outside the ANSI code page: the path is kept wide.
TEST(RecordCommand, SetStopEventEndsTheRecordingAndTheFileIsStillWritten)
{
    SimReset();
    ScratchFolder folder(L"record-test");
    const std::wstring path = folder.PathOf(L"\u0437\u0430\u043f\u0438\u0441\u044c.txt");
    std::ostringstream out;
    EXPECT_EQ(RecordOneTap(path, out), kExitOk);
    EXPECT_EQ(out.str(), "Recorded 1 report of 1 button in 0 s to " + Printable(path) + ".\n");
    std::ifstream file(std::filesystem::path{path});
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), "# Recorded by PelcatoRemote, polling every 20 ms.\ntap 1A\n");
}

// A recording made before, longer than the new ones, so that a new one
// written over it without replacing it whole would leave some of it.
constexpr char kOldRecording[] = "# Recorded by PelcatoRemote, polling every 50 ms.\ntap 0B\npause 800\nhold 2C 1200 40\n";

std::vector<std::wstring> FileNamesIn(const ScratchFolder& folder)
{
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path{folder.Path()}))
        names.push_back(entry.path().filename().wstring());
    return names;
}

bool HandedOutTheCode()
{
    return SimPendingCodes() == 0;
}

// The old file stays whole while the recording runs: a recording that is
// never written (the process ended) leaves it as it was. The recording then
// replaces it whole, and nothing else stays in the folder.
TEST(RecordCommand, OldFileStaysUntilTheRecordingReplacesItWhole)
{
    SimReset();
    ScratchFolder folder(L"record-test");
    const std::wstring path = folder.Write(L"session.txt", kOldRecording);
    ReceiverSession session;
    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    win::Event stop = win::Event::CreateManualReset();
    std::ostringstream out;
    int exitCode = -1;
    std::thread recorder([&] { exitCode = RecordReports(session, {path, 60'000, 20, stop.Get()}, out); });
    bool recording = WaitUntil(HandedOutTheCode, 10'000);
    std::string during = ReadTextFile(path);
    stop.Set();
    recorder.join();

    ASSERT_TRUE(recording) << "no poll came";
    EXPECT_EQ(during, kOldRecording) << "the file while recording";
    EXPECT_EQ(exitCode, kExitOk) << out.str();
    EXPECT_EQ(ReadTextFile(path), "# Recorded by PelcatoRemote, polling every 20 ms.\ntap 1A\n");
    EXPECT_EQ(FileNamesIn(folder), std::vector<std::wstring>{L"session.txt"});
}

// Another program holds the old file open and shares no deletion, so the
// recording cannot replace it: the old file stays, and so does the
// recording, beside it.
TEST(RecordCommand, FileThatCannotBeReplacedKeepsTheRecordingBesideIt)
{
    SimReset();
    ScratchFolder folder(L"record-test");
    const std::wstring path = folder.Write(L"session.txt", kOldRecording);
    win::File holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    std::ostringstream out;
    EXPECT_EQ(RecordOneTap(path, out), kExitCannot);
    holder.Close();

    const std::wstring partPath = path + kPartSuffix;
    std::string says = "Cannot replace " + Printable(path) + ": ";
    EXPECT_EQ(out.str().rfind(says, 0), 0u) << "expected first: " << says << "\nactual:\n" << out.str();
    std::string where = "The recording is in " + Printable(partPath) + ".\n";
    EXPECT_NE(out.str().find(where), std::string::npos) << "expected \"" << where << "\" in:\n" << out.str();
    EXPECT_EQ(ReadTextFile(path), kOldRecording);
    EXPECT_EQ(ReadTextFile(partPath), "# Recorded by PelcatoRemote, polling every 20 ms.\ntap 1A\n");
}

// A close of the console, a logoff or a shutdown ends the process as soon as
// the handler returns: it returns only once the command has left its
// ConsoleStop, after its last write. Ctrl+C and Ctrl+Break leave the process
// running, so the handler returns at once.
struct ConsoleEventCase {
    const char* name;
    DWORD event;
    bool waitsForTheCommand;
};

void PrintTo(const ConsoleEventCase& test, std::ostream* out)
{
    *out << test.name;
}

class ConsoleEvent : public testing::TestWithParam<ConsoleEventCase> {};

TEST_P(ConsoleEvent, StopsTheCommandAndReturnsOnceItIsSafeToEnd)
{
    std::optional<ConsoleStop> stop(std::in_place);
    ASSERT_TRUE(*stop);
    std::atomic<bool> returned{false};
    BOOL taken = FALSE;
    std::thread handler([&] {
        taken = HandleConsoleControl(GetParam().event);
        returned = true;
    });
    DWORD told = ::WaitForSingleObject(stop->Event(), 5000);
    // A handler that returns at once does so well within this.
    ::Sleep(300);
    bool returnedWhileRunning = returned;
    stop.reset();
    handler.join();

    EXPECT_EQ(told, WAIT_OBJECT_0) << "the command was not told to stop";
    EXPECT_EQ(returnedWhileRunning, !GetParam().waitsForTheCommand)
        << (GetParam().waitsForTheCommand ? "returned while the command was still running"
                                          : "kept the process waiting for the command");
    EXPECT_TRUE(taken);
}

INSTANTIATE_TEST_SUITE_P(Events, ConsoleEvent,
                         testing::Values(ConsoleEventCase{"CtrlC", CTRL_C_EVENT, false},
                                         ConsoleEventCase{"CtrlBreak", CTRL_BREAK_EVENT, false},
                                         ConsoleEventCase{"Close", CTRL_CLOSE_EVENT, true},
                                         ConsoleEventCase{"Logoff", CTRL_LOGOFF_EVENT, true},
                                         ConsoleEventCase{"Shutdown", CTRL_SHUTDOWN_EVENT, true}),
                         [](const testing::TestParamInfo<ConsoleEventCase>& info) { return std::string(info.param.name); });

// The whole command: by the time the close's handler returns, and Windows
// would end the process, the recording is in the file and nothing else.
TEST(RecordCommand, ConsoleClosedWhileRecordingLeavesTheRecordingWritten)
{
    SimReset();
    ScratchFolder folder(L"record-test");
    const std::wstring path = folder.Write(L"session.txt", kOldRecording);
    unsigned char code = 0x1A;
    SimPushCodes(&code, 1);
    std::ostringstream out;
    int exitCode = -1;
    std::thread record([&] { exitCode = RunRecord({path, L"--seconds", L"60"}, out); });
    bool recording = WaitUntil(HandedOutTheCode, 10'000);
    BOOL taken = HandleConsoleControl(CTRL_CLOSE_EVENT);
    std::string atEnd = ReadTextFile(path);
    std::vector<std::wstring> namesAtEnd = FileNamesIn(folder);
    record.join();

    ASSERT_TRUE(recording) << out.str();
    EXPECT_TRUE(taken);
    EXPECT_EQ(atEnd.rfind("# Recorded by PelcatoRemote, polling every ", 0), 0u) << atEnd;
    EXPECT_EQ(atEnd.substr(atEnd.find('\n') + 1), "tap 1A\n") << atEnd;
    EXPECT_EQ(namesAtEnd, std::vector<std::wstring>{L"session.txt"});
    EXPECT_EQ(exitCode, kExitOk) << out.str();
}

// What the host saw of one key message, as the user would read it.
std::vector<std::string> Seen(const TestHost& host)
{
    std::vector<std::string> seen;
    for (const KeyMessage& message : host.Messages())
        seen.push_back(std::string(message.record.keyName) + " " + std::to_string(message.param));
    return seen;
}

// The plug-in's timings keep every release 80 ms or more away from a
// repeat, for the session and for its recordings at either interval, so that
// scheduling under load cannot move a message across one of them; WaitR
// outlasts the widest gap of a hold polled every 100 ms.
constexpr char kPluginSettings[] =
    "[Main]\r\nInterval=20\r\nWait1=500\r\nWaitN=400\r\nWaitR=400\r\nDefaultConfig=Living.cfg\r\n";
constexpr char kKeyMap[] = "[Setup]\r\nName=Living room\r\n[Keys]\r\n0000001A=Power\r\n0000000B=VolumeUp\r\n";
constexpr char kSession[] =
    "tap 1A\n"
    "pause 600\n"
    "hold 0B 800 240\n"
    "pause 600\n"
    "hold 2C 1100\n"
    "pause 600\n"
    "hold 0A 200\n"
    "hold 0B 400\n"
    "pause 600\n";
constexpr std::uint32_t kSessionMs = 5400;

// Plays a script into a fresh copy of the plug-in and returns what its host
// saw.
std::vector<std::string> PluginMessagesFor(const std::string& script, const std::string& keyMap = kKeyMap)
{
    SimReset();
    PluginLibrary plugin;
    EXPECT_TRUE(plugin.Loaded());
    plugin.Folder().Write(L"Pelcato.ini", kPluginSettings);
    plugin.Folder().Write(L"Living.cfg", keyMap);
    TestHost host;
    HostInfo info(kAcceptedCoreVersion);
    host.Run([&] {
        plugin.Open("Source", host.Window(), info.bytes);
        plugin.Start();
    });
    EXPECT_EQ(SimPlayScript(script.c_str(), 0), 0) << script;
    EXPECT_TRUE(WaitUntil([] { return SimScriptPlaying() == 0; }, 20'000));
    Sleep(500);  // the last release follows the last report by WaitR
    host.Run(plugin.Close);
    return Seen(host);
}

class RecordRoundTrip : public testing::TestWithParam<std::int32_t> {};

TEST_P(RecordRoundTrip, PluginMakesTheSameMessagesOfTheRecordingAsOfTheSession)
{
    SimReset();
    ScratchFolder folder(L"record-test");
    std::wstring path = folder.PathOf(L"session.txt");
    {
        ReceiverSession session;
        session.Select(false, 0);
        ASSERT_EQ(SimPlayScript(kSession, 0), 0);
        std::ostringstream out;
        ASSERT_EQ(RecordReports(session, {path, kSessionMs, GetParam(), nullptr}, out), kExitOk) << out.str();
    }
    std::ifstream file(std::filesystem::path{path});
    std::stringstream recording;
    recording << file.rdbuf();

    std::vector<std::string> fromSession = PluginMessagesFor(kSession);
    std::vector<std::string> fromRecording = PluginMessagesFor(recording.str());
    EXPECT_FALSE(fromSession.empty());
    EXPECT_EQ(fromRecording, fromSession) << "recording, polled every " << GetParam() << " ms:\n" << recording.str();
}

INSTANTIATE_TEST_SUITE_P(Intervals, RecordRoundTrip, testing::Values(20, 100));

// A user at the remote and at the keyboard: at each of learn's questions
// the next step, a button played on the simulated receiver, a line typed,
// Ctrl+C, or nothing while a button played before is still to come. After
// the last step the input ends.
struct LearnStep {
    enum Kind { kButton, kLine, kStop, kNone } kind;
    std::string text;  // the button's script, or the line
};

LearnStep Button(const char* script)
{
    return {LearnStep::kButton, script};
}

LearnStep Typed(const char* line)
{
    return {LearnStep::kLine, line};
}

const LearnStep kCtrlC{LearnStep::kStop, ""};
const LearnStep kAlreadyPlayed{LearnStep::kNone, ""};

class ScriptedAnswers final : public LineInput {
public:
    ScriptedAnswers(std::vector<LearnStep> steps, const win::Event& stop) : steps_(std::move(steps)), stop_(stop) {}

    HANDLE Ready() const override { return ready_.Get(); }

    std::optional<std::string> TakeLine() override
    {
        std::optional<std::string> line;
        line.swap(line_);
        if (next_ < steps_.size())
            ready_.Reset();
        return line;
    }

    void Asked() override
    {
        if (next_ == steps_.size()) {
            ready_.Set();  // no line: the end of the input
            return;
        }
        const LearnStep& step = steps_[next_++];
        if (step.kind == LearnStep::kButton) {
            EXPECT_EQ(SimPlayScript(step.text.c_str(), 0), 0) << step.text;
        } else if (step.kind == LearnStep::kLine) {
            line_ = step.text;
            ready_.Set();
        } else if (step.kind == LearnStep::kStop) {
            stop_.Set();
        }
    }

    std::size_t StepsTaken() const { return next_; }

private:
    std::vector<LearnStep> steps_;
    const win::Event& stop_;
    win::Event ready_ = win::Event::CreateManualReset();
    std::optional<std::string> line_;
    std::size_t next_ = 0;
};

// The plug-in's built-in timings, polled every 20 ms: a held button's codes
// come 40 ms apart, well within WaitR.
PluginSettings LearnSettings()
{
    PluginSettings settings{};
    settings.interval = 20;
    settings.wait1 = 300;
    settings.waitN = 100;
    settings.waitR = 200;
    settings.codeTextDigits = 8;
    return settings;
}

struct Learnt {
    int exitCode;
    std::string output;
    std::size_t stepsTaken;
};

Learnt LearnIn(const std::wstring& path, std::optional<std::string> model, std::vector<LearnStep> steps)
{
    SimReset();
    ReceiverSession session;
    session.Select(false, 0);
    win::Event stop = win::Event::CreateManualReset();
    std::size_t stepCount = steps.size();
    ScriptedAnswers answers(std::move(steps), stop);
    std::ostringstream out;
    // A session that waits for a step it never asks for ends as Ctrl+C
    // ends it, and the steps left show what went wrong.
    win::Event done = win::Event::CreateManualReset();
    std::thread watchdog([&] {
        if (done.Wait(30'000) == WAIT_TIMEOUT)
            stop.Set();
    });
    int exitCode = LearnKeys([&session] { return session.Poll(); }, LearnSettings(), {path, model, stop.Get()},
                             answers, out);
    done.Set();
    watchdog.join();
    EXPECT_EQ(answers.StepsTaken(), stepCount) << "steps left unasked for:\n" << out.str();
    return {exitCode, out.str(), answers.StepsTaken()};
}

std::size_t Occurrences(const std::string& text, const std::string& piece)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

struct LearnCase {
    const char* name;
    std::optional<std::string> existing;  // the key map before, if there is one
    std::optional<std::string> model;
    std::vector<LearnStep> steps;
    std::string learnt;  // the key map after
    std::vector<std::pair<std::string, std::size_t>> said;  // a piece of the output, and how often
    int exitCode;
};

void PrintTo(const LearnCase& test, std::ostream* out)
{
    *out << test.name;
}

class LearnSession : public testing::TestWithParam<LearnCase> {};

TEST_P(LearnSession, WritesTheKeyMapAsLearnt)
{
    const LearnCase& test = GetParam();
    ScratchFolder folder(L"learn-test");
    folder.Write(L"Other.cfg", "[Setup]\r\nName=Other remote\r\n[Keys]\r\n0000001A=Power\r\n0000000C=VolDown\r\n");
    const std::wstring path = folder.PathOf(L"Living.cfg");
    if (test.existing)
        folder.Write(L"Living.cfg", *test.existing);

    Learnt learnt = LearnIn(path, test.model, test.steps);

    EXPECT_EQ(learnt.exitCode, test.exitCode) << learnt.output;
    EXPECT_EQ(ReadTextFile(path), test.learnt) << learnt.output;
    for (const auto& [piece, count] : test.said)
        EXPECT_EQ(Occurrences(learnt.output, piece), count) << "\"" << piece << "\" in:\n" << learnt.output;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path + kPartSuffix))) << "a part file is left";
}

// A key map kept by hand, with a comment before each section's first line,
// a code written in lower case and a section the plug-in does not read.
std::string HandKept(const std::string& model, const std::string& keys)
{
    return "; My living-room remote, kept by hand.\r\n[Setup]\r\nName=" + model +
           "\r\n\r\n[Keys]\r\n; the red button\r\n" + keys + "\r\n[Notes]\r\nBought=2019\r\n";
}

const std::string kHandKept = HandKept("Living room", "0000001a=Standby\r\n0000000B=VolumeUp\r\n");

INSTANTIATE_TEST_SUITE_P(
    Sessions, LearnSession,
    testing::Values(
        LearnCase{"NewFileAsksForTheModelOnce",
                  std::nullopt,
                  std::nullopt,
                  {Typed("Living room"), Button("tap 1A"), Typed("Power"), Button("tap 0B"), Typed("VolumeUp"),
                   Typed("")},
                  "[Setup]\r\nName=Living room\r\n\r\n[Keys]\r\n0000001A=Power\r\n0000000B=VolumeUp\r\n",
                  {{"Model name", 1}, {"Code 0000001A; other key maps name it Power.\n", 1},
                   {"Learnt 2 buttons", 1}, {"Living.cfg works as written.\n", 1},
                   {"choose it under \"Model\" in the plug-in's setup dialog", 1}},
                  kExitOk},
        LearnCase{"ExistingFileKeepsItsLinesAndAReplacedCodeItsPlace",
                  kHandKept,
                  std::nullopt,
                  {Button("tap 1A"), Typed("?"), Typed("A=B"), Typed("Power"), Button("tap 0C"), Typed("VolumeDown"),
                   Button("tap 2C"), Typed(""), Typed("")},
                  HandKept("Living room", "0000001A=Power\r\n0000000B=VolumeUp\r\n0000000C=VolumeDown\r\n"),
                  {{"Model name", 0}, {"Code 0000001A, now Standby; other key maps name it Power.\n", 1},
                   {"The other key maps use Power, VolDown.\n", 1}, {"The name cannot hold \"=\"", 1},
                   {"Skipped.\n", 1}, {"Learnt 2 buttons", 1}},
                  kExitOk},
        LearnCase{"HeldButtonCountsOnce",
                  std::nullopt,
                  "Held",
                  // The name comes while the button is still held, and the
                  // next button follows the release by itself.
                  {Button("hold 1A 1200\npause 600\ntap 0B\n"), Typed("Power"), kAlreadyPlayed, Typed("VolumeUp"),
                   Typed("")},
                  "[Setup]\r\nName=Held\r\n\r\n[Keys]\r\n0000001A=Power\r\n0000000B=VolumeUp\r\n",
                  {{"Code 0000001A", 1}, {"Code 0000000B", 1}, {"Press a button", 3}, {"Model name", 0}},
                  kExitOk},
        LearnCase{"CtrlCKeepsWhatWasLearnt",
                  kHandKept,
                  "Den",
                  {Button("tap 1A"), Typed("Power"), Button("tap 0C"), kCtrlC},
                  HandKept("Den", "0000001A=Power\r\n0000000B=VolumeUp\r\n"),
                  {{"Code 0000000C", 1}, {"Learnt 1 button", 1}},
                  kExitOk},
        LearnCase{"NothingLearntLeavesTheFileAsItWas",
                  kHandKept,
                  "Den",
                  {Typed("")},
                  kHandKept,
                  {{"Nothing learnt", 1}},
                  kExitOk}),
    [](const testing::TestParamInfo<LearnCase>& info) { return std::string(info.param.name); });

// One name learnt into key maps of other shapes: every line learn does not
// change stays as written, line ends included.
struct EditCase {
    const char* name;
    const char* before;
    const char* model;  // null: the model name is left alone
    const char* after;  // once 0000001A is named Power
};

class LearntKeyMapText : public testing::TestWithParam<EditCase> {};

TEST_P(LearntKeyMapText, ChangesOnlyTheLinesOfTheNames)
{
    KeyMapText text(GetParam().before);
    if (GetParam().model)
        text.SetModelName(GetParam().model);
    text.SetKey("0000001A", "Power");
    EXPECT_EQ(text.Text(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LearntKeyMapText,
    testing::Values(
        EditCase{"LineFeedsOnlyAndNoLastLineEnd", "[Setup]\nName=A\n[Keys]\n0000000B=Up", nullptr,
                 "[Setup]\nName=A\n[Keys]\n0000000B=Up\n0000001A=Power\n"},
        EditCase{"KeysSectionBeforeSetupWithoutName", "[Keys]\r\n; none yet\r\n[Setup]\r\nOwner=me\r\n", "B",
                 "[Keys]\r\n0000001A=Power\r\n; none yet\r\n[Setup]\r\nOwner=me\r\nName=B\r\n"},
        EditCase{"NoSetupAndNoKeys", "; notes\r\n[Other]\r\nX=1\r\n", "C",
                 "; notes\r\n[Setup]\r\nName=C\r\n\r\n[Other]\r\nX=1\r\n\r\n[Keys]\r\n0000001A=Power\r\n"},
        EditCase{"CodeTheReaderNeverMatchesStays", "[Keys]\r\n1A=Old\r\n  0000001a = Older\r\n", nullptr,
                 "[Keys]\r\n1A=Old\r\n0000001A=Power\r\n"}),
    [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

// Nothing is asked and the receiver is not polled when the key map cannot
// be written: the answers would be lost, and no copy goes elsewhere.
// A key map that another program holds open without sharing its writes is
// here what a read-only one is on Windows; Wine lets the administrator it
// runs as here write a file marked read-only.
TEST(LearnCommand, KeyMapThatCannotBeWrittenIsReportedBeforeAnyQuestion)
{
    constexpr char kHeldText[] = "[Setup]\r\nName=Den\r\n[Keys]\r\n0000001A=Power\r\n";
    struct Case {
        const char* what;
        const wchar_t* file;
        std::vector<std::wstring> filesLeft;
    };
    for (const Case& test : {Case{"a folder that is not there", L"missing\\Living.cfg", {}},
                             Case{"a key map held open by another program", L"Living.cfg", {L"Living.cfg"}}}) {
        ScratchFolder folder(L"learn-test");
        const std::wstring path = folder.PathOf(test.file);
        win::File held;
        if (!test.filesLeft.empty()) {
            folder.Write(test.file, kHeldText);
            held = win::File(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(held) << test.what;
        }
        Learnt learnt = LearnIn(path, "Den", {});
        SimStats stats{};
        SimGetStats(&stats);
        held.Close();

        EXPECT_EQ(learnt.exitCode, kExitCannot) << test.what << "\n" << learnt.output;
        EXPECT_EQ(learnt.output.rfind("Cannot write " + Printable(path) + ": ", 0), 0u) << test.what << "\n"
                                                                                      << learnt.output;
        EXPECT_EQ(stats.getCodeCalls, 0) << test.what << ": polled for a key map that cannot be written";
        EXPECT_EQ(FileNamesIn(folder), test.filesLeft) << test.what << ": written elsewhere";
        if (!test.filesLeft.empty()) {
            EXPECT_EQ(ReadTextFile(path), kHeldText) << test.what << ": the key map changed";
        }
    }
}

TEST(LearnCommand, ArgumentsThatAreWrongShowTheUsage)
{
    for (const Arguments& arguments : {Arguments{}, Arguments{L"Living.txt"}, Arguments{L"Living.cfg", L"--model"},
                                       Arguments{L"a.cfg", L"b.cfg"}, Arguments{L"--model", L"X"}}) {
        std::ostringstream out;
        EXPECT_EQ(RunLearn(arguments, out), kExitCannot) << testing::PrintToString(arguments);
        EXPECT_EQ(out.str().rfind("Usage: PelcatoRemote learn FILE [--model NAME]\n", 0), 0u)
            << testing::PrintToString(arguments) << ":\n" << out.str();
    }
    SimReset();
    std::ostringstream out;
    EXPECT_EQ(RunLearn({L"Living.cfg", L"--model", L"\u041b\u0435\u0442\u043e"}, out), kExitCannot);
    EXPECT_EQ(out.str(), "The model name takes letters, digits and punctuation of plain ASCII only: the console's "
                         "other letters reach the key map as different ones.\n");
    SimStats stats{};
    SimGetStats(&stats);
    EXPECT_EQ(stats.constructed, 0) << "the receiver was opened for a model name that is refused";
}

// The keys of the learnt file reach a host under their learnt names.
TEST(LearnCommand, PluginSendsTheLearntNames)
{
    ScratchFolder folder(L"learn-test");
    const std::wstring path = folder.PathOf(L"Learnt.cfg");
    Learnt learnt = LearnIn(path, "Living room",
                            {Button("tap 1A"), Typed("Power"), Button("hold 0B 300"), Typed("VolumeUp"), Typed("")});
    ASSERT_EQ(learnt.exitCode, kExitOk) << learnt.output;

    std::vector<std::string> seen = PluginMessagesFor("tap 1A\npause 600\ntap 0B\npause 600\n", ReadTextFile(path));
    EXPECT_EQ(seen, (std::vector<std::string>{"Power 0", "Power -1", "VolumeUp 0", "VolumeUp -1"}))
        << "learnt:\n" << ReadTextFile(path);
}

// The lines of a pipe, as learn reads its standard input when it is one:
// each line without its line break, the last even without one, then the end.
TEST(LearnInput, HandsOverEachLineOfAPipeThenItsEnd)
{
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    win::File reading(readEnd);
    win::File writing(writeEnd);
    HandleLines lines(reading.Get());
    ASSERT_TRUE(lines);
    const std::string typed = "Power\r\n\nVolume Up\r\nLast";
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(writing.Get(), typed.data(), static_cast<DWORD>(typed.size()), &written, nullptr));
    writing.Close();

    std::vector<std::string> taken;
    bool ended = false;
    while (!ended && ::WaitForSingleObject(lines.Ready(), 10'000) == WAIT_OBJECT_0) {
        std::optional<std::string> line = lines.TakeLine();
        if (line)
            taken.push_back(*line);
        else
            ended = true;
    }
    EXPECT_TRUE(ended) << "the end of the pipe was not handed over";
    EXPECT_EQ(taken, (std::vector<std::string>{"Power", "", "Volume Up", "Last"}));
}

}  // namespace
