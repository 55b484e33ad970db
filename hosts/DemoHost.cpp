// A stand-in for the host application: loads Pelcato.dll from its own folder,
// gives it a window and a host record, starts it and prints one line per key
// message. Its buttons come from the simulated receiver beside the plug-in.
//
//   DemoHost            play a short session (a tap, a held button, one
//                       button taking over from another, an unmapped code)
//   DemoHost --keys     keys typed in this console become receiver codes
//   DemoHost --setup    open the setup dialog

#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "common/win/ModulePath.h"
#include "common/win/ProcAddress.h"
#include "plugin/core/HostLayout.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr UINT kKeyMessage = WM_USER + 1;
constexpr UINT kSessionDone = WM_APP + 1;
constexpr std::uint32_t kCoreVersion = 0x02070C00;  // core 2.7, release 12

struct SessionPart {
    const char* heading;
    const char* script;
};

// Every part ends with a pause longer than the release time, so each key's
// release shows before the next part begins.
constexpr SessionPart kSession[] = {
    {"a tap on 1A", "tap 1A\npause 600"},
    {"0B held for 900 ms", "hold 0B 900\npause 600"},
    {"0B held, then 0C takes over", "hold 0B 400\nhold 0C 400\npause 600"},
    {"FE, a code that no key map holds", "tap FE\npause 600"},
};

// How long one keystroke holds its button down: long enough to bridge the
// gaps between the console's own key repeats, short enough for a tap to end
// as one.
constexpr char kKeystrokeScript[] = "hold %02X 150";

using OpenFunction = const char*(WINAPI*)(const char*, HWND, const void*);
using VoidFunction = void(WINAPI*)();
using PlayScriptFunction = int (*)(const char*, int);
using ScriptPlayingFunction = int (*)();

struct Plugin {
    OpenFunction open;
    VoidFunction start, stop, setup, close;
};

struct SimulatedReceiver {
    PlayScriptFunction playScript;
    ScriptPlayingFunction scriptPlaying;
};

const auto startTime = std::chrono::steady_clock::now();

long long MillisecondsSinceStart()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - startTime).count();
}

// The record's fields that a host reads, by offset as a host reads them.
void PrintKeyMessage(const unsigned char* record, LPARAM param)
{
    const char* keyName = reinterpret_cast<const char*>(record + host_layout::kKeyNameOffset);
    const char* codeText;
    const char* modelName;
    std::memcpy(&codeText, record + host_layout::kCodeTextOffset, sizeof codeText);
    std::memcpy(&modelName, record + host_layout::kModelNameOffset, sizeof modelName);

    char what[32];
    if (param == 0)
        std::snprintf(what, sizeof what, "press");
    else if (param == -1)
        std::snprintf(what, sizeof what, "release");
    else
        std::snprintf(what, sizeof what, "repeat %ld", static_cast<long>(param));
    std::printf("%6lld ms  %-10s %-16s %-24s %s\n", MillisecondsSinceStart(), what, keyName, modelName, codeText);
    std::fflush(stdout);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kKeyMessage:
        PrintKeyMessage(reinterpret_cast<const unsigned char*>(wParam), lParam);
        return 0;
    case kSessionDone:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void PrintHeader()
{
    std::printf("%9s  %-10s %-16s %-24s %s\n", "time", "message", "key", "model", "code");
    std::fflush(stdout);
}

void PlaySession(SimulatedReceiver receiver, HWND window)
{
    for (const SessionPart& part : kSession) {
        std::printf("-- %s\n", part.heading);
        std::fflush(stdout);
        receiver.playScript(part.script, 0);
        while (receiver.scriptPlaying())
            ::Sleep(20);
    }
    ::PostMessageA(window, kSessionDone, 0, 0);
}

// The demo remote's buttons on the keyboard; any other key sends its
// character's value.
int CodeOfKey(const KEY_EVENT_RECORD& key)
{
    switch (key.wVirtualKeyCode) {
    case VK_UP: return 0x10;
    case VK_DOWN: return 0x11;
    case VK_LEFT: return 0x12;
    case VK_RIGHT: return 0x13;
    case VK_RETURN: return 0x14;
    case VK_BACK: return 0x15;
    }
    unsigned char character = static_cast<unsigned char>(key.uChar.AsciiChar);
    switch (character) {
    case '+': return 0x0B;
    case '-': return 0x0C;
    case 'm': return 0x0D;
    case 'p': return 0x1A;
    }
    if (character >= '0' && character <= '9')
        return character - '0';
    return character != 0 && character != 255 ? character : -1;
}

void ReadKeys(SimulatedReceiver receiver, HANDLE console, HWND window)
{
    INPUT_RECORD input;
    DWORD read = 0;
    while (::ReadConsoleInputA(console, &input, 1, &read) && read == 1) {
        if (input.EventType != KEY_EVENT || !input.Event.KeyEvent.bKeyDown)
            continue;
        const KEY_EVENT_RECORD& key = input.Event.KeyEvent;
        if (key.wVirtualKeyCode == VK_ESCAPE || key.uChar.AsciiChar == 'q')
            break;
        int code = CodeOfKey(key);
        if (code < 0)
            continue;
        char script[sizeof kKeystrokeScript];
        std::snprintf(script, sizeof script, kKeystrokeScript, code);
        receiver.playScript(script, 0);
    }
    ::PostMessageA(window, kSessionDone, 0, 0);
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "DemoHost: %s\n", message.c_str());
    return 1;
}

// Names the first of the plug-in's DLLs missing from folder; "" when all are there.
std::string MissingLibrary(const std::wstring& folder)
{
    for (const char* name : {"Pelcato.dll", "pltremotewrap.dll", "pltremote.dll"}) {
        if (::GetFileAttributesW((folder + win::AnsiToWide(name)).c_str()) == INVALID_FILE_ATTRIBUTES)
            return name;
    }
    return "";
}

void RunMessageLoop()
{
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

enum class Mode { Session, Keys, Setup };

}  // namespace

int main(int argc, char** argv)
{
    Mode mode = Mode::Session;
    if (argc > 1 && std::strcmp(argv[1], "--keys") == 0)
        mode = Mode::Keys;
    else if (argc > 1 && std::strcmp(argv[1], "--setup") == 0)
        mode = Mode::Setup;
    else if (argc > 1)
        return Fail(std::string("unknown option ") + argv[1] + "; use --keys, --setup or nothing");

    std::wstring folder = win::ModuleFolder();
    std::string shownFolder = win::WideToAnsi(folder);
    if (std::string missing = MissingLibrary(folder); !missing.empty())
        return Fail(missing + " is missing from " + shownFolder + "; the plug-in needs Pelcato.dll, " +
                    "pltremotewrap.dll and pltremote.dll beside this program");
    win::Module pluginLibrary(::LoadLibraryW((folder + L"Pelcato.dll").c_str()));
    if (!pluginLibrary)
        return Fail("cannot load " + shownFolder + "Pelcato.dll (error " + std::to_string(::GetLastError()) + ")");
    HMODULE library = pluginLibrary.Get();
    Plugin plugin{win::ProcAddress<OpenFunction>(library, "Open"), win::ProcAddress<VoidFunction>(library, "Start"),
                  win::ProcAddress<VoidFunction>(library, "Stop"), win::ProcAddress<VoidFunction>(library, "Setup"),
                  win::ProcAddress<VoidFunction>(library, "Close")};
    if (!plugin.open || !plugin.start || !plugin.stop || !plugin.setup || !plugin.close)
        return Fail("Pelcato.dll lacks one of the exports Open, Start, Stop, Setup, Close");

    HANDLE console = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD consoleMode = 0;
    if (mode == Mode::Keys && !::GetConsoleMode(console, &consoleMode))
        return Fail("--keys reads keys from a console, and the input is not one");

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PelcatoDemoHost";
    ::RegisterClassA(&windowClass);
    HWND window = ::CreateWindowA(windowClass.lpszClassName, "Pelcato demo host", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return Fail("cannot create the host window (is there a display?)");

    unsigned char hostInfo[64] = {};
    std::memcpy(hostInfo + host_layout::kCoreVersionOffset, &kCoreVersion, sizeof kCoreVersion);
    std::printf("Open: \"%s\"\n", plugin.open("DEMO", window, hostInfo));

    // The plug-in loads its wrapper, and the wrapper the receiver library,
    // when it is opened.
    HMODULE receiverLibrary = ::GetModuleHandleA("pltremote.dll");
    SimulatedReceiver receiver{win::ProcAddress<PlayScriptFunction>(receiverLibrary, "SimPlayScript"),
                               win::ProcAddress<ScriptPlayingFunction>(receiverLibrary, "SimScriptPlaying")};
    if (mode != Mode::Setup && (!receiver.playScript || !receiver.scriptPlaying)) {
        plugin.close();
        return Fail("the pltremote.dll beside the plug-in is not the simulated receiver: nothing to play");
    }

    if (mode == Mode::Setup) {
        plugin.setup();
    } else {
        plugin.start();
        std::thread player;
        if (mode == Mode::Keys) {
            std::printf("Keys: 0-9 digits, arrows, Enter OK, Backspace back, + - volume, m mute, p power;\n"
                        "any other key sends its character's code. q or Escape ends.\n");
            PrintHeader();
            player = std::thread(ReadKeys, receiver, console, window);
        } else {
            PrintHeader();
            player = std::thread(PlaySession, receiver, window);
        }
        RunMessageLoop();
        player.join();
        plugin.stop();
    }
    plugin.close();
    ::DestroyWindow(window);
    return 0;
}
