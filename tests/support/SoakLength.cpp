#include "tests/support/SoakLength.h"

#include <windows.h>

#include <string>

bool FullSoakRequested()
{
    char value[16] = {};
    return ::GetEnvironmentVariableA("PELCATO_SOAK", value, sizeof value) > 0 && std::string(value) == "full";
}
