// The plug-in's side of the receiver, against the simulated receiver behind
// the real wrapper: which device is picked, what the poll hands over, and
// that Stop never waits out a pause.

#include "plugin/core/PluginReceiver.h"
#include "plugin/core/PluginState.h"
#include "plugin/receiver/PacedPolls.h"

#include "simreceiver/SimControl.h"
#include "tests/support/TestHost.h"
#include "wrapper/PltRemoteWrap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 5000;

SimStats Stats()
{
    SimStats stats;
    SimGetStats(&stats);
    return stats;
}

void SetDevices(const std::vector<const char*>& names)
{
    SimSetDevices(names.data(), nullptr, static_cast<int>(names.size()));
}

class Receiver : public testing::Test {
protected:
    void SetUp() override
    {
        SimReset();
        plugin.settings.device = -1;
        plugin.settings.chipTypeTM = false;
        plugin.settings.interval = 10;
    }
    void TearDown() override
    {
        SimSetGetCodeHook(nullptr, nullptr);
        ReceiverStop();
        ReceiverClose();
        plugin.codeEvent.Close();
    }

    PluginState& plugin = ThePlugin();
};

struct DeviceCase {
    const char* what;
    std::vector<const char*> names;
    std::int32_t deviceBefore;  // -1 in the first open of the process
    std::int32_t expected;
};

class DeviceRules : public Receiver, public testing::WithParamInterface<DeviceCase> {};

TEST_P(DeviceRules, PickTheDeviceThatStartSelects)
{
    const DeviceCase& c = GetParam();
    SetDevices(c.names);
    plugin.settings.device = c.deviceBefore;

    ReceiverOpen();
    EXPECT_EQ(plugin.settings.device, c.expected) << c.what;
    EXPECT_EQ(plugin.devices->size(), c.names.size()) << c.what;

    ASSERT_TRUE(ReceiverStart());
    EXPECT_EQ(Stats().lastSelectedDevice, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceRules,
    testing::Values(DeviceCase{"no device at all", {}, -1, 0},
                    DeviceCase{"no name holds the word", {"Capture A", "Capture B"}, -1, 0},
                    DeviceCase{"the first of two named devices", {"A", "Pelcato 1", "B", "PELCATO 2"}, -1, 1},
                    DeviceCase{"the word in small letters", {"A", "B", "my pelcato card"}, -1, 2},
                    DeviceCase{"a device chosen before wins over the name", {"Pelcato", "B", "C"}, 2, 2},
                    DeviceCase{"a device past the last is passed on", {"Pelcato"}, 7, 7}));

TEST_F(Receiver, DeviceListKeepsTheNamesAsGivenWhileTheReceiversBuffersAreUpperCased)
{
    SetDevices({"Pelcato tv", "\xE4\xDF capture-1"});
    ReceiverOpen();

    EXPECT_EQ(*plugin.devices, (DeviceList{"Pelcato tv", "\xE4\xDF capture-1"}));
    EXPECT_STREQ(SimDeviceNameBuffer(0), "PELCATO TV");
    EXPECT_STREQ(SimDeviceNameBuffer(1), "\xE4\xDF CAPTURE-1") << "only a to z change";
}

TEST_F(Receiver, ChipTypeIsInPlaceBeforeTheDeviceIsSelected)
{
    plugin.settings.chipTypeTM = true;
    ReceiverOpen();
    ASSERT_TRUE(ReceiverStart());
    EXPECT_EQ(Stats().chipTypeAtSelect, 1);
}

// What the ReceiverThread handed over, as seen at the start of each poll.
struct HandOverLog {
    std::mutex mutex;
    std::vector<int> codes;
    PendingCode* slot;
};

TEST_F(Receiver, HandsOverEveryCodeButTheReceiversNoCode)
{
    plugin.codeEvent = win::Event::CreateManualReset();
    HandOverLog log{{}, {}, &plugin.pendingCode};
    SimSetGetCodeHook(
        [](void* context) {
            auto& log = *static_cast<HandOverLog*>(context);
            std::uint64_t code;
            if (TakeCode(*log.slot, code)) {
                std::lock_guard lock(log.mutex);
                log.codes.push_back(static_cast<int>(code));
            }
        },
        &log);
    ReceiverOpen();
    const unsigned char codes[] = {0x00, 0xFF, 0x00, 0x1A};
    SimPushCodes(codes, 4);
    ASSERT_TRUE(ReceiverStart());

    ASSERT_EQ(plugin.codeEvent.Wait(kPatienceMs), WAIT_OBJECT_0) << "a hand-over signals the CodeEvent";
    ASSERT_TRUE(WaitUntil([] { return SimPendingCodes() == 0; }, kPatienceMs));
    long lastCodeCall = Stats().getCodeCalls;
    ASSERT_TRUE(WaitUntil([&] { return Stats().getCodeCalls > lastCodeCall; }, kPatienceMs))
        << "the poll after the last code has looked at the slot";
    ReceiverStop();
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.codes, (std::vector<int>{0x00, 0x00, 0x1A})) << "code 0 twice, then 1A; never 255";
}

TEST_F(Receiver, StopCutsTheLongestPauseShort)
{
    plugin.settings.interval = INT_MAX;  // held at the longest pause the dialog offers
    ReceiverOpen();
    ASSERT_TRUE(ReceiverStart());
    ASSERT_TRUE(WaitUntil([] { return Stats().getCodeCalls > 0; }, kPatienceMs));
    ::Sleep(50);  // well inside the pause now

    auto before = std::chrono::steady_clock::now();
    ReceiverStop();
    auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::milliseconds(500)) << "a pause of " << kMaxIntervalMs << " ms is cut short";
    EXPECT_EQ(Stats().getCodeCalls, 1) << "the thread left without polling again";
}

TEST_F(Receiver, StopWithoutStartAndCloseWithoutOpenDoNothing)
{
    ReceiverStop();
    ReceiverStop();
    ReceiverClose();
    EXPECT_EQ(Stats().objectsAlive, 0);
    EXPECT_EQ(Stats().constructed, 0);

    ReceiverOpen();
    ASSERT_TRUE(ReceiverStart());
    ReceiverStop();
    ReceiverStop();
    ReceiverClose();
    EXPECT_EQ(Stats().objectsAlive, 0);
}

struct IntervalCase {
    std::int32_t stored;
    std::uint32_t used;
};

class IntervalBounds : public testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalBounds, HandEditedIntervalsNeitherSpinNorStall)
{
    EXPECT_EQ(BoundedInterval(GetParam().stored), GetParam().used) << "Interval=" << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Values, IntervalBounds,
                         testing::Values(IntervalCase{INT_MIN, 10}, IntervalCase{-1, 10}, IntervalCase{0, 10},
                                         IntervalCase{9, 10}, IntervalCase{10, 10}, IntervalCase{50, 50},
                                         IntervalCase{1000, 1000}, IntervalCase{1001, 1000},
                                         IntervalCase{INT_MAX, 1000}));

}  // namespace
