#pragma once

#include "common/win/Handle.h"

#include <windows.h>

namespace win {

// Activates the manifest that a module carries as resource 2 for as long as
// the object lives. Windows created meanwhile get the controls that the
// manifest asks for (common controls version 6) even when the host program
// has no manifest of its own. Without such a resource it does nothing.
class ActivationScope {
public:
    explicit ActivationScope(HMODULE module) noexcept : context_(CreateFromResource(module))
    {
        if (context_ && !::ActivateActCtx(context_.Get(), &cookie_))
            context_.Close();
    }
    // The context is released only after this, as the member dies.
    ~ActivationScope()
    {
        if (context_)
            ::DeactivateActCtx(0, cookie_);
    }
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

private:
    static HANDLE CreateFromResource(HMODULE module) noexcept
    {
        ACTCTXA request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = module;
        request.lpResourceName = MAKEINTRESOURCEA(2);
        return ::CreateActCtxA(&request);
    }

    ActivationContext context_;
    ULONG_PTR cookie_ = 0;
};

}  // namespace win
