#include "plugin/core/PluginState.h"

namespace {

// Constant-initialised: loading the library runs no code of ours.
constinit PluginState plugin;

}  // namespace

PluginState& ThePlugin()
{
    return plugin;
}

constinit TSetupForm* SetupForm = nullptr;
