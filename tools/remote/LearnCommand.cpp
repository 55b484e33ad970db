// PelcatoRemote learn FILE [--model NAME]
//
// Learns a remote button by button into a key map: each button is told from
// the next by the plug-in's own key rules, run on the receiver at the
// plug-in's pace, so that a held button, which reports its code again and
// again, is one button, just as the host would see one press. The key map is
// written whole after every name, so that whatever ends the program, the
// buttons learnt so far are in it.

#include "tools/remote/LearnCommand.h"

#include "tools/remote/CommandLine.h"
#include "tools/remote/Commands.h"
#include "tools/remote/ConsoleStop.h"
#include "tools/remote/IniLines.h"
#include "tools/remote/KeyMapCheck.h"
#include "tools/remote/KeyMapText.h"
#include "tools/remote/ReceiverSession.h"
#include "tools/remote/ReceiverWatch.h"
#include "tools/remote/WholeFile.h"

#include "common/win/AnsiText.h"
#include "common/win/ErrorText.h"
#include "common/win/FileKind.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/config/TextCase.h"

#include <algorithm>
#include <iterator>
#include <ostream>
#include <set>
#include <string_view>
#include <vector>

namespace {

constexpr char kUsageText[] =
    "Usage: PelcatoRemote learn FILE [--model NAME]\n"
    "Asks for the remote's buttons one by one and writes their names into the key map\n"
    "FILE (a .cfg file; in the plug-in's folder when FILE names no folder).\n";

constexpr wchar_t kKeyMapExtension[] = L".cfg";

// The folder of a file's path, with its trailing separator.
std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// The key names that the folder's other key maps give, each with its codes:
// names that the host already understands.
class OtherKeyMaps {
public:
    OtherKeyMaps(const std::wstring& folder, const std::wstring& ownName)
    {
        for (const KeyMapFile& file : ListKeyMapFiles(folder, L"").files) {
            if (SameFileName(file.fileName, ownName) || !win::IsFile(folder + file.fileName))
                continue;
            maps_.emplace_back();
            ModelNameList modelNames;
            LoadKeyMapFile(folder + file.fileName, maps_.back(), modelNames);
        }
    }

    // The names the other key maps give code, each once.
    std::vector<std::string> NamesOf(std::string_view codeText) const
    {
        std::vector<std::string> names;
        for (const KeyMap& map : maps_) {
            std::string name(ValueOfLine(map, map.IndexOfName(codeText)));
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
        return names;
    }

    // Every name they give, sorted.
    std::set<std::string> AllNames() const
    {
        std::set<std::string> names;
        for (const KeyMap& map : maps_) {
            for (int i = 0; i < map.Count(); ++i) {
                if (std::string_view name = ValueOfLine(map, i); !name.empty())
                    names.emplace(name);
            }
        }
        return names;
    }

private:
    std::vector<KeyMap> maps_;
};

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The dispatch loop's clock while learning: what the key rules decide, and
// what the user types, move learning on from one question to the next. A
// press asks for the button's name; the next button is asked for once that
// button is released, so that a held button counts once.
class LearnClock final : public PollingClock {
public:
    LearnClock(const PollFunction& poll, const PluginSettings& settings, const LearnRequest& request,
               KeyRules& rules, KeyMapText& text, LineInput& input, std::ostream& out)
        : PollingClock(poll, settings.interval, WatchLimits{std::nullopt, request.stopEvent}, rules),
          request_(request), rules_(rules), text_(text), input_(input), out_(out),
          folder_(FolderOf(request.path)),
          others_(folder_, request.path.substr(folder_.size()))
    {
        ReadOwnKeyMap();
    }

    int Learnt() const { return learnt_; }
    bool Failed() const { return failed_; }

    void AskForButton()
    {
        step_ = Step::kButton;
        out_ << "\nPress a button, or Enter to finish: ";
        out_.flush();
        input_.Asked();
    }

private:
    enum class Step { kButton, kName, kRelease };

    void PassDecided(const std::optional<Arrival>&, std::uint64_t) override
    {
        for (const PredictedMessage& message : rules_.sink.Take(0)) {
            if (message.param == kPressParam) {
                keyDown_ = true;
                if (step_ == Step::kButton)
                    AskForName(message.codeText);
            } else if (message.param == kReleaseParam) {
                keyDown_ = false;
                if (step_ == Step::kRelease)
                    AskForButton();
            }
        }
    }

    // Lines typed while a held button is still down wait for the next
    // question.
    HANDLE InputEvent() const override { return step_ == Step::kRelease ? nullptr : input_.Ready(); }

    bool InputSet() override
    {
        std::optional<std::string> line = input_.TakeLine();
        if (!line)
            return false;
        if (step_ == Step::kName)
            return TakeName(*line);
        if (line->empty())
            return false;
        out_ << "Press a button on the remote, or only Enter to finish: ";
        out_.flush();
        input_.Asked();
        return true;
    }

    void AskForName(const std::string& codeText)
    {
        step_ = Step::kName;
        code_ = codeText;
        out_ << "\nCode " << code_;
        if (int line = ownMap_.IndexOfName(code_); line >= 0)
            out_ << ", now " << ValueOfLine(ownMap_, line);
        if (std::vector<std::string> names = others_.NamesOf(code_); !names.empty())
            out_ << "; other key maps name it " << Joined(names);
        out_ << ".\n";
        AskAgain();
    }

    void AskAgain()
    {
        out_ << "Key name (Enter to skip, ? for the names other key maps use): ";
        out_.flush();
        input_.Asked();
    }

    bool TakeName(const std::string& name)
    {
        if (name == "?") {
            std::set<std::string> names = others_.AllNames();
            if (names.empty())
                out_ << "No other key map in this folder names a key.\n";
            else
                out_ << "The other key maps use " << Joined(std::vector<std::string>(names.begin(), names.end())) << ".\n";
            AskAgain();
            return true;
        }
        if (name.empty()) {
            out_ << "Skipped.\n";
        } else if (std::string problem = NameProblem(name, kKeyNameLimit); !problem.empty()) {
            out_ << "The name " << problem << ".\n";
            AskAgain();
            return true;
        } else {
            text_.SetKey(code_, name);
            if (!ReplaceWhole(request_.path, text_.Text(), "What was learnt", out_)) {
                failed_ = true;
                return false;
            }
            ReadOwnKeyMap();
            ++learnt_;
            out_ << "Saved " << code_ << "=" << name << ".\n";
        }
        step_ = Step::kRelease;
        if (!keyDown_)
            AskForButton();
        return true;
    }

    // The names as the plug-in reads them from the file.
    void ReadOwnKeyMap()
    {
        ModelNameList modelNames;
        LoadKeyMapFile(request_.path, ownMap_, modelNames);
    }

    const LearnRequest& request_;
    KeyRules& rules_;
    KeyMapText& text_;
    LineInput& input_;
    std::ostream& out_;
    const std::wstring folder_;
    const OtherKeyMaps others_;
    KeyMap ownMap_;
    Step step_ = Step::kButton;
    bool keyDown_ = false;
    std::string code_;
    int learnt_ = 0;
    bool failed_ = false;
};

// One line of input, or none when the input ends or stop is set first.
std::optional<std::string> AnswerOf(LineInput& input, HANDLE stop)
{
    input.Asked();
    const HANDLE events[] = {stop, input.Ready()};
    if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
        return std::nullopt;
    return input.TakeLine();
}

// The model name of a key map that has none yet: asked for until one is
// fit; none when the user gives up.
std::optional<std::string> AskForModelName(LineInput& input, HANDLE stop, std::ostream& out)
{
    for (;;) {
        out << "Model name (the setup dialog lists the remote by it): ";
        out.flush();
        std::optional<std::string> name = AnswerOf(input, stop);
        if (!name)
            return std::nullopt;
        std::string problem = NameProblem(*name, kModelNameLimit);
        if (problem.empty())
            return name;
        out << "The name " << problem << ".\n";
    }
}

// What check finds in the learnt key map, and how to make it the active one.
int Conclude(const std::wstring& path, int learnt, std::ostream& out)
{
    const std::wstring folder = FolderOf(path);
    const std::string fileName = Printable(path.substr(folder.size()));
    out << "\nLearnt " << learnt << (learnt == 1 ? " button" : " buttons") << " into " << Printable(path) << ".\n";
    std::size_t found = 0;
    for (const Finding& finding : CheckKeyMapFolder(folder, FindPluginFiles(folder).settingsFile)) {
        if (EqualIgnoringCase(finding.file, fileName)) {
            out << FormatFinding(finding) << "\n";
            ++found;
        }
    }
    if (found == 0)
        out << fileName << " works as written.\n";
    out << "To make it the active model, choose it under \"Model\" in the plug-in's setup dialog\n"
           "(the dialog lists the key maps in the plug-in's folder).\n";
    return found == 0 ? kExitOk : kExitFindings;
}

}  // namespace

int LearnKeys(const PollFunction& poll, const PluginSettings& settings, const LearnRequest& request, LineInput& input,
              std::ostream& out)
{
    // Tried before anything is asked: a folder that only an administrator
    // may write, or a key map marked read-only, must not cost the user a
    // session of buttons, and what is learnt goes into the file named or
    // nowhere. Opening the key map for writing leaves it as it was.
    const bool exists = win::IsFile(request.path);
    if (!CanWrite(request.path + kPartSuffix) || (exists && !CanWrite(request.path))) {
        const DWORD error = ::GetLastError();
        out << "Cannot write " << Printable(request.path) << ": " << win::WideToAnsi(win::ErrorText(error)) << "\n"
            << "Under Program Files only an administrator may write: run the command prompt as administrator,\n"
               "or name a key map that is not marked read-only, in a folder you may write to.\n";
        return kExitCannot;
    }
    KeyMapText text(exists ? ReadIniText(request.path) : std::string());
    out << "Key map: " << Printable(request.path) << (exists ? "" : " (a new one)") << "\n";
    if (request.model) {
        text.SetModelName(*request.model);
    } else if (!exists) {
        std::optional<std::string> model = AskForModelName(input, request.stopEvent, out);
        if (!model) {
            out << "\nNothing learnt; no key map was written.\n";
            return kExitOk;
        }
        text.SetModelName(*model);
    }

    // With no names, every code is a key of its own: two codes that some key
    // map gives one name must still be two buttons here.
    KeyRules rules(settings, {nullptr, nullptr, settings.codeTextDigits});
    LearnClock clock(poll, settings, request, rules, text, input, out);
    clock.AskForButton();
    rules.Run(clock);
    if (clock.Failed())
        return kExitCannot;
    if (clock.Learnt() == 0) {
        out << "\nNothing learnt; " << Printable(request.path) << (exists ? " is as it was.\n" : " was not written.\n");
        return kExitOk;
    }
    return Conclude(request.path, clock.Learnt(), out);
}

namespace {

struct LearnArguments {
    std::wstring file;
    std::optional<std::string> model;
};

bool EndsWithKeyMapExtension(const std::wstring& file)
{
    constexpr std::size_t kLength = std::size(kKeyMapExtension) - 1;
    return file.size() > kLength && SameFileName(std::wstring_view(file).substr(file.size() - kLength), kKeyMapExtension);
}

std::optional<LearnArguments> ParseArguments(const Arguments& arguments)
{
    LearnArguments parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::wstring_view argument = arguments[i];
        if (argument == L"--model" && i + 1 < arguments.size() && !parsed.model)
            // A letter outside ASCII becomes a byte that NameProblem refuses,
            // as it refuses one typed at the console, rather than the "?" that
            // the code page gives a letter it lacks.
            parsed.model = AsciiText(arguments[++i], '\x80');
        else if (parsed.file.empty() && !argument.empty() && argument[0] != L'-')
            parsed.file = argument;
        else
            return std::nullopt;
    }
    if (!EndsWithKeyMapExtension(parsed.file))
        return std::nullopt;
    return parsed;
}

// A FILE without a folder lies in the plug-in's folder, where the setup
// dialog finds it; any other is taken as the command prompt gives it.
std::wstring KeyMapPath(const std::wstring& file)
{
    if (file.find_first_of(L"\\/:") == std::wstring::npos)
        return ToolFolder() + file;
    wchar_t full[MAX_PATH] = {};
    DWORD length = ::GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full, length) : file;
}

}  // namespace

int RunLearn(const Arguments& arguments, std::ostream& out)
{
    std::optional<LearnArguments> parsed = ParseArguments(arguments);
    if (!parsed) {
        out << kUsageText;
        return kExitCannot;
    }
    if (std::string problem = parsed->model ? NameProblem(*parsed->model, kModelNameLimit) : ""; !problem.empty()) {
        out << "The model name " << problem << ".\n";
        return kExitCannot;
    }
    // stop outlives the last write: a close of the console waits for it.
    ConsoleStop stop;
    HandleLines input(::GetStdHandle(STD_INPUT_HANDLE));
    if (!stop || !input) {
        out << "Cannot watch for Ctrl+C and the keyboard at once. Run the command again.\n";
        return kExitCannot;
    }
    ReceiverSession session;
    if (std::optional<PluginReceiver> receiver = OpenPluginReceiver(session, out)) {
        out << "Device " << receiver->device.index << ". Ctrl+C ends; every name is saved as you give it.\n";
        return LearnKeys([&session] { return session.Poll(); }, receiver->settings,
                         {KeyMapPath(parsed->file), parsed->model, stop.Event()}, input, out);
    }
    return kExitCannot;
}
