// The key rules on a fake clock: codes arrive at given ticks and the rules are
// driven by the DispatchThread's own loop, so every message has an exact tick.

#include "plugin/config/KeyMapFiles.h"
#include "plugin/core/DispatchThread.h"
#include "plugin/core/KeyDispatcher.h"
#include "plugin/core/PendingCode.h"
#include "plugin/core/PluginState.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Delivery {
    std::uint32_t tick;
    std::string what;  // "send 0", "send -1", "show 1A", "show release"
    bool operator==(const Delivery&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Delivery& d)
{
    return out << "{" << d.tick << ", \"" << d.what << "\"}";
}

struct SentKey {
    std::int32_t param;
    std::string keyName;
    std::string codeText;
    std::string modelName;
    std::string bytes;  // every byte a host can read of the key: name, code text and model fields
};

struct Arrival {
    std::uint32_t tick;
    std::uint64_t code;
};

constexpr KeyTiming kDefaultTiming{300, 100, 200};
// The pace of the key Louder: its first repeat after 150 ms, then every 60.
constexpr KeyRepeat kOwnPace{KeyRepeat::Kind::kOwnPace, 150, 60};

// Records every send with the record as the host reads it. The send
// numbered cutShortAt is cut short by Stop, as the DispatchThread's are.
class RecordingSink final : public KeySink {
public:
    RecordingSink(const RemoteEvent& record, const std::uint32_t& now, const win::Event& stop)
        : record_(record), now_(now), stop_(stop)
    {
    }

    bool SendKey(std::int32_t param) override
    {
        log.push_back({now_, "send " + std::to_string(param)});
        std::string bytes(record_.keyName, kKeyNameSize);
        bytes.append(record_.codeText, kCodeTextSize);
        bytes.append(record_.modelName, kModelNameSize);
        sent.push_back({param, record_.keyName, record_.codeText, record_.modelName, bytes});
        if (sent.size() - 1 != cutShortAt)
            return true;
        stop_.Set();
        return false;
    }
    void ShowCode(std::uint64_t code) override
    {
        char text[17];
        std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(code));
        log.push_back({now_, std::string("show ") + text});
    }
    void ShowRelease() override { log.push_back({now_, "show release"}); }

    std::vector<Delivery> log;
    std::vector<SentKey> sent;
    std::optional<std::size_t> cutShortAt;

private:
    const RemoteEvent& record_;
    const std::uint32_t& now_;
    const win::Event& stop_;
};

// Runs a KeyDispatcher in the DispatchThread's loop, on a clock that moves
// only while the loop waits: to the next code's arrival, which goes into the
// slot as the ReceiverThread puts it there, or to the end of the wait's
// time-out, whichever comes first. Once no key is down and no code is left to
// come, or when the next of them would come after the tick `until`, the wait
// sets the stop event as Stop does.
class Drive final : private DispatchClock {
public:
    explicit Drive(KeyTiming timing = kDefaultTiming, std::uint32_t start = 0)
        : timing(timing), start_(start), now_(start), sink(record, now_, plugin.dispatchStop),
          dispatcher(record, texts, sink, timing)
    {
        keyMap.AddLine("0000001A=Power");
        keyMap.AddLine("0000000B=VolumeUp");
        keyMap.AddLine("0000000C=VolumeUp");
        keyMap.AddLine("0000000D=" + std::string(200, 'L'));
        keyMap.AddLine("0000000E=" + std::string(200, 'L'));
        keyMap.AddLine("0000000F=Power", 1);
        // Keys whose key-map lines carry a repeat rule of their own, beside
        // one that repeats as the settings say.
        keyMap.AddLine("00000010=Standby");
        keyMap.SetRepeat(keyMap.Count() - 1, {KeyRepeat::Kind::kNever});
        keyMap.AddLine("00000011=Louder");
        keyMap.SetRepeat(keyMap.Count() - 1, kOwnPace);
        keyMap.AddLine("00000012=Softer");
        plugin.codeTextDigits = 8;
        plugin.dispatchStop = win::Event::CreateManualReset();
    }

    // Feeds the arrivals (ticks relative to the start) and runs on until no
    // key is down, or until the tick `until` when one is given.
    std::vector<Delivery> Run(const std::vector<Arrival>& arrivals, std::optional<std::uint32_t> until = {})
    {
        arrivals_ = &arrivals;
        next_ = 0;
        until_ = until;
        waits_ = 0;
        plugin.settings.wait1 = static_cast<std::int32_t>(timing.wait1);
        plugin.settings.waitN = static_cast<std::int32_t>(timing.waitN);
        plugin.settings.waitR = static_cast<std::int32_t>(timing.waitR);
        plugin.dispatchStop.Reset();
        RunDispatchLoop(PluginDispatchInputs(plugin), dispatcher, *this);
        std::vector<Delivery> relative = sink.log;
        for (Delivery& d : relative)
            d.tick -= start_;
        return relative;
    }

    // The next deadline at the tick at, relative to the start, under timing.
    std::optional<std::uint32_t> DeadlineAt(std::uint32_t at, const KeyTiming& timing) const
    {
        std::optional<std::uint32_t> deadline = dispatcher.NextDeadline(start_ + at, timing);
        if (deadline)
            *deadline -= start_;
        return deadline;
    }

    KeyTiming timing;
    // Right after the first send the clock steps back a millisecond for
    // good, as a clock read on another processor may.
    bool clockStepsBack = false;
    const std::uint32_t start_;
    std::uint32_t now_;
    PluginState plugin;
    RemoteEvent& record = plugin.remoteEvent;
    KeyEventTexts& texts = plugin.keyEventTexts;
    KeyMap& keyMap = plugin.keyMap.emplace();
    ModelNameList& modelNames = plugin.modelNames.emplace(ModelNameList{"Test Remote", "Other Remote"});
    RecordingSink sink;
    KeyDispatcher dispatcher;

private:
    // Far more wake-ups than any case here needs: a loop that spins ends.
    static constexpr int kMaxWaits = 100000;

    // The ticks of the clock are whole milliseconds.
    std::uint64_t NowMicroseconds() override
    {
        std::uint64_t now = elapsedUs_ + std::uint64_t{start_} * 1000;
        return clockStepsBack && !sink.sent.empty() ? now - 1000 : now;
    }

    CodeWait Wait(std::optional<std::chrono::microseconds> timeout) override
    {
        if (++waits_ > kMaxWaits) {
            ADD_FAILURE() << "the loop waited " << waits_ << " times, expected at most " << kMaxWaits;
            return CodeWait::kFailed;
        }
        bool codeDue = next_ < arrivals_->size();
        if (!timeout && !codeDue)
            return Stop();
        // A wait never ends early: a part of a millisecond counts as a whole one.
        std::uint32_t deadline = timeout ? now_ + static_cast<std::uint32_t>((timeout->count() + 999) / 1000) : 0;
        std::uint32_t codeAt = codeDue ? start_ + (*arrivals_)[next_].tick : 0;
        bool codeFirst = codeDue && (!timeout || codeAt - now_ <= deadline - now_);
        std::uint32_t at = codeFirst ? codeAt : deadline;
        if (until_ && at - start_ > *until_)
            return Stop();
        elapsedUs_ += std::uint64_t{at - now_} * 1000;
        now_ = at;
        if (!codeFirst)
            return CodeWait::kTimedOut;
        StoreCode(plugin.pendingCode, (*arrivals_)[next_++].code);
        return CodeWait::kSignalled;
    }

    CodeWait Stop()
    {
        plugin.dispatchStop.Set();
        return CodeWait::kSignalled;
    }

    std::uint64_t elapsedUs_ = 0;
    const std::vector<Arrival>* arrivals_ = nullptr;
    std::size_t next_ = 0;
    std::optional<std::uint32_t> until_;
    int waits_ = 0;
};

// A button held down: the receiver repeats its code every 50 ms.
std::vector<Arrival> Held(std::uint64_t code, std::uint32_t from, std::uint32_t until)
{
    std::vector<Arrival> arrivals;
    for (std::uint32_t t = from; t <= until; t += 50)
        arrivals.push_back({t, code});
    return arrivals;
}

std::vector<Arrival> Then(std::vector<Arrival> first, const std::vector<Arrival>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

struct Scenario {
    const char* name;
    std::vector<Arrival> arrivals;
    std::vector<Delivery> expected;
    KeyTiming timing = kDefaultTiming;
    bool clockStepsBack = false;
};

class KeyStateTable : public testing::TestWithParam<Scenario> {};

TEST_P(KeyStateTable, DeliversExactlyTheExpectedMessages)
{
    const Scenario& scenario = GetParam();
    Drive drive(scenario.timing);
    drive.clockStepsBack = scenario.clockStepsBack;
    EXPECT_EQ(drive.Run(scenario.arrivals), scenario.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, KeyStateTable,
    testing::Values(
        Scenario{"SingleTapIsPressThenReleaseAfterWaitR",
                 {{0, 0x1A}},
                 {{0, "send 0"}, {0, "show 1A"}, {200, "send -1"}, {200, "show release"}}},
        Scenario{"HeldKeyRepeatsAfterWait1ThenEveryWaitN",
                 Held(0x1A, 0, 600),
                 {{0, "send 0"},
                  {0, "show 1A"},
                  {300, "send 1"},
                  {400, "send 2"},
                  {500, "send 3"},
                  {600, "send 4"},
                  {700, "send 5"},  // the wake-up after the last code still repeats
                  {800, "send -1"},
                  {800, "show release"}}},
        Scenario{"ClockSteppingBackAMillisecondDelaysButNeverFiresEarly",
                 Held(0x1A, 100, 700),
                 {{100, "send 0"},
                  {100, "show 1A"},
                  {401, "send 1"},
                  {501, "send 2"},
                  {601, "send 3"},
                  {701, "send 4"},
                  {801, "send 5"},
                  {900, "send -1"},
                  {900, "show release"}},
                 kDefaultTiming,
                 true},
        Scenario{"DifferentKeyTakesOverWithReleaseThenPress",
                 Then(Held(0x1A, 0, 100), Held(0x0B, 150, 150)),
                 {{0, "send 0"},
                  {0, "show 1A"},
                  {150, "send -1"},
                  {150, "send 0"},
                  {150, "show B"},
                  {350, "send -1"},
                  {350, "show release"}}},
        Scenario{"SameKeyNameOfAnotherModelIsAnotherKey",
                 {{0, 0x1A}, {50, 0x0F}},
                 {{0, "send 0"},
                  {0, "show 1A"},
                  {50, "send -1"},
                  {50, "send 0"},
                  {50, "show F"},
                  {250, "send -1"},
                  {250, "show release"}}},
        Scenario{"TwoUnmappedCodesAreTwoKeys",
                 {{0, 0x01}, {50, 0x02}},
                 {{0, "send 0"},
                  {0, "show 1"},
                  {50, "send -1"},
                  {50, "send 0"},
                  {50, "show 2"},
                  {250, "send -1"},
                  {250, "show release"}}},
        Scenario{"SameKeyNameBeforeFirstRepeatPressesAgainAndRestartsWait1",
                 Then(Held(0x0B, 0, 100), Held(0x0C, 150, 500)),
                 {{0, "send 0"},
                  {0, "show B"},
                  {150, "send 0"},
                  {150, "show C"},
                  {450, "send 1"},
                  {550, "send 2"},  // on time, though no code came at that moment
                  {650, "send 3"},
                  {700, "send -1"},
                  {700, "show release"}}},
        Scenario{"SameKeyNameAfterARepeatKeepsRepeating",
                 Then(Held(0x0B, 0, 350), Held(0x0C, 400, 500)),
                 {{0, "send 0"},
                  {0, "show B"},
                  {300, "send 1"},
                  {400, "send 2"},
                  {400, "show C"},
                  {500, "send 3"},
                  {600, "send 4"},
                  {700, "send -1"},
                  {700, "show release"}}},
        Scenario{"ReleaseThenSameKeyIsANewPress",
                 {{0, 0x1A}, {500, 0x1A}},
                 {{0, "send 0"},
                  {0, "show 1A"},
                  {200, "send -1"},
                  {200, "show release"},
                  {500, "send 0"},
                  {500, "show 1A"},
                  {700, "send -1"},
                  {700, "show release"}}},
        Scenario{"ReleaseComesAtWaitRWhenWaitNIsLonger",
                 {{0, 0x1A}},
                 {{0, "send 0"}, {0, "show 1A"}, {150, "send -1"}, {150, "show release"}},
                 KeyTiming{300, 400, 150}},
        Scenario{"NameLongerThanItsFieldStillMatchesItself",
                 Then(Held(0x0D, 0, 350), Held(0x0E, 400, 500)),
                 {{0, "send 0"},
                  {0, "show D"},
                  {300, "send 1"},
                  {400, "send 2"},
                  {400, "show E"},
                  {500, "send 3"},
                  {600, "send 4"},
                  {700, "send -1"},
                  {700, "show release"}}}),
    [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OwnRepeatRules, KeyStateTable,
    testing::Values(
        Scenario{"KeyThatNeverRepeatsHeldThreeSecondsIsOnePressAndOneRelease",
                 Held(0x10, 0, 3000),
                 {{0, "send 0"}, {0, "show 10"}, {3200, "send -1"}, {3200, "show release"}}},
        Scenario{"OwnPaceRepeatsByItsOwnWaitsWhateverTheSettingsSay",
                 Held(0x11, 0, 400),
                 {{0, "send 0"},
                  {0, "show 11"},
                  {150, "send 1"},
                  {210, "send 2"},
                  {270, "send 3"},
                  {330, "send 4"},
                  {390, "send 5"},
                  {450, "send 6"},
                  {510, "send 7"},
                  {570, "send 8"},
                  {600, "send -1"},
                  {600, "show release"}},
                 KeyTiming{500, 200, 200}},
        Scenario{"NeighbourOfAnOwnPaceKeyKeepsTheSettingsPace",
                 Held(0x12, 0, 400),
                 {{0, "send 0"},
                  {0, "show 12"},
                  {300, "send 1"},
                  {400, "send 2"},
                  {500, "send 3"},
                  {600, "send -1"},
                  {600, "show release"}}},
        Scenario{"OwnPaceHandsOverToTheSettingsPaceThenToAKeyThatNeverRepeats",
                 Then(Then(Held(0x11, 0, 200), Held(0x12, 250, 600)), Held(0x10, 620, 1000)),
                 {{0, "send 0"},
                  {0, "show 11"},
                  {150, "send 1"},
                  {210, "send 2"},
                  {250, "send -1"},
                  {250, "send 0"},
                  {250, "show 12"},
                  {550, "send 1"},
                  {620, "send -1"},
                  {620, "send 0"},
                  {620, "show 10"},
                  {1170, "send -1"},
                  {1170, "show release"}}},
        Scenario{"SettingsPaceHandsOverToOwnPace",
                 Then(Held(0x12, 0, 350), Held(0x11, 380, 480)),
                 {{0, "send 0"},
                  {0, "show 12"},
                  {300, "send 1"},
                  {380, "send -1"},
                  {380, "send 0"},
                  {380, "show 11"},
                  {530, "send 1"},
                  {590, "send 2"},
                  {650, "send 3"},
                  {680, "send -1"},
                  {680, "show release"}}}),
    [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

// When the DispatchThread must wake next without a code.
struct DeadlineCase {
    const char* name;
    std::vector<Arrival> arrivals;   // fed, with every pass due, up to the tick at
    std::uint32_t at;
    KeyTiming timing;                // as it stands at that tick
    std::optional<std::uint32_t> expected;
    std::uint32_t start = 0;
    KeyTiming runTiming = kDefaultTiming;  // up to that tick
};

class NextDeadline : public testing::TestWithParam<DeadlineCase> {};

TEST_P(NextDeadline, IsTheEarlierOfTheNextRepeatAndTheTimeOutRelease)
{
    const DeadlineCase& c = GetParam();
    Drive drive(c.runTiming, c.start);
    drive.Run(c.arrivals, c.at);
    EXPECT_EQ(drive.DeadlineAt(c.at, c.timing), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    States, NextDeadline,
    testing::Values(DeadlineCase{"NoKeyDownHasNone", {}, 0, kDefaultTiming, std::nullopt},
                    DeadlineCase{"ReleasedKeyHasNone", {{0, 0x1A}}, 250, kDefaultTiming, std::nullopt},
                    DeadlineCase{"TapIsReleasedBeforeItsFirstRepeat", {{0, 0x1A}}, 0, kDefaultTiming, 200},
                    DeadlineCase{"HeldKeyFirstRepeatAfterWait1", Held(0x1A, 0, 250), 250, kDefaultTiming, 300},
                    DeadlineCase{"HeldKeyLaterRepeatsEveryWaitN", Held(0x1A, 0, 350), 350, kDefaultTiming, 400},
                    DeadlineCase{"ReleaseBeforeAFarRepeat", {{0, 0x1A}}, 0, KeyTiming{300, 400, 150}, 150},
                    DeadlineCase{"ReleaseWaitRAfterTheLastCode", Held(0x1A, 0, 450), 450, KeyTiming{300, 400, 150},
                                 600, 0, KeyTiming{300, 400, 150}},
                    DeadlineCase{"TakeOverStartsAfreshFromTheNewPress", {{0, 0x1A}, {50, 0x0B}}, 50,
                                 kDefaultTiming, 250},
                    DeadlineCase{"ShorterWaitRTakesEffectAtOnce", Held(0x1A, 0, 250), 250, KeyTiming{300, 100, 30},
                                 280},
                    DeadlineCase{"NewWaitNWaitsForTheNextRepeat", Held(0x1A, 0, 300), 300, KeyTiming{300, 50, 200},
                                 400},
                    DeadlineCase{"AcrossTheTickWrap", Held(0x1A, 0, 350), 350, kDefaultTiming, 400, 0xFFFFFEC0},
                    DeadlineCase{"KeyThatNeverRepeatsWaitsOnlyForItsRelease", Held(0x10, 0, 400), 400,
                                 kDefaultTiming, 600},
                    DeadlineCase{"OwnPaceFirstRepeatAfterItsOwnWait", Held(0x11, 0, 100), 100, kDefaultTiming, 150},
                    DeadlineCase{"OwnPaceLaterRepeatsEveryItsOwnPeriod", Held(0x11, 0, 160), 160, kDefaultTiming,
                                 210}),
    [](const testing::TestParamInfo<DeadlineCase>& info) { return std::string(info.param.name); });

TEST(KeyDispatcher, OverdueDeadlineIsNow)
{
    Drive drive;
    drive.Run({{0, 0x1A}}, 0);
    EXPECT_EQ(drive.DeadlineAt(260, kDefaultTiming), 260u) << "the release was due at 200";
}

TEST(KeyDispatcher, KeepsItsRhythmWhileTheTickCountWraps)
{
    Drive drive(kDefaultTiming, 0xFFFFFF00);  // wraps 256 ms after the press
    std::vector<Delivery> expected{{0, "send 0"},   {0, "show 1A"}, {300, "send 1"},
                                   {400, "send 2"}, {500, "send 3"}, {600, "send -1"},
                                   {600, "show release"}};
    EXPECT_EQ(drive.Run(Held(0x1A, 0, 400)), expected);
}

// Section Repeat of a key-map file reaches the loop through the lines that
// the load gives their rules: Power never repeats, VolumeUp has its own pace.
TEST(KeyDispatcher, RepeatRulesOfALoadedKeyMapFileTakeEffect)
{
    ScratchFolder folder(L"dispatch-test");
    std::wstring path = folder.Write(L"Remote.cfg", "[Setup]\r\nName=Loaded\r\n"
                                                  "[Keys]\r\n0000001A=Power\r\n0000000B=VolumeUp\r\n"
                                                  "[Repeat]\r\npower=no\r\nVolumeUp=150,60\r\n");
    Drive drive;
    LoadKeyMapFile(path, drive.keyMap, drive.modelNames);
    std::vector<Delivery> expected{{0, "send 0"},   {0, "show 1A"},   {400, "send -1"}, {400, "send 0"},
                                   {400, "show B"}, {550, "send 1"}, {600, "send -1"}, {600, "show release"}};
    EXPECT_EQ(drive.Run(Then(Held(0x1A, 0, 350), Held(0x0B, 400, 400))), expected);
}

TEST(KeyDispatcher, RecordNamesTheMappedKeyAndItsModel)
{
    Drive drive;
    drive.Run({{0, 0x1A}});
    ASSERT_EQ(drive.sink.sent.size(), 2u);
    for (const SentKey& sent : drive.sink.sent) {
        EXPECT_EQ(sent.keyName, "Power");
        EXPECT_EQ(sent.codeText, "0000001A");
        EXPECT_EQ(sent.modelName, "Test Remote");
    }
}

TEST(KeyDispatcher, UnmappedCodeGoesOutAsItsCodeTextWithUndefinedModel)
{
    Drive drive;
    drive.Run({{0, 0xFE}});
    ASSERT_FALSE(drive.sink.sent.empty());
    EXPECT_EQ(drive.sink.sent[0].keyName, "000000FE");
    EXPECT_EQ(drive.sink.sent[0].codeText, "000000FE");
    EXPECT_EQ(drive.sink.sent[0].modelName, "<undefined>");
}

// A host that reads the record while it handles the release of the old key
// sees that key whole, byte for byte as at its press: name, code and model
// belong together.
TEST(KeyDispatcher, TakeOverReleaseDescribesTheOldKeyAndThePressTheNewOne)
{
    Drive drive;
    drive.Run({{0, 0x1A}, {50, 0x0F}});
    ASSERT_GE(drive.sink.sent.size(), 3u);
    const SentKey& press = drive.sink.sent[0];
    const SentKey& release = drive.sink.sent[1];
    const SentKey& newPress = drive.sink.sent[2];
    EXPECT_EQ(release.param, -1);
    EXPECT_EQ(release.bytes, press.bytes) << "release " << release.keyName << " " << release.codeText << " "
                                          << release.modelName << ", press " << press.keyName << " "
                                          << press.codeText << " " << press.modelName;
    EXPECT_EQ(newPress.param, 0);
    EXPECT_EQ(newPress.keyName, "Power");
    EXPECT_EQ(newPress.codeText, "0000000F");
    EXPECT_EQ(newPress.modelName, "Other Remote");
}

// Stop cuts the old key's release short as another key takes over. The host
// handles that release later, reading the record then: it must still name
// the old key, and no press of the new key may follow.
TEST(KeyDispatcher, TakeOverReleaseCutShortByStopLeavesTheRecordNamingTheOldKey)
{
    Drive drive;
    drive.sink.cutShortAt = 1;
    std::vector<Delivery> expected{{0, "send 0"}, {0, "show 1A"}, {50, "send -1"}};
    EXPECT_EQ(drive.Run({{0, 0x1A}, {50, 0x0B}}), expected);
    EXPECT_EQ(std::string(drive.record.keyName), "Power");
    EXPECT_EQ(std::string(drive.texts.codeText), "0000001A");
}

TEST(KeyDispatcher, LongNamesAreCutToTheirFieldsAndTerminated)
{
    Drive drive;
    drive.modelNames[0] = std::string(100, 'M');
    drive.Run({{0, 0x0D}});
    EXPECT_EQ(std::string(drive.record.keyName), std::string(123, 'L'));
    EXPECT_EQ(std::string(drive.texts.modelName), std::string(63, 'M'));
}

TEST(KeyDispatcher, ShorterNameLeavesNoTailOfTheLongerOne)
{
    Drive drive;
    drive.Run({{0, 0x0D}, {50, 0x1A}});
    EXPECT_EQ(std::string(drive.record.keyName), "Power");
    for (std::size_t i = 5; i < kKeyNameSize; ++i)
        ASSERT_EQ(drive.record.keyName[i], 0) << "byte " << i;
}

TEST(KeyDispatcher, ConstructionWritesTheRecordsConstantFields)
{
    RemoteEvent record;
    std::memset(&record, 0x55, sizeof record);
    KeyEventTexts texts = {};
    std::uint32_t now = 0;
    win::Event stop;
    RecordingSink sink(record, now, stop);
    KeyDispatcher dispatcher(record, texts, sink, kDefaultTiming);

    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    const unsigned char ext[4] = {0x45, 0x58, 0x54, 0x00};
    EXPECT_EQ(std::memcmp(bytes + 188, ext, 4), 0);
    std::int32_t values[3];
    std::memcpy(values, bytes + 192, sizeof values);
    EXPECT_EQ(values[0], 2);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(record.codeText, texts.codeText);
    EXPECT_EQ(record.modelName, texts.modelName);
    EXPECT_TRUE(sink.log.empty());
}

struct WaitBound {
    std::int32_t stored;
    std::uint32_t used;
};

class BoundedWaits : public testing::TestWithParam<WaitBound> {};

TEST_P(BoundedWaits, HandEditedWaitsNeitherSpinNorStall)
{
    EXPECT_EQ(BoundedWait(GetParam().stored), GetParam().used) << "stored " << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Values, BoundedWaits,
                         testing::Values(WaitBound{300, 300}, WaitBound{50, 50}, WaitBound{0, 10}, WaitBound{-1, 10},
                                         WaitBound{-2147483647 - 1, 10}, WaitBound{5000, 5000},
                                         WaitBound{2147483647, 10000}));

TEST(KeyDispatcher, ZeroWaitsStillLeaveTimeBetweenWakeUps)
{
    KeyTiming timing{BoundedWait(0), BoundedWait(0), BoundedWait(-5)};
    Drive drive(timing);
    std::vector<Delivery> log = drive.Run({{0, 0x1A}});
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), (Delivery{10, "show release"})) << "released one bounded wake-up after the code";
    EXPECT_LE(log.size(), 6u) << "a handful of messages, not a spin";
}

}  // namespace
