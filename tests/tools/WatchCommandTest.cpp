// The watch command's prediction against the plug-in itself: one scripted
// session of the simulated receiver is played once through the watch core
// and once through Pelcato.dll with a host window, with the same settings
// file and key map, and the host must receive exactly the predicted
// messages. Also the command's answers when it cannot watch at all.

#include "tools/remote/Commands.h"
#include "tools/remote/ReceiverSession.h"
#include "tools/remote/ReceiverWatch.h"

#include "common/win/Handle.h"
#include "plugin/config/Settings.h"

#include "simreceiver/SimControl.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/ResourceUse.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 5000;

// Timings chosen so that every repeat and release falls at least 50 ms away
// from the next report or deadline: both runs are in real time, and a
// loaded machine must not tip a repeat from one side of a release to the
// other.
constexpr char kSettings[] =
    "[Main]\r\nDefaultConfig=Watch.cfg\r\nInterval=20\r\nWait1=250\r\nWaitN=180\r\nWaitR=200\r\n";
constexpr char kKeyMap[] =
    "[Setup]\r\nName=Watch test remote\r\n[Keys]\r\n0000001A=Power\r\n0000000B=VolumeUp\r\n0000000C=VolumeDown\r\n";
// A tap, a hold with repeats, a takeover by another key while the first is
// still down, and a code the key map does not hold.
constexpr char kScript[] =
    "tap 1A\npause 400\nhold 0B 900\nhold 0C 200\npause 400\ntap 55\npause 400\n";
constexpr std::chrono::milliseconds kScriptCovered{3000};

struct Sent {
    std::int32_t param;
    std::string keyName;
    bool operator==(const Sent&) const = default;
};

// "press Power, repeat 1 VolumeUp, ..." for the failure messages.
std::string Sequence(const std::vector<Sent>& messages)
{
    std::string text;
    for (const Sent& message : messages)
        text += "\n  " + MessageText(message.param) + " " + message.keyName;
    return text;
}

std::vector<Sent> AsSent(const std::vector<PredictedMessage>& messages)
{
    std::vector<Sent> sent;
    for (const PredictedMessage& message : messages)
        sent.push_back({message.param, message.keyName});
    return sent;
}

std::vector<Sent> AsSent(const std::vector<KeyMessage>& messages)
{
    std::vector<Sent> sent;
    for (const KeyMessage& message : messages)
        sent.push_back({message.param, message.record.keyName});
    return sent;
}

TEST(WatchPrediction, EqualsWhatThePluginSendsTheHost)
{
    SimReset();
    PluginLibrary plugin;
    ASSERT_TRUE(plugin.Loaded()) << "Pelcato.dll with all its exports";
    const ScratchFolder& folder = plugin.Folder();
    folder.Write(L"Watch.cfg", kKeyMap);
    std::wstring settingsFile = SettingsFilePath(folder.PathOf(L"Pelcato.dll"));
    folder.Write(settingsFile.substr(folder.Path().size()), kSettings);

    std::vector<PredictedMessage> predicted;
    std::ostringstream printed;
    {
        std::ostringstream notice;
        PluginSettings settings = ReadPluginSettings(FindPluginFiles(folder.Path()), notice);
        ReceiverSession session;
        ASSERT_FALSE(session.Devices().empty());
        session.Select(settings.chipTypeTM, ChooseDevice(settings.device, session.Devices()).index);
        win::Event stop = win::Event::CreateManualReset();
        ASSERT_EQ(SimPlayScript(kScript, 0), 0);
        std::size_t count =
            WatchReceiver([&session] { return session.Poll(); }, settings, WatchLimits{kScriptCovered, stop.Get()},
                          printed, [&predicted](const PredictedMessage& message) { predicted.push_back(message); });
        EXPECT_EQ(count, predicted.size()) << "the count against the messages handed out";
    }

    // The prediction has the session's shape before it is compared at all:
    // a comparison of two empty lists would prove nothing.
    std::vector<Sent> prediction = AsSent(predicted);
    auto at = [&](const Sent& sent) { return std::find(prediction.begin(), prediction.end(), sent); };
    EXPECT_EQ(prediction.front(), (Sent{0, "Power"})) << Sequence(prediction);
    EXPECT_NE(at({3, "VolumeUp"}), prediction.end()) << "repeats of the held key" << Sequence(prediction);
    auto takeover = at({-1, "VolumeUp"});
    ASSERT_NE(takeover, prediction.end()) << Sequence(prediction);
    ASSERT_NE(takeover + 1, prediction.end()) << Sequence(prediction);
    EXPECT_EQ(takeover[1], (Sent{0, "VolumeDown"})) << "the takeover: release, then the new key's press"
                                                     << Sequence(prediction);
    EXPECT_NE(at({0, "00000055"}), prediction.end()) << "an unmapped code as its code text" << Sequence(prediction);
    EXPECT_EQ(prediction.back(), (Sent{-1, "00000055"})) << "the time-out release, with no code" << Sequence(prediction);
    EXPECT_NE(printed.str().find("release VolumeUp, press"), std::string::npos) << printed.str();

    SimReset();
    TestHost host;
    HostInfo info(kAcceptedCoreVersion);
    host.Run([&] {
        plugin.Open("Watch", host.Window(), info.bytes);
        plugin.Start();
    });
    ASSERT_EQ(SimPlayScript(kScript, 0), 0);
    host.WaitForMessages(predicted.size(), static_cast<DWORD>(kScriptCovered.count()) + kPatienceMs);
    ::Sleep(400);  // a message the prediction lacks would have come by now
    host.Run(plugin.Close);

    std::vector<KeyMessage> received = host.Messages();
    EXPECT_EQ(AsSent(received), prediction) << "received:" << Sequence(AsSent(received)) << "\npredicted:"
                                            << Sequence(prediction) << "\nwatch printed:\n"
                                            << printed.str();
}

TEST(WatchStop, EndsAtOnceWhenStopIsSet)
{
    PluginSettings settings{};
    settings.interval = 20;
    win::Event stop = win::Event::CreateManualReset();
    std::ostringstream printed;
    int polls = 0;
    std::thread stopper([&stop] {
        ::Sleep(100);
        stop.Set();
    });
    auto begin = std::chrono::steady_clock::now();
    std::size_t messages = WatchReceiver(
        [&polls] {
            ++polls;
            return std::optional<unsigned char>();
        },
        settings, WatchLimits{std::nullopt, stop.Get()}, printed);
    auto took = std::chrono::steady_clock::now() - begin;
    stopper.join();

    EXPECT_LT(took, std::chrono::milliseconds(1000)) << "ended "
                                                     << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                                                     << " ms after it began; the stop came at 100 ms";
    EXPECT_GE(polls, 2) << "polled on while it waited for the stop";
    EXPECT_EQ(messages, 0u);
}

// A watch without --seconds may run for days: what it holds must not grow
// with the messages it predicts. Two buttons take turns at every poll, so
// that each poll makes a release and a press; the heap is measured from the
// poll function, while the watch runs.
TEST(WatchMemory, StaysFlatHoweverManyMessagesItPredicts)
{
    constexpr int kFirstMeasure = 20;
    constexpr int kLastMeasure = 220;
    PluginSettings settings{};
    settings.interval = 10;
    settings.wait1 = settings.waitN = settings.waitR = 5000;  // no repeat or time-out between two polls
    win::Event stop = win::Event::CreateManualReset();
    std::ostream discarded(nullptr);
    int polls = 0;
    std::uint64_t early = 0;
    std::uint64_t late = 0;
    std::size_t messages = WatchReceiver(
        [&] {
            ++polls;
            if (polls == kFirstMeasure)
                early = HeapBytesInUse();
            if (polls == kLastMeasure) {
                late = HeapBytesInUse();
                stop.Set();
            }
            return std::optional<unsigned char>(polls % 2 ? 0x1A : 0x0B);
        },
        settings, WatchLimits{std::nullopt, stop.Get()}, discarded);

    ASSERT_GE(messages, std::size_t{2 * (kLastMeasure - kFirstMeasure)}) << "a release and a press at every poll";
    EXPECT_LT(late, early + 4096) << "heap bytes in use at poll " << kFirstMeasure << ": " << early << ", at poll "
                                  << kLastMeasure << ": " << late << ", " << messages << " messages predicted";
}

struct CannotCase {
    const char* what;
    Arguments arguments;
    bool receiverPresent;
    const char* says;
};

class WatchCannot : public testing::TestWithParam<CannotCase> {};

TEST_P(WatchCannot, SaysWhyAndExitsWithCode2)
{
    const CannotCase& test = GetParam();
    SimReset();
    if (!test.receiverPresent)
        SimSetDevices(nullptr, nullptr, 0);
    std::ostringstream out;
    int exitCode = RunWatch(test.arguments, out);
    SimReset();

    EXPECT_EQ(exitCode, kExitCannot) << test.what << "\n" << out.str();
    EXPECT_NE(out.str().find(test.says), std::string::npos) << test.what << ": expected \"" << test.says
                                                            << "\" in:\n" << out.str();
    SimStats stats{};
    SimGetStats(&stats);
    EXPECT_EQ(stats.objectsAlive, 0) << test.what << ": the receiver is released";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WatchCannot,
    testing::Values(CannotCase{"no device", {L"--seconds", L"1"}, false, kNoReceiverText},
                    CannotCase{"no count", {L"--seconds"}, true, "Usage: PelcatoRemote watch"},
                    CannotCase{"zero seconds", {L"--seconds", L"0"}, true, "Usage: PelcatoRemote watch"},
                    CannotCase{"not a number", {L"--seconds", L"5s"}, true, "Usage: PelcatoRemote watch"},
                    CannotCase{"a count of other digits", {L"--seconds", L"\u0661"}, true, "Usage: PelcatoRemote watch"},
                    CannotCase{"another option", {L"--minutes", L"2"}, true, "Usage: PelcatoRemote watch"}));

}  // namespace
