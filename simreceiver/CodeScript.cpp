#include "simreceiver/CodeScript.h"

#include <charconv>
#include <string>

namespace {

std::string_view NextWord(std::string_view& line)
{
    std::size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) {
        line = {};
        return {};
    }
    std::size_t end = line.find_first_of(" \t\r", begin);
    std::string_view word = line.substr(begin, end - begin);
    line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
    return word;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view word, int base)
{
    Number value{};
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (word.empty() || error != std::errc{} || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

// 255 is the receiver's "no code", so a script cannot report it.
std::optional<std::uint8_t> ParseCode(std::string_view word)
{
    auto code = word.size() <= 2 ? ParseNumber<unsigned>(word, 16) : std::nullopt;
    if (!code || *code >= 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(*code);
}

std::optional<std::uint32_t> ParseDuration(std::string_view word)
{
    auto ms = ParseNumber<std::uint32_t>(word, 10);
    if (!ms || *ms > kMaxStepMs)
        return std::nullopt;
    return ms;
}

// A spacing of 0 would report forever within one step.
std::optional<std::uint32_t> ParseSpacing(std::string_view word)
{
    if (word.empty())
        return kReportPeriodMs;
    auto ms = ParseDuration(word);
    if (!ms || *ms == 0)
        return std::nullopt;
    return ms;
}

// Adds one step to the script; false when the line is not a step.
bool AddStep(std::string_view line, CodeScript& script)
{
    std::string_view verb = NextWord(line);
    if (verb.empty())
        return true;
    std::optional<std::uint8_t> code;
    std::optional<std::uint32_t> ms;
    std::optional<std::uint32_t> spacing = kReportPeriodMs;
    if (verb == "tap") {
        code = ParseCode(NextWord(line));
        ms = kReportPeriodMs;
    } else if (verb == "hold") {
        code = ParseCode(NextWord(line));
        ms = ParseDuration(NextWord(line));
        spacing = ParseSpacing(NextWord(line));
    } else if (verb == "pause") {
        ms = ParseDuration(NextWord(line));
    } else {
        return false;
    }
    bool pressesButton = verb != "pause";
    if (!ms || !spacing || (pressesButton && !code) || !NextWord(line).empty() || script.lengthMs + *ms > kMaxScriptMs)
        return false;

    for (std::uint32_t at = 0; pressesButton && at < *ms; at += *spacing)
        script.reports.push_back({script.lengthMs + at, *code});
    script.lengthMs += *ms;
    return true;
}

}  // namespace

ScriptParse ParseCodeScript(std::string_view text)
{
    CodeScript script;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        line = line.substr(0, line.find('#'));
        if (!AddStep(line, script))
            return {std::nullopt, lineNumber};
    }
    return {std::move(script), 0};
}

void ScriptPlayer::Play(CodeScript script, bool loop)
{
    script_ = std::move(script);
    loop_ = loop && script_.lengthMs > 0;
    started_ = false;
    next_ = 0;
}

void ScriptPlayer::Stop()
{
    Play({}, false);
}

bool ScriptPlayer::Playing(std::uint64_t nowMs) const
{
    if (script_.lengthMs == 0)
        return false;
    return !started_ || loop_ || nowMs < startMs_ + script_.lengthMs;
}

std::optional<std::uint8_t> ScriptPlayer::Take(std::uint64_t nowMs)
{
    if (script_.reports.empty())
        return std::nullopt;
    if (!started_) {
        started_ = true;
        startMs_ = nowMs;
    }
    std::optional<std::uint8_t> newest;
    for (;;) {
        while (next_ < script_.reports.size() && startMs_ + script_.reports[next_].atMs <= nowMs)
            newest = script_.reports[next_++].code;
        if (!loop_ || next_ < script_.reports.size() || startMs_ + script_.lengthMs > nowMs)
            break;
        // A poll late by several rounds skips them rather than replaying each.
        startMs_ += (nowMs - startMs_) / script_.lengthMs * script_.lengthMs;
        next_ = 0;
    }
    return newest;
}
