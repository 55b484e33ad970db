#include "plugin/config/CodeText.h"
#include "plugin/config/KeyMap.h"
#include "plugin/config/KeyMapFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

struct CodeTextCase {
    std::uint64_t code;
    int digits;
    const char* text;
};

class CodeTexts : public testing::TestWithParam<CodeTextCase> {};

TEST_P(CodeTexts, AreUpperCaseHexPaddedToTheDigitCount)
{
    char text[kCodeTextMaxDigits + 1];
    FormatCodeText(GetParam().code, GetParam().digits, text);
    EXPECT_STREQ(text, GetParam().text) << "code " << GetParam().code << " with " << GetParam().digits << " digits";
}

INSTANTIATE_TEST_SUITE_P(Values, CodeTexts,
                         testing::Values(CodeTextCase{0, 8, "00000000"}, CodeTextCase{26, 8, "0000001A"},
                                         CodeTextCase{254, 8, "000000FE"}, CodeTextCase{26, 7, "000001A"},
                                         CodeTextCase{0x123456789ABCDEF0, 8, "123456789ABCDEF0"},
                                         CodeTextCase{~std::uint64_t{0}, 8, "FFFFFFFFFFFFFFFF"},
                                         CodeTextCase{5, 40, "0000000000000005"}, CodeTextCase{5, 0, "5"}));

KeyMap MakeKeyMap(std::initializer_list<const char*> lines)
{
    KeyMap keyMap;
    for (const char* line : lines)
        keyMap.AddLine(line);
    return keyMap;
}

TEST(KeyMapLookup, MatchesTheWholeNameIgnoringCase)
{
    KeyMap keyMap = MakeKeyMap({"1A=Short", "0000001a=Power", "0000001A=Second"});
    EXPECT_EQ(keyMap.IndexOfName("0000001A"), 1) << "the first of equal names wins; 1A never matches";
    EXPECT_EQ(keyMap.IndexOfName("0000001B"), -1);
}

TEST(KeyMapLookup, LinesWithoutSeparatorNeverMatch)
{
    KeyMap keyMap = MakeKeyMap({"0000001A", "0000001A=Power"});
    EXPECT_EQ(keyMap.IndexOfName("0000001A"), 1);
}

TEST(KeyMapLookup, ClearForgetsEveryNameAndNewLinesCountFromTheStart)
{
    KeyMap keyMap = MakeKeyMap({"0000001A=Power", "=Nameless", "0000000B=VolumeUp"});
    EXPECT_EQ(keyMap.IndexOfName(""), 1) << "a line that starts with its separator has an empty name";
    keyMap.Clear();
    EXPECT_EQ(keyMap.IndexOfName("0000001A"), -1);
    EXPECT_EQ(keyMap.IndexOfName(""), -1);
    keyMap.AddLine("0000000b=Second");
    keyMap.AddLine("0000001A=Again");
    EXPECT_EQ(keyMap.IndexOfName("0000000B"), 0);
    EXPECT_EQ(keyMap.IndexOfName("0000001a"), 1);
}

TEST(KeyMapLookup, ValueIsEverythingAfterTheFirstSeparator)
{
    KeyMap keyMap = MakeKeyMap({"0000001A=A=B", "0000001B=", "NoSeparator"});
    EXPECT_EQ(ValueOfLine(keyMap, 0), "A=B");
    EXPECT_EQ(ValueOfLine(keyMap, 1), "");
    EXPECT_EQ(ValueOfLine(keyMap, 2), "");
    EXPECT_EQ(ValueOfLine(keyMap, -1), "") << "before the first line";
    EXPECT_EQ(ValueOfLine(keyMap, 3), "") << "past the last line";
    EXPECT_EQ(NameOfLine(keyMap, 0), "0000001A");
    EXPECT_EQ(NameOfLine(keyMap, 2), "");
}

struct SplitCase {
    const char* line;
    const char* name;
    const char* value;
    bool hasSeparator;
};

class LineSplits : public testing::TestWithParam<SplitCase> {};

TEST_P(LineSplits, AtTheFirstSeparatorOnly)
{
    NameValue parts = SplitNameValue(GetParam().line);
    EXPECT_EQ(parts.name, GetParam().name) << "line \"" << GetParam().line << '"';
    EXPECT_EQ(parts.value, GetParam().value) << "line \"" << GetParam().line << '"';
    EXPECT_EQ(parts.hasSeparator, GetParam().hasSeparator) << "line \"" << GetParam().line << '"';
}

INSTANTIATE_TEST_SUITE_P(Lines, LineSplits,
                         testing::Values(SplitCase{"0000001A=Power", "0000001A", "Power", true},
                                         SplitCase{"0000001A=A=B", "0000001A", "A=B", true},
                                         SplitCase{"=Nameless", "", "Nameless", true},
                                         SplitCase{"0000001A=", "0000001A", "", true}, SplitCase{"=", "", "", true},
                                         SplitCase{"NoSeparator", "", "", false}, SplitCase{"", "", "", false}));

struct RepeatRuleCase {
    const char* rule;
    RepeatVerdict verdict;
    KeyRepeat repeat;  // what the key gets; the settings' pace unless the verdict is kApplies
};

// Kind, first wait and period, in a form that a failure prints.
std::tuple<int, int, int> Fields(const KeyRepeat& repeat)
{
    return {static_cast<int>(repeat.kind), repeat.wait1, repeat.waitN};
}

class RepeatRules : public testing::TestWithParam<RepeatRuleCase> {};

TEST_P(RepeatRules, AreNoOrTwoNumbersWithinTheDialogsRanges)
{
    ParsedRepeat parsed = ParseRepeatRule(GetParam().rule);
    EXPECT_EQ(static_cast<int>(parsed.verdict), static_cast<int>(GetParam().verdict))
        << "rule \"" << GetParam().rule << '"';
    EXPECT_EQ(Fields(parsed.repeat), Fields(GetParam().repeat)) << "rule \"" << GetParam().rule << '"';
}

constexpr KeyRepeat kNever{KeyRepeat::Kind::kNever};
constexpr KeyRepeat kSettingsPace{};

INSTANTIATE_TEST_SUITE_P(
    Rules, RepeatRules,
    testing::Values(RepeatRuleCase{"no", RepeatVerdict::kApplies, kNever},
                    RepeatRuleCase{" NO ", RepeatVerdict::kApplies, kNever},
                    RepeatRuleCase{"200,60", RepeatVerdict::kApplies, {KeyRepeat::Kind::kOwnPace, 200, 60}},
                    RepeatRuleCase{" 200 , 60 ", RepeatVerdict::kApplies, {KeyRepeat::Kind::kOwnPace, 200, 60}},
                    RepeatRuleCase{"50,1000", RepeatVerdict::kApplies, {KeyRepeat::Kind::kOwnPace, 50, 1000}},
                    RepeatRuleCase{"1000,50", RepeatVerdict::kApplies, {KeyRepeat::Kind::kOwnPace, 1000, 50}},
                    RepeatRuleCase{"49,60", RepeatVerdict::kOutOfRange, kSettingsPace},
                    RepeatRuleCase{"200,1001", RepeatVerdict::kOutOfRange, kSettingsPace},
                    RepeatRuleCase{"-200,60", RepeatVerdict::kOutOfRange, kSettingsPace},
                    RepeatRuleCase{"200,99999999999999999999", RepeatVerdict::kOutOfRange, kSettingsPace},
                    RepeatRuleCase{"", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"yes", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"nope", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"200", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"200 60", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"200,", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{",60", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"200,60,10", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"0x10,60", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"2e2,60", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"+200,60", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace},
                    RepeatRuleCase{"200ms,60ms", RepeatVerdict::kNotNoOrTwoNumbers, kSettingsPace}));

}  // namespace
