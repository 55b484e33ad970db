#include "plugin/core/KeyDispatcher.h"

#include "plugin/config/CodeText.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kUndefinedModel = "<undefined>";

bool Elapsed(std::uint32_t now, std::uint32_t since, std::uint32_t wait)
{
    return now - since >= wait;
}

// How long until wait has elapsed since since; 0 once it has.
std::uint32_t Remaining(std::uint32_t now, std::uint32_t since, std::uint32_t wait)
{
    return Elapsed(now, since, wait) ? 0 : wait - (now - since);
}

// Copies at most limit characters and zero-fills the rest up to limit, so the
// field never keeps a tail of a longer earlier text.
void CopyField(char* field, std::string_view text, std::size_t limit)
{
    std::size_t length = std::min({text.size(), text.find('\0'), limit});
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, limit - length);
}

// Compares a text with what a field holds after CopyField, so a name longer
// than its field still counts as the same key.
bool FieldHolds(const char* field, std::string_view text, std::size_t limit)
{
    text = text.substr(0, std::min(text.find('\0'), limit));
    return std::string_view(field, ::strnlen(field, limit)) == text;
}

}  // namespace

KeyNames LookUpKey(const KeyTable& table, std::string_view codeText)
{
    int line = table.keyMap ? table.keyMap->IndexOfName(codeText) : -1;
    if (line < 0)
        return {codeText, kUndefinedModel, -1};
    int model = table.keyMap->ModelIndex(line);
    bool known = table.modelNames && model >= 0 && model < static_cast<int>(table.modelNames->size());
    return {ValueOfLine(*table.keyMap, line), known ? std::string_view((*table.modelNames)[model]) : std::string_view{},
            line};
}

std::uint32_t BoundedWait(std::int32_t waitMs)
{
    return static_cast<std::uint32_t>(std::clamp(waitMs, kMinWaitMs, kMaxWaitMs));
}

KeyDispatcher::KeyDispatcher(RemoteEvent& record, KeyEventTexts& texts, KeySink& sink, const KeyTiming& timing)
    : record_(record),
      texts_(texts),
      sink_(sink),
      currentWait_(timing.wait1)
{
    std::memcpy(record_.extTag, "EXT", 4);
    record_.version = 2;
    record_.reserved196 = 0;
    record_.reserved200 = 0;
    record_.codeText = texts_.codeText;
    record_.modelName = texts_.modelName;
    texts_.modelName[kModelNameLimit] = '\0';
}

void KeyDispatcher::CodeArrived(std::uint64_t code, std::uint32_t now)
{
    currentCode_ = code;
    currentPressed_ = true;
    codeTick_ = now;
}

void KeyDispatcher::TimeOut(std::uint32_t now, const KeyTiming& timing)
{
    if (previousPressed_ && Elapsed(now, codeTick_, timing.waitR)) {
        currentPressed_ = false;
        codeTick_ = now;
    }
}

std::optional<std::uint32_t> KeyDispatcher::NextDeadline(std::uint32_t now, const KeyTiming& timing) const
{
    if (!previousPressed_)
        return std::nullopt;
    // The repeat keeps the wait it was given at the press or repeat before
    // it; the release looks at WaitR as it is now, as TimeOut does. A key
    // that never repeats waits only for its release.
    std::uint32_t release = Remaining(now, codeTick_, timing.waitR);
    if (currentRepeat_.kind == KeyRepeat::Kind::kNever)
        return now + release;
    return now + std::min(Remaining(now, sendTick_, currentWait_), release);
}

void KeyDispatcher::RunPass(std::uint32_t now, const KeyTiming& timing, const KeyTable& table)
{
    if (cutShort_)
        return;
    if (currentCode_ == previousCode_ && currentPressed_ == previousPressed_) {
        if (previousPressed_)
            SendRepeatWhenDue(now, timing);
        return;
    }

    if (previousPressed_ && !currentPressed_ && !Send(kReleaseParam))
        return;

    if (currentPressed_) {
        if (!previousPressed_)
            repeatCount_ = 0;
        if (!UpdateKeyReleasingOld(table))
            return;
        if (repeatCount_ == 0) {
            sendTick_ = now;
            currentWait_ = FirstRepeatWait(timing);
            Send(kPressParam);
        } else {
            SendRepeatWhenDue(now, timing);
        }
        sink_.ShowCode(currentCode_);
    } else {
        sink_.ShowRelease();
    }

    previousCode_ = currentCode_;
    previousPressed_ = currentPressed_;
}

bool KeyDispatcher::Send(std::int32_t param)
{
    cutShort_ = !sink_.SendKey(param);
    return !cutShort_;
}

// Writes the current code's texts into the record. When another key takes
// over from one that is down, the old key is released first, while the
// record and its code text still name it; false when that release was cut
// short, and the record still names the old key.
bool KeyDispatcher::UpdateKeyReleasingOld(const KeyTable& table)
{
    char codeText[kCodeTextSize] = {};
    FormatCodeText(currentCode_, table.codeTextDigits, codeText);
    KeyNames names = LookUpKey(table, codeText);

    // The texts are copied out of the key map before anything is sent: the
    // host handles the release while this pass still needs them.
    char newKeyName[kKeyNameSize];
    char newModelName[kModelNameSize];
    CopyField(newKeyName, names.keyName, kKeyNameLimit);
    newKeyName[kKeyNameLimit] = '\0';
    CopyField(newModelName, names.modelName, kModelNameLimit);
    newModelName[kModelNameLimit] = '\0';

    bool sameKey = names.line >= 0 && FieldHolds(record_.keyName, newKeyName, kKeyNameLimit) &&
                   FieldHolds(texts_.modelName, newModelName, kModelNameLimit);
    if (previousPressed_ && !sameKey) {
        if (!Send(kReleaseParam))
            return false;
        repeatCount_ = 0;
    }

    std::memcpy(texts_.codeText, codeText, sizeof codeText);
    CopyField(record_.keyName, newKeyName, kKeyNameLimit);
    CopyField(texts_.modelName, newModelName, kModelNameLimit);
    currentRepeat_ = names.line >= 0 ? table.keyMap->Repeat(names.line) : KeyRepeat{};
    return true;
}

void KeyDispatcher::SendRepeatWhenDue(std::uint32_t now, const KeyTiming& timing)
{
    if (currentRepeat_.kind == KeyRepeat::Kind::kNever || !Elapsed(now, sendTick_, currentWait_))
        return;
    ++repeatCount_;
    currentWait_ = RepeatPeriod(timing);
    sendTick_ = now;
    Send(repeatCount_);
}

std::uint32_t KeyDispatcher::FirstRepeatWait(const KeyTiming& timing) const
{
    return currentRepeat_.kind == KeyRepeat::Kind::kOwnPace ? BoundedWait(currentRepeat_.wait1) : timing.wait1;
}

std::uint32_t KeyDispatcher::RepeatPeriod(const KeyTiming& timing) const
{
    return currentRepeat_.kind == KeyRepeat::Kind::kOwnPace ? BoundedWait(currentRepeat_.waitN) : timing.waitN;
}
