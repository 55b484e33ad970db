#include "PluginState.h"

namespace {

// Constant-initialised: loading the library runs no code of ours.
constinit PluginState plugin;

}  // namespace

PluginState& ThePlugin()
{
    return plugin;
}

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

constinit TSetupForm* SetupForm = nullptr;
