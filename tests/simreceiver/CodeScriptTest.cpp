// The simulated receiver's code scripts: what a script line means, and how
// the player hands reports to polls, on elapsed milliseconds.

#include "simreceiver/CodeScript.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct Report {
    std::uint32_t atMs;
    int code;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& report)
{
    return out << report.code << "@" << report.atMs;
}

std::vector<Report> ReportsOf(const CodeScript& script)
{
    std::vector<Report> reports;
    for (const ScriptReport& report : script.reports)
        reports.push_back({report.atMs, report.code});
    return reports;
}

CodeScript Parsed(const char* text)
{
    ScriptParse parse = ParseCodeScript(text);
    EXPECT_TRUE(parse.script) << "bad line " << parse.badLine << " in:\n" << text;
    return parse.script.value_or(CodeScript{});
}

TEST(CodeScriptParse, HoldReportsEveryPeriodAndStepsFollowEachOther)
{
    CodeScript script = Parsed("# a session\n"
                               "tap 1a\n"
                               "  pause 100   # between buttons\r\n"
                               "\n"
                               "hold 0B 130\n"
                               "hold 0 0\n"
                               "tap FE");
    EXPECT_EQ(ReportsOf(script), (std::vector<Report>{{0, 0x1A}, {140, 0x0B}, {180, 0x0B}, {220, 0x0B}, {260, 0x0B},
                                                      {270, 0xFE}}));
    EXPECT_EQ(script.lengthMs, 310u);
}

struct HoldCase {
    const char* line;
    std::vector<std::uint32_t> reportTimes;
    std::uint32_t lengthMs;
};

class HoldSpacing : public testing::TestWithParam<HoldCase> {};

TEST_P(HoldSpacing, ReportsAtItsSpacingForItsLength)
{
    CodeScript script = Parsed(GetParam().line);
    std::vector<Report> expected;
    for (std::uint32_t at : GetParam().reportTimes)
        expected.push_back({at, 0x0B});
    EXPECT_EQ(ReportsOf(script), expected) << GetParam().line;
    EXPECT_EQ(script.lengthMs, GetParam().lengthMs) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, HoldSpacing,
    testing::Values(HoldCase{"hold 0B 900 240", {0, 240, 480, 720}, 900},
                    HoldCase{"hold 0B 120", {0, 40, 80}, 120},
                    HoldCase{"hold 0B 120 40", {0, 40, 80}, 120},
                    HoldCase{"hold 0B 5 1", {0, 1, 2, 3, 4}, 5},
                    HoldCase{"hold 0B 240 240", {0}, 240},
                    HoldCase{"hold 0B 50 500", {0}, 50},
                    HoldCase{"hold 0B 0 100", {}, 0}));

struct BadScript {
    const char* text;
    int badLine;
};

class BadScripts : public testing::TestWithParam<BadScript> {};

TEST_P(BadScripts, NameTheirFirstBadLine)
{
    ScriptParse parse = ParseCodeScript(GetParam().text);
    EXPECT_FALSE(parse.script);
    EXPECT_EQ(parse.badLine, GetParam().badLine) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScripts,
    testing::Values(BadScript{"press 1A", 1}, BadScript{"tap 1A\ntap", 2}, BadScript{"tap FF", 1},
                    BadScript{"tap 100", 1}, BadScript{"tap 0x1A", 1}, BadScript{"tap 1G", 1},
                    BadScript{"tap 1A 40", 1}, BadScript{"hold 1A", 1}, BadScript{"hold 1A -5", 1},
                    BadScript{"hold 1A 3600001", 1}, BadScript{"pause 1A", 1}, BadScript{"pause 99999999999", 1},
                    BadScript{"pause 10 20", 1}, BadScript{"tap 1A\n\nhold\n", 3},
                    // A hold's spacing: a positive number of milliseconds, nothing after it.
                    BadScript{"hold 1A 900 0", 1}, BadScript{"hold 1A 900 -40", 1}, BadScript{"hold 1A 900 4x", 1},
                    BadScript{"hold 1A 900 40 40", 1}, BadScript{"tap 1A\nhold 1A 900 0x28", 2},
                    // Steps of an hour each, up to a day in all.
                    BadScript{"pause 3600000\npause 3600000\npause 3600000\npause 3600000\npause 3600000\n"
                              "pause 3600000\npause 3600000\npause 3600000\npause 3600000\npause 3600000\n"
                              "pause 3600000\npause 3600000\npause 3600000\npause 3600000\npause 3600000\n"
                              "pause 3600000\npause 3600000\npause 3600000\npause 3600000\npause 3600000\n"
                              "pause 3600000\npause 3600000\npause 3600000\npause 3600000\npause 1",
                              25}));

// Polls at the given times; a missing report shows as -1.
std::vector<int> Poll(ScriptPlayer& player, std::vector<std::uint64_t> times)
{
    std::vector<int> seen;
    for (std::uint64_t now : times) {
        std::optional<std::uint8_t> report = player.Take(now);
        seen.push_back(report ? *report : -1);
    }
    return seen;
}

TEST(ScriptPlayer, StartsAtTheFirstPollAndHandsOutEachReportOnce)
{
    ScriptPlayer player;
    player.Play(Parsed("tap 01\npause 60\nhold 02 80"), false);
    EXPECT_EQ(Poll(player, {5000, 5010, 5099, 5100, 5139, 5140, 5141}), (std::vector<int>{1, -1, -1, 2, -1, 2, -1}));
}

TEST(ScriptPlayer, PollThatMissedSeveralReportsSeesTheNewest)
{
    ScriptPlayer player;
    player.Play(Parsed("tap 01\ntap 02\ntap 03\npause 500"), false);
    EXPECT_EQ(Poll(player, {0, 100, 200}), (std::vector<int>{1, 3, -1}));
}

TEST(ScriptPlayer, PlaysUntilItsLengthHasPassedPausesIncluded)
{
    ScriptPlayer player;
    player.Play(Parsed("tap 01\npause 500"), false);
    EXPECT_TRUE(player.Playing(0)) << "not started yet";
    player.Take(1000);
    EXPECT_TRUE(player.Playing(1539));
    EXPECT_FALSE(player.Playing(1540));

    player.Play(Parsed("# nothing to play"), false);
    EXPECT_FALSE(player.Playing(0));
    EXPECT_EQ(player.Take(0), std::nullopt);
}

TEST(ScriptPlayer, LoopStartsOverAndSkipsRoundsThatAPollMissed)
{
    ScriptPlayer player;
    player.Play(Parsed("tap 01\npause 60\ntap 02\npause 60"), true);  // 200 ms a round
    EXPECT_EQ(Poll(player, {0, 100, 200, 300, 1050, 1100}), (std::vector<int>{1, 2, 1, 2, 1, 2}));
    EXPECT_TRUE(player.Playing(1'000'000));

    player.Stop();
    EXPECT_FALSE(player.Playing(1100));
    EXPECT_EQ(player.Take(1300), std::nullopt);
}

}  // namespace
