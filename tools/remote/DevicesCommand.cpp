#include "Commands.h"

#include <ostream>

int RunDevices(const Arguments&, std::ostream& out)
{
    out << "The devices command is not there yet.\n";
    return kExitCannot;
}
