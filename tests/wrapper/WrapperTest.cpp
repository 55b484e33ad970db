// pltremotewrap.dll through its import table, with the simulated receiver
// behind it, bound by the vendor's decorated names.

#include "simreceiver/SimControl.h"
#include "wrapper/CardType.h"
#include "wrapper/PltRemoteWrap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SimStats Stats()
{
    SimStats stats;
    SimGetStats(&stats);
    return stats;
}

class Wrapper : public testing::Test {
protected:
    void SetUp() override
    {
        RemoteRelease();
        SimReset();
    }
    void TearDown() override { RemoteRelease(); }
};

TEST_F(Wrapper, WithoutAnObjectEveryFunctionGivesItsFixedAnswer)
{
    unsigned char code = 7;
    EXPECT_EQ(GetCode(&code), 1);
    EXPECT_EQ(code, 255) << "no code";
    EXPECT_EQ(GetDeviceName(0), nullptr) << "no device";
    EXPECT_EQ(SelectDevice(0), 1);
    EXPECT_EQ(GetCardType(), 0) << "unknown card";
    SetChipTypeTM(1);
    EXPECT_EQ(Stats().getCodeCalls, 0) << "nothing reached the receiver";
    EXPECT_EQ(Stats().selectDeviceCalls, 0);

    RemoteCreate();
    SelectDevice(0);
    EXPECT_EQ(Stats().chipTypeAtSelect, 0) << "a chip type set without an object is not kept";
}

TEST_F(Wrapper, SecondCreateKeepsTheObjectAndItsFields)
{
    RemoteCreate();
    SetChipTypeTM(1);
    RemoteCreate();
    SelectDevice(0);
    EXPECT_EQ(Stats().constructed, 1);
    EXPECT_EQ(Stats().chipTypeAtSelect, 1);
}

TEST_F(Wrapper, ChipTypeIsStoredAsAWhole32BitValue)
{
    RemoteCreate();
    SetChipTypeTM(0x12345678);
    SelectDevice(0);
    EXPECT_EQ(Stats().chipTypeAtSelect, 0x12345678);
}

TEST_F(Wrapper, ReleaseIsSafeToRepeatAndCreateAfterItMakesAFreshObject)
{
    RemoteCreate();
    RemoteRelease();
    RemoteRelease();
    EXPECT_EQ(Stats().objectsAlive, 0);
    RemoteCreate();
    EXPECT_EQ(Stats().constructed, 2);
    EXPECT_EQ(Stats().objectsAlive, 1);
}

TEST_F(Wrapper, DevicesAreNumberedUntilTheFirstNullAndTheirNamesAreWritable)
{
    const char* names[] = {"First", "Second", "Third"};
    const long cardTypes[] = {1, 9, 0};
    SimSetDevices(names, cardTypes, 3);
    RemoteCreate();

    std::vector<std::string> listed;
    for (unsigned long i = 0; char* name = GetDeviceName(i); ++i) {
        listed.push_back(name);
        name[0] = 'X';  // the plug-in upper-cases names in place
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"First", "Second", "Third"}));

    EXPECT_EQ(SelectDevice(1), 0) << "the receiver's result";
    EXPECT_EQ(Stats().lastSelectedDevice, 1);
    EXPECT_EQ(GetCardType(), 9) << "the card type of the selected device";
    EXPECT_EQ(SelectDevice(7), 1) << "the receiver's result";
    EXPECT_EQ(Stats().lastSelectedDevice, 7) << "an index past the last device is passed on";
    EXPECT_EQ(Stats().selectDeviceCalls, 2);
}

TEST_F(Wrapper, CodesComeOutInOrderThenNone)
{
    RemoteCreate();
    const unsigned char pushed[] = {0x00, 0x1A, 0xFE};
    SimPushCodes(pushed, 3);
    for (unsigned char expected : pushed) {
        unsigned char code = 255;
        EXPECT_EQ(GetCode(&code), 0) << "the receiver's result for a code";
        EXPECT_EQ(code, expected);
    }
    unsigned char code = 255;
    EXPECT_EQ(GetCode(&code), 1) << "the receiver's result for no code";
    EXPECT_EQ(code, 255);
    EXPECT_EQ(Stats().getCodeCalls, 4) << "one receiver call per GetCode";
}

struct CardTypeCase {
    long value;
    const char* text;
};

class CardTypeTexts : public testing::TestWithParam<CardTypeCase> {};

TEST_P(CardTypeTexts, NameTheLowByteAsASignedNumber)
{
    EXPECT_STREQ(CardTypeText(GetParam().value), GetParam().text) << "card type " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, CardTypeTexts,
    testing::Values(CardTypeCase{1, "CardType CARD_878_CX"}, CardTypeCase{2, "CardType CARD_878_GT"},
                    CardTypeCase{3, "CardType CARD_7134"}, CardTypeCase{4, "CardType CARD_7135"},
                    CardTypeCase{5, "CardType CARD_DVD_IVAC"}, CardTypeCase{6, "CardType CARD_DVD_FALCON"},
                    CardTypeCase{7, "CardType CARD_DVD_RAPTOR"}, CardTypeCase{8, "CardType CARD_CXVASVID"},
                    CardTypeCase{9, "CardType CARD_713X_BDA"}, CardTypeCase{0, "CardType CARD_UNKNOWN"},
                    CardTypeCase{10, "CardType CARD_UNKNOWN"}, CardTypeCase{-1, "CardType CARD_UNKNOWN"},
                    CardTypeCase{0x80, "CardType CARD_UNKNOWN"}, CardTypeCase{257, "CardType CARD_878_CX"}));

}  // namespace
