#pragma once
// Turns what the receiver reported into a script for the simulated receiver
// (the format of simreceiver/CodeScript.h), so that a session recorded on
// the user's machine plays again without the hardware.
//
// Reports of one code that follow each other closely are one button held
// down and become a hold step at their mean spacing; a report on its own is
// a tap; the silence between buttons is a pause. The silence before the
// first report and after the last carries nothing the plug-in reacts to and
// is left out.

#include <cstdint>
#include <string>
#include <vector>

struct TimedReport {
    std::uint32_t atMs;  // since the recording began
    std::uint8_t code;
};

// A tap step lasts one report period of the simulated receiver.
constexpr std::uint32_t kTapLengthMs = 40;

// The longest gap between two reports of a button held down, when the
// receiver is polled every intervalMs: a poll may see no new report now and
// then, and the tick count is coarse, so a held button's gaps reach about two
// and a half intervals.
std::uint32_t MaxHoldGapMs(std::uint32_t intervalMs);

// The steps of the script, one a line, each ending with a newline. Reports
// are in time order; maxGapMs is the longest gap within one hold.
std::string ScriptFromReports(const std::vector<TimedReport>& reports, std::uint32_t maxGapMs);

// How many different codes the reports hold.
std::size_t CountButtons(const std::vector<TimedReport>& reports);
