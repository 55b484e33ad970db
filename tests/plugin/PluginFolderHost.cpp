// A host as most are installed: its program in one folder, its plug-ins in
// a folder of their own, each loaded by its full path with a plain
// LoadLibrary, so that Windows looks for a plug-in's imports beside this
// program and not beside the plug-in. Nothing of the plug-in's lies beside
// it, and it imports nothing of ours.
//
//   PluginFolderHost PLUGIN keys COUNT MS   Open, Start; prints each key
//                                           message until COUNT have come or
//                                           MS have passed; Stop, Close
//   PluginFolderHost PLUGIN setup           Open, Setup, Close
//
// Exit code 0 when the plug-in loaded, 1 when it did not (the error follows
// on the first line), 2 for a wrong command line.

#include "common/win/Handle.h"
#include "common/win/ProcAddress.h"
#include "plugin/core/HostLayout.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kKeyMessage = WM_USER + 1;
constexpr std::uint32_t kCoreVersion = 0x02070C00;

using OpenFunction = const char*(WINAPI*)(const char*, HWND, const void*);
using VoidFunction = void(WINAPI*)();

int messagesLeft = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kKeyMessage)
        return ::DefWindowProcW(window, message, wParam, lParam);
    const auto* record = reinterpret_cast<const unsigned char*>(wParam);
    const char* modelName;
    std::memcpy(&modelName, record + host_layout::kModelNameOffset, sizeof modelName);
    const char* what = lParam == 0 ? "press" : lParam == -1 ? "release" : "repeat";
    std::printf("%s %s %s\n", what, reinterpret_cast<const char*>(record + host_layout::kKeyNameOffset), modelName);
    std::fflush(stdout);
    if (--messagesLeft == 0)
        ::PostQuitMessage(0);
    return 0;
}

void PumpMessages(DWORD timeoutMs)
{
    ::SetTimer(nullptr, 0, timeoutMs, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && !message.hwnd)
            break;
        ::DispatchMessageW(&message);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    bool keys = argc == 5 && std::wcscmp(argv[2], L"keys") == 0;
    if (!keys && !(argc == 3 && std::wcscmp(argv[2], L"setup") == 0)) {
        std::printf("usage: PluginFolderHost PLUGIN keys COUNT MS | PluginFolderHost PLUGIN setup\n");
        return 2;
    }
    win::Module library(::LoadLibraryW(argv[1]));
    if (!library) {
        std::printf("load error %lu\n", ::GetLastError());
        return 1;
    }
    auto open = win::ProcAddress<OpenFunction>(library.Get(), "Open");
    auto start = win::ProcAddress<VoidFunction>(library.Get(), "Start");
    auto stop = win::ProcAddress<VoidFunction>(library.Get(), "Stop");
    auto setup = win::ProcAddress<VoidFunction>(library.Get(), "Setup");
    auto close = win::ProcAddress<VoidFunction>(library.Get(), "Close");
    if (!open || !start || !stop || !setup || !close) {
        std::printf("load error: exports missing\n");
        return 1;
    }

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PluginFolderHost";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowW(windowClass.lpszClassName, L"Plug-in folder host", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    unsigned char hostInfo[64] = {};
    std::memcpy(hostInfo + host_layout::kCoreVersionOffset, &kCoreVersion, sizeof kCoreVersion);
    std::printf("open: %s\n", open("FOLDER", window, hostInfo));
    std::fflush(stdout);

    if (keys) {
        messagesLeft = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
        start();
        PumpMessages(static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)));
        stop();
    } else {
        setup();
    }
    close();
    ::DestroyWindow(window);
    std::printf("closed\n");
    return 0;
}
