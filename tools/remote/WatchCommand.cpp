#include "Commands.h"

#include <ostream>

int RunWatch(const Arguments&, std::ostream& out)
{
    out << "The watch command is not there yet.\n";
    return kExitCannot;
}
