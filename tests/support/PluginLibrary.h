#pragma once
// Pelcato.dll as a host meets it: a fresh copy, with its wrapper beside it,
// loaded with a plain LoadLibrary from a scratch folder of its own, so that
// no state carries over between tests and the library's settings and key
// maps lie where the test puts them. It is unloaded at the end, as a host
// may right after Close.

#include "common/win/Handle.h"
#include "tests/support/ScratchFolder.h"

#include <windows.h>

class PluginLibrary {
public:
    using OpenFunction = const char*(WINAPI*)(const char*, HWND, const void*);
    using VoidFunction = void(WINAPI*)();

    PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool Loaded() const { return module_ && Open && Start && Stop && Setup && Close && SetupForm; }
    // The library's own folder, where its settings file and key maps lie.
    const ScratchFolder& Folder() const { return folder_; }

    OpenFunction Open = nullptr;
    VoidFunction Start = nullptr;
    VoidFunction Stop = nullptr;
    VoidFunction Setup = nullptr;
    VoidFunction Close = nullptr;
    void* const* SetupForm = nullptr;

private:
    ScratchFolder folder_{L"pelcato-test"};
    win::Module module_;
};
