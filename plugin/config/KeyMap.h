#pragma once
// The code-to-key table of the active key-map file: "code=key" lines in file
// order, each tied to an entry of the model-name list. Lookups compare the
// code part without regard to letter case and return the first match.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using ModelNameList = std::vector<std::string>;

// How a key repeats while it is held. Most keys follow the timings of the
// settings; a key map may take the repeats from a key (a host that acts on
// every repeat would switch off and on again on a held Power) or give it a
// pace of its own (a volume key that should move faster than a channel key).
// It is a plain value on its key-map line, so that the dispatcher reads it
// with the line it has found and no text is looked up per code.
struct KeyRepeat {
    enum class Kind : std::uint8_t { kSettings, kNever, kOwnPace };
    Kind kind = Kind::kSettings;
    std::int32_t wait1 = 0;  // kOwnPace: milliseconds from the press to the first repeat
    std::int32_t waitN = 0;  // kOwnPace: milliseconds between repeats

    bool operator==(const KeyRepeat&) const = default;
};

class KeyMap {
public:
    void Clear();
    void AddLine(std::string line, int modelIndex = 0);

    int Count() const { return static_cast<int>(lines_.size()); }
    std::string_view Line(int index) const { return lines_[index].text; }
    int ModelIndex(int index) const { return lines_[index].modelIndex; }
    const KeyRepeat& Repeat(int index) const { return lines_[index].repeat; }
    void SetRepeat(int index, const KeyRepeat& repeat) { lines_[index].repeat = repeat; }

    // Index of the first line whose name (the text before its first "=")
    // equals name, ignoring letter case; -1 when there is none. Lines
    // without "=" never match.
    int IndexOfName(std::string_view name) const;

private:
    struct Entry {
        std::string text;
        int modelIndex;
        KeyRepeat repeat;
    };
    // The dispatcher looks up every code on its own thread, where nothing may
    // allocate: the index is searched with the code text itself.
    struct FoldedHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept;
    };
    struct FoldedEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };

    std::vector<Entry> lines_;
    // Each name, upper-cased, to its first line: a key map can have hundreds
    // of thousands of lines, and the dialog looks up every one of them.
    std::unordered_map<std::string, int, FoldedHash, FoldedEqual> firstLineOfName_;
};

// A "name=value" line split at its first "=": the value is everything after
// it, further "=" included. A line without "=" has neither name nor value,
// which is how a key map reads it.
struct NameValue {
    std::string_view name;
    std::string_view value;
    bool hasSeparator = false;
};
NameValue SplitNameValue(std::string_view line);

// The text before the first "=" of line index; empty for a line without one.
std::string_view NameOfLine(const KeyMap& keyMap, int index);

// Everything after the first "=" of line index, further "=" included; empty
// when index is out of range or the line has no "=".
std::string_view ValueOfLine(const KeyMap& keyMap, int index);
