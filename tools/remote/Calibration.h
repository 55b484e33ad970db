#pragma once
// What calibrate makes of a remote: the receiver's own report spacing while a
// button is held, how long a tap lasts, what the plug-in's timings do with
// that, and timings that fit. Pure functions on report times in
// milliseconds, so the rules are tested without a receiver or a clock.
//
// The plug-in's rules behind the diagnoses (core/KeyDispatcher.h): a key is
// down from its first code until WaitR has passed without one, and its first
// repeat comes Wait1 after the press. The plug-in sees a report only at its
// next poll, so every time it measures may be late by up to one Interval.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct Timings {
    std::int32_t interval;
    std::int32_t wait1;
    std::int32_t waitN;
    std::int32_t waitR;
};

struct HeldSpacing {
    std::size_t reports = 0;
    double meanMs = 0;
    std::uint32_t p99Ms = 0;
    std::uint32_t largestMs = 0;
};

struct Tap {
    std::size_t reports;
    std::uint32_t durationMs;  // from its first report to its last
};

struct Calibration {
    HeldSpacing held;
    std::vector<Tap> taps;
    std::vector<std::string> diagnoses;  // empty when the current timings fit
    Timings suggested;
    bool suggestionFits;  // false when even the dialog's longest waits do not fit
};

// The gaps between reports while held; report times in order. Needs two
// reports for any figure.
HeldSpacing MeasureHeld(const std::vector<std::uint64_t>& reportMs);

// Reports further apart than this belong to different taps: well past any
// gap of a held button, and never so short that a slow tap splits in two.
std::uint32_t TapSeparationMs(const HeldSpacing& held);

// Groups report times (in order) into taps.
std::vector<Tap> SplitTaps(const std::vector<std::uint64_t>& reportMs, std::uint32_t separationMs);

Calibration Calibrate(const std::vector<std::uint64_t>& heldMs, const std::vector<std::uint64_t>& tapMs,
                      const Timings& current);

// The figures and the diagnoses, as calibrate prints them.
void PrintCalibration(const Calibration& calibration, const Timings& current, std::ostream& out);
