#include "plugin/core/PluginState.h"

#include "common/win/ModulePath.h"

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
    return win::ModuleContaining(reinterpret_cast<const void*>(&ThisModule));
}

constinit TSetupForm* SetupForm = nullptr;
