#include "tools/remote/KeyMapText.h"

#include "tools/remote/IniLines.h"

#include "plugin/config/TextCase.h"

namespace {

constexpr char kSetupSection[] = "Setup";
constexpr char kNameKey[] = "Name";
constexpr char kKeysSection[] = "Keys";

}  // namespace

KeyMapText::KeyMapText(std::string_view text)
{
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines_.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    // A file without a single CR LF keeps its bare line feeds.
    if (lines_.empty() || (!lines_.front().empty() && lines_.front().back() == '\r'))
        lineEnd_.push_back('\r');
}

std::string KeyMapText::Text() const
{
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        if (!lineEnd_.empty() && (line.empty() || line.back() != '\r'))
            text += lineEnd_;
        text += '\n';
    }
    return text;
}

void KeyMapText::SetModelName(std::string_view name)
{
    std::string line = std::string(kNameKey) + "=" + std::string(name);
    if (SetEntry(kSetupSection, kNameKey, line))
        return;
    std::vector<IniTextLine> scanned = ScanIniText(Text());
    int first = 0;
    while (first < static_cast<int>(scanned.size()) && scanned[first].kind != IniTextLine::kSection)
        ++first;
    if (first < static_cast<int>(scanned.size()))
        Insert(first, "");
    Insert(first, line);
    Insert(first, std::string("[") + kSetupSection + "]");
}

void KeyMapText::SetKey(std::string_view codeText, std::string_view keyName)
{
    std::string line = std::string(codeText) + "=" + std::string(keyName);
    if (SetEntry(kKeysSection, codeText, line))
        return;
    if (!lines_.empty() && !lines_.back().empty() && lines_.back() != "\r")
        Insert(static_cast<int>(lines_.size()), "");
    Insert(static_cast<int>(lines_.size()), std::string("[") + kKeysSection + "]");
    Insert(static_cast<int>(lines_.size()), line);
}

bool KeyMapText::SetEntry(std::string_view section, std::string_view name, std::string_view line)
{
    if (int entry = FindEntry(section, name); entry >= 0) {
        Replace(entry, line);
        return true;
    }
    if (int last = LastLineOf(section); last >= 0) {
        Insert(last + 1, line);
        return true;
    }
    return false;
}

int KeyMapText::FindEntry(std::string_view section, std::string_view name) const
{
    std::vector<IniTextLine> scanned = ScanIniText(Text());
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        if (scanned[i].kind == IniTextLine::kEntry && EqualIgnoringCase(scanned[i].section, section) &&
            EqualIgnoringCase(scanned[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

int KeyMapText::LastLineOf(std::string_view section) const
{
    std::vector<IniTextLine> scanned = ScanIniText(Text());
    int last = -1;
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        if (scanned[i].kind != IniTextLine::kOther && EqualIgnoringCase(scanned[i].section, section))
            last = static_cast<int>(i);
    }
    return last;
}

void KeyMapText::Insert(int index, std::string_view line)
{
    lines_.insert(lines_.begin() + index, std::string(line) + lineEnd_);
}

void KeyMapText::Replace(int index, std::string_view line)
{
    lines_[index] = std::string(line) + lineEnd_;
}
