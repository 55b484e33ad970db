#include "Commands.h"

#include <ostream>

int RunRecord(const Arguments&, std::ostream& out)
{
    out << "The record command is not there yet.\n";
    return kExitCannot;
}
