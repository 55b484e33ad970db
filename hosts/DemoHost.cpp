// A stand-in for the host application: loads Pelcato.dll from its own folder,
// gives it a window and a host record, starts it and prints one line per key
// message. Meanwhile it plays a short session into the simulated receiver: a
// tap, a held button, one button taking over from another and a code that no
// key map holds.
//
//   DemoHost            play the session, then exit
//   DemoHost --setup    open the setup dialog instead

#include "common/win/ProcAddress.h"

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
constexpr int kPollMs = 50;

using OpenFunction = const char*(WINAPI*)(const char*, HWND, const void*);
using VoidFunction = void(WINAPI*)();
using PushCodesFunction = void (*)(const unsigned char*, int);

const auto startTime = std::chrono::steady_clock::now();

long long MillisecondsSinceStart()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startTime)
        .count();
}

// The record's fields that a host reads; offsets as the plug-in lays them out.
void PrintKeyMessage(const unsigned char* record, LPARAM param)
{
    const char* keyName = reinterpret_cast<const char*>(record + 64);
    const char* codeText;
    const char* modelName;
    std::memcpy(&codeText, record + 212, sizeof codeText);
    std::memcpy(&modelName, record + 216, sizeof modelName);

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

std::string ProgramFolder()
{
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// A button held for holdMs: the receiver reports its code at every poll.
void Hold(PushCodesFunction push, unsigned char code, int holdMs)
{
    for (int held = 0; held < holdMs; held += kPollMs) {
        push(&code, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void PlaySession(PushCodesFunction push, HWND window)
{
    std::printf("-- a tap on 0x1A\n");
    Hold(push, 0x1A, kPollMs);
    Pause(600);
    std::printf("-- 0x0B held for 900 ms\n");
    Hold(push, 0x0B, 900);
    Pause(600);
    std::printf("-- 0x0B held, then 0x0C takes over\n");
    Hold(push, 0x0B, 400);
    Hold(push, 0x0C, 400);
    Pause(600);
    std::printf("-- 0xFE, a code that no key map holds\n");
    Hold(push, 0xFE, kPollMs);
    Pause(600);
    ::PostMessageA(window, kSessionDone, 0, 0);
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "DemoHost: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool setup = argc > 1 && std::strcmp(argv[1], "--setup") == 0;

    std::string pluginPath = ProgramFolder() + "Pelcato.dll";
    HMODULE plugin = ::LoadLibraryA(pluginPath.c_str());
    if (!plugin)
        return Fail("cannot load " + pluginPath + " (error " + std::to_string(::GetLastError()) +
                    "); it needs pltremotewrap.dll and pltremote.dll beside it");
    auto open = win::ProcAddress<OpenFunction>(plugin, "Open");
    auto start = win::ProcAddress<VoidFunction>(plugin, "Start");
    auto stop = win::ProcAddress<VoidFunction>(plugin, "Stop");
    auto setupDialog = win::ProcAddress<VoidFunction>(plugin, "Setup");
    auto close = win::ProcAddress<VoidFunction>(plugin, "Close");
    if (!open || !start || !stop || !setupDialog || !close)
        return Fail(pluginPath + " lacks one of the exports Open, Start, Stop, Setup, Close");

    auto push = win::ProcAddress<PushCodesFunction>(::GetModuleHandleA("pltremote.dll"), "SimPushCodes");
    if (!setup && !push)
        return Fail("the receiver library beside the plug-in is not the simulated one: nothing to play");

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
    std::memcpy(hostInfo + 28, &kCoreVersion, sizeof kCoreVersion);
    std::printf("Open: \"%s\"\n", open("DEMO", window, hostInfo));

    if (setup) {
        setupDialog();
    } else {
        start();
        std::printf("%9s  %-10s %-16s %-24s %s\n", "time", "message", "key", "model", "code");
        std::thread session(PlaySession, push, window);
        MSG message;
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        session.join();
        stop();
    }
    close();
    ::DestroyWindow(window);
    ::FreeLibrary(plugin);
    return 0;
}
