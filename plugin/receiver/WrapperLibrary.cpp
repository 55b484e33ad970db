#include "plugin/receiver/WrapperLibrary.h"

#include "common/win/DebugOutput.h"
#include "common/win/FileKind.h"
#include "common/win/Handle.h"
#include "common/win/ProcAddress.h"

#include <windows.h>

namespace {

constexpr wchar_t kWrapperFileName[] = L"pltremotewrap.dll";

}  // namespace

void WrapperLibrary::Load(const std::wstring& folder)
{
    if (state_ == WrapperState::kLoaded)
        return;
    std::wstring besidePlugin = folder + kWrapperFileName;
    bool beside = !folder.empty() && win::IsFile(besidePlugin);
    win::Module library(beside ? ::LoadLibraryExW(besidePlugin.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                               : ::LoadLibraryW(kWrapperFileName));
    HMODULE module = library.Get();
    if (!module)
        win::ReportFailedCall(beside ? "LoadLibraryEx of the pltremotewrap.dll beside the plug-in"
                                     : "LoadLibrary of pltremotewrap.dll");
    Exports exports;
    exports.remoteCreate = win::ProcAddress<decltype(exports.remoteCreate)>(module, kRemoteCreateExport);
    exports.remoteRelease = win::ProcAddress<decltype(exports.remoteRelease)>(module, kRemoteReleaseExport);
    exports.getCode = win::ProcAddress<decltype(exports.getCode)>(module, kGetCodeExport);
    exports.getDeviceName = win::ProcAddress<decltype(exports.getDeviceName)>(module, kGetDeviceNameExport);
    exports.selectDevice = win::ProcAddress<decltype(exports.selectDevice)>(module, kSelectDeviceExport);
    exports.getCardType = win::ProcAddress<decltype(exports.getCardType)>(module, kGetCardTypeExport);
    exports.setChipTypeTM = win::ProcAddress<decltype(exports.setChipTypeTM)>(module, kSetChipTypeTMExport);
    if (exports.remoteCreate && exports.remoteRelease && exports.getCode && exports.getDeviceName &&
        exports.selectDevice && exports.getCardType && exports.setChipTypeTM) {
        exports_ = exports;
        state_ = WrapperState::kLoaded;
        library.Detach();
        return;
    }
    if (module)
        win::ReportProblem("pltremotewrap.dll lacks one of its seven exports");
    // A wrapper that is there but will not load lacks its own import, the
    // receiver library, which Windows looked for beside it and on the path.
    state_ = beside ? WrapperState::kReceiverLibraryMissing : WrapperState::kWrapperMissing;
}

void WrapperLibrary::RemoteCreate() const
{
    if (exports_.remoteCreate)
        exports_.remoteCreate();
}

void WrapperLibrary::RemoteRelease() const
{
    if (exports_.remoteRelease)
        exports_.remoteRelease();
}

long WrapperLibrary::GetCode(unsigned char* code) const
{
    if (exports_.getCode)
        return exports_.getCode(code);
    *code = kNoReceiverCode;
    return kNoReceiverObjectResult;
}

std::optional<unsigned char> WrapperLibrary::Poll() const
{
    unsigned char code = kNoReceiverCode;
    GetCode(&code);
    if (code == kNoReceiverCode)
        return std::nullopt;
    return code;
}

char* WrapperLibrary::GetDeviceName(unsigned long index) const
{
    return exports_.getDeviceName ? exports_.getDeviceName(index) : nullptr;
}

long WrapperLibrary::SelectDevice(unsigned long index) const
{
    return exports_.selectDevice ? exports_.selectDevice(index) : kNoReceiverObjectResult;
}

long WrapperLibrary::GetCardType() const
{
    return exports_.getCardType ? exports_.getCardType() : 0;
}

void WrapperLibrary::SetChipTypeTM(long value) const
{
    if (exports_.setChipTypeTM)
        exports_.setChipTypeTM(value);
}

const char* WrapperProblemText(WrapperState state)
{
    switch (state) {
    case WrapperState::kNotLoaded:
    case WrapperState::kLoaded:
        return nullptr;
    case WrapperState::kWrapperMissing:
        return "pltremotewrap.dll is missing: copy it beside Pelcato.dll";
    case WrapperState::kReceiverLibraryMissing:
        return "pltremote.dll is missing: the tuner card's software installs it";
    }
    return nullptr;
}
