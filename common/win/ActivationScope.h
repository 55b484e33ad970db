#pragma once

#include <windows.h>

namespace win {

// Activates the manifest that a module carries as resource 2 for as long as
// the object lives. Windows created meanwhile get the controls that the
// manifest asks for (common controls version 6) even when the host program
// has no manifest of its own. Without such a resource it does nothing.
class ActivationScope {
public:
    explicit ActivationScope(HMODULE module) noexcept
    {
        ACTCTXA request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = module;
        request.lpResourceName = MAKEINTRESOURCEA(2);
        context_ = ::CreateActCtxA(&request);
        if (context_ != INVALID_HANDLE_VALUE && !::ActivateActCtx(context_, &cookie_)) {
            ::ReleaseActCtx(context_);
            context_ = INVALID_HANDLE_VALUE;
        }
    }
    ~ActivationScope()
    {
        if (context_ == INVALID_HANDLE_VALUE)
            return;
        ::DeactivateActCtx(0, cookie_);
        ::ReleaseActCtx(context_);
    }
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

}  // namespace win
