#pragma once
// A timed script of receiver reports, as a person without the hardware plays
// buttons into the simulated receiver. One step per line; '#' starts a
// comment; codes are one or two hexadecimal digits:
//
//   tap 1A          one report of code 1A
//   hold 0B 900     code 0B reported every 40 ms for 900 ms, as a real
//                   receiver reports a button held down
//   hold 0B 900 240 code 0B reported every 240 ms for 900 ms: receivers
//                   differ in how often they repeat a held button
//   pause 600       no report for 600 ms
//
// The player works on elapsed milliseconds, so the rules are tested without
// a clock; the simulator feeds it real time.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// How often a receiver reports a button that stays down, unless a hold
// step gives its own spacing.
constexpr std::uint32_t kReportPeriodMs = 40;
// Bounds a hand-written script: an hour per step, a day in all.
constexpr std::uint32_t kMaxStepMs = 3'600'000;
constexpr std::uint32_t kMaxScriptMs = 24 * kMaxStepMs;

struct ScriptReport {
    std::uint32_t atMs;
    std::uint8_t code;
};

struct CodeScript {
    std::vector<ScriptReport> reports;  // in time order
    std::uint32_t lengthMs = 0;
};

struct ScriptParse {
    std::optional<CodeScript> script;
    int badLine = 0;  // 1-based; 0 when the script was read
};

ScriptParse ParseCodeScript(std::string_view text);

// Hands out reports as they fall due. Like the receiver's one-byte latch, a
// poll sees only the newest report since the previous poll.
class ScriptPlayer {
public:
    // The script starts at the next Take.
    void Play(CodeScript script, bool loop);
    void Stop();
    // True until the script has run its full length (pauses included), from
    // the first Take; a looping script plays on.
    bool Playing(std::uint64_t nowMs) const;
    std::optional<std::uint8_t> Take(std::uint64_t nowMs);

private:
    CodeScript script_;
    bool loop_ = false;
    bool started_ = false;
    std::uint64_t startMs_ = 0;
    std::size_t next_ = 0;
};
